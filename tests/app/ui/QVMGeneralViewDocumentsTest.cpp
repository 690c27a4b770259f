#include "GeneralViewTestSupport.h"
#include "RtfReader.h"

#include "core/localization/QVLocalizedString.h"
#include "platform/AppPaths.h"
#include "platform/BackendConfig.h"
#include "services/documents/QVWebSocketManager.h"
#include "support/FakeBackend.h"
#include "ui/controls/QVMProgressHUD.h"
#include "ui/main/QVMDocumentHandOff.h"
#include "ui/main/QVMFileKinds.h"
#include "ui/panels/QVMOpenPanel.h"
#include "ui/panels/QVMResultWriter.h"
#include "ui/panels/QVMSavePanel.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPdfDocument>
#include <QPrinter>
#include <QTextBlock>
#include <QTextCursor>
#include <QThreadPool>

#include <sys/stat.h>

using namespace uitest;
using qvtest::FakeReply;

namespace {

QString frame(const char *type, const QJsonValue &result) {
    return QString::fromUtf8(QJsonDocument(QJsonObject{{"type", QLatin1String(type)}, {"result", result}})
                                 .toJson(QJsonDocument::Compact));
}

// Records the files the view hands to the desktop to open.
class OpenedFiles : public QObject {
    Q_OBJECT
public:
    OpenedFiles() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open"); }
    ~OpenedFiles() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    Q_INVOKABLE void open(const QUrl &url) { urls.append(url); }
    QList<QUrl> urls;
};

} // namespace

class GeneralViewDocumentsTest : public GeneralViewFixture<ModelStoreTest> {
protected:
    void SetUp() override {
        GeneralViewFixture<ModelStoreTest>::SetUp();
        platform::AppPaths::setRoot(dir.filePath(QStringLiteral("root")));
        platform::BackendConfig::overrideHost("QV_API_HOST", backend.baseUrl());
        platform::BackendConfig::overrideHost(
            "QV_DOCUMENT_SOCKET_HOST",
            QUrl(QStringLiteral("ws://127.0.0.1:%1").arg(backend.webSocket().port())));
        QVMOpenPanel::setUseQtDialog(true);
        QVMSavePanel::setUseQtDialog(true);
        openWindow();
    }
    void TearDown() override {
        QVWebSocketManager::sharedInstance().resetData();
        QVMResultWriter::setPrintDialogRunner({});
        QVMDocumentHandOff::setOpener({});
        platform::BackendConfig::overrideHost("QV_API_HOST", QUrl());
        platform::BackendConfig::overrideHost("QV_DOCUMENT_SOCKET_HOST", QUrl());
        platform::AppPaths::setRoot({});
        GeneralViewFixture<ModelStoreTest>::TearDown();
    }
    QString file(const QString &name, const QByteArray &content = "content") {
        const QString path = dir.filePath(name);
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(content);
        return path;
    }
    void script(const QStringList &frames, bool closeAfter = false) {
        qvtest::WebSocketScript s;
        s.frames = frames;
        s.afterFirstMessage = true;
        s.closeAfter = closeAfter;
        s.delayMs = 20;
        backend.webSocket().script(QStringLiteral("/translateDocument"), s);
    }
    QVMProgressHUD *hud() const {
        return qobject_cast<QVMProgressHUD *>(QVMProgressOverlay::HUDForView(general->view()));
    }
    // A result panel of three pages' worth of text, bold and coloured in parts.
    void fillResult() {
        QTextCursor cursor(general->toTranslateTextView()->document());
        cursor.select(QTextCursor::Document);
        cursor.removeSelectedText();
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        bold.setForeground(QColor(0, 0, 255));
        cursor.insertText(QStringLiteral("Grüße { \\ "), bold);
        for (int line = 0; line < 150; ++line)
            cursor.insertText(QStringLiteral("\nLine %1 of the translation").arg(line), QTextCharFormat());
    }
    QList<QFileDialog *> dialogs() const {
        QList<QFileDialog *> found;
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (auto *dialog = qobject_cast<QFileDialog *>(widget); dialog && dialog->isVisible())
                found.append(dialog);
        return found;
    }

    qvtest::FakeBackend backend;
    OpenedFiles opened;
};

TEST_F(GeneralViewDocumentsTest, UnsupportedAndUnreadableFilesAreReportedBeforeAnythingIsSent) {
    const QString big = file(QStringLiteral("huge.pdf"));
    ASSERT_TRUE(QFile::resize(big, QVMGeneralViewController::kMaxDocumentBytes + 1));
    struct Case {
        const char *name;
        QString path;
        QString message;
    };
    const QList<Case> cases = {
        {"a save format is not an open format", file(QStringLiteral("letter.odt")),
         QString::fromLatin1(QVMGeneralViewController::kUnsupportedType)},
        {"no extension and no text", file(QStringLiteral("archive"), QByteArray("\x7f\x00\x01\x02", 4)),
         QString::fromLatin1(QVMGeneralViewController::kUnsupportedType)},
        {"picture that is not one", file(QStringLiteral("photo.JPG"), "text"),
         QString::fromLatin1(QVMGeneralViewController::kUnreadablePicture)},
        {"over the size cap", big, QStringLiteral("20.0 MB")},
        {"missing document", dir.filePath(QStringLiteral("gone.docx")), QStringLiteral("cannot be read")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        alerts->shown.clear();
        general->openFileWithUrl(QUrl::fromLocalFile(c.path));
        ASSERT_EQ(alerts->shown.size(), 1);
        EXPECT_TRUE(alerts->shown.first().message.contains(c.message))
            << alerts->shown.first().message.toStdString();
        EXPECT_EQ(hud(), nullptr);
    }
    qvtest::spin(50);
    EXPECT_EQ(backend.webSocket().connectionCount(), 0);
    EXPECT_TRUE(analytics->withAction(QStringLiteral("Translate file Start")).isEmpty());
}

TEST_F(GeneralViewDocumentsTest, DocumentProgressesAndItsTranslationOpensWhereItWasSaved) {
    script({frame("progressLog", QJsonObject{{"data", 42}}),
            frame("finalResponse", QStringLiteral("results/report_de.docx"))});
    backend.route("GET", "/quorvaldeParseDocumentStatic/report_de.docx",
                  FakeReply::bytes("translated").withDelay(300));
    // Upper case is the same type.
    general->openFileWithUrl(QUrl::fromLocalFile(file(QStringLiteral("report.PDF"))));
    ASSERT_NE(hud(), nullptr);
    ASSERT_TRUE(
        qvtest::waitUntil([this] { return hud() && hud()->labelText().contains(QStringLiteral("42 %")); }));
    ASSERT_TRUE(qvtest::waitUntil([this] { return !opened.urls.isEmpty(); }, 10000));
    EXPECT_TRUE(qvtest::waitUntil([this] { return hud() == nullptr; }));
    const QString saved = opened.urls.first().toLocalFile();
    EXPECT_EQ(QFileInfo(saved).absolutePath(), QDir(platform::AppPaths::documents()).absolutePath());
    EXPECT_TRUE(general->documentNote().contains(saved));
    const QJsonObject sent =
        QJsonDocument::fromJson(backend.webSocket().receivedTexts().first().toUtf8()).object();
    EXPECT_EQ(sent.value("extension").toString(), QStringLiteral("pdf"));
    EXPECT_EQ(analytics->withAction(QStringLiteral("Translate file Completed")).size(), 1);
}

TEST_F(GeneralViewDocumentsTest, FailureIsShownAndCancelEndsTheJobQuietly) {
    script({frame("progressLog", QJsonObject{{"data", 10}})}, true);
    general->openFileWithUrl(QUrl::fromLocalFile(file(QStringLiteral("report.docx"))));
    ASSERT_TRUE(qvtest::waitUntil([this] { return !alerts->shown.isEmpty(); }, 10000));
    EXPECT_TRUE(
        alerts->shown.first().message.startsWith(QStringLiteral("The document could not be translated")));
    EXPECT_TRUE(qvtest::waitUntil([this] { return hud() == nullptr; }));
    EXPECT_EQ(analytics->withAction(QStringLiteral("Translate file Failed")).size(), 1);
    EXPECT_EQ(analytics->withAction(QStringLiteral("File error")).size(), 1);

    alerts->shown.clear();
    script({frame("progressLog", QJsonObject{{"data", 10}})});
    general->openFileWithUrl(QUrl::fromLocalFile(file(QStringLiteral("report.docx"))));
    ASSERT_TRUE(qvtest::waitUntil([this] { return backend.webSocket().connectionCount() == 2; }));
    ASSERT_NE(hud(), nullptr);
    hud()->button()->click();
    EXPECT_TRUE(qvtest::waitUntil([this] { return hud() == nullptr; }));
    EXPECT_FALSE(QVWebSocketManager::sharedInstance().hasJob());
    EXPECT_EQ(analytics->withAction(QString::fromUtf8("Translate file \xD0\xA1lose")).size(), 1);
    qvtest::spin(100);
    EXPECT_TRUE(alerts->shown.isEmpty());
    EXPECT_TRUE(opened.urls.isEmpty());
}

TEST_F(GeneralViewDocumentsTest, NotSavedAlertAnswersEachDoWhatTheySay) {
    const QString unsupported = file(QStringLiteral("notes.xyz"), QByteArray("\x7f\x00\x01", 3));
    type(QStringLiteral("kept text"));
    general->setSaveDirection(1);
    // Save opens the save panel and, once saved, the chosen file; close does nothing; don't save opens it.
    struct Case {
        const char *name;
        int answer;
        int savePanels;
        int unsupportedAlerts;
    };
    const QList<Case> cases = {
        {"close", QVMAlertPresenter::kSecondButtonReturn, 0, 0},
        {"don't save", QVMAlertPresenter::kThirdButtonReturn, 0, 1},
        {"save", QVMAlertPresenter::kFirstButtonReturn, 1, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        alerts->shown.clear();
        alerts->answers = {c.answer};
        general->showSaveDialogWithUrl(QUrl::fromLocalFile(unsupported));
        qvtest::spin(20);
        const QList<QFileDialog *> panels = dialogs();
        ASSERT_EQ(panels.size(), c.savePanels);
        if (!panels.isEmpty()) {
            // The proposed name is the target language's.
            const QString proposed = panels.first()->selectedFiles().value(0);
            EXPECT_EQ(QFileInfo(proposed).fileName(), QStringLiteral("German.rtf"));
            QFile::remove(proposed);
            static_cast<QDialog *>(panels.first())->accept();
            qvtest::spin(20);
            EXPECT_TRUE(QFile::exists(proposed));
        }
        int reported = 0;
        for (const auto &shown : alerts->shown)
            reported += shown.message == QString::fromLatin1(QVMGeneralViewController::kUnsupportedType);
        EXPECT_EQ(reported, c.unsupportedAlerts);
        EXPECT_EQ(general->fromTranslateTextView()->toPlainText(), QStringLiteral("kept text"));
    }
}

TEST_F(GeneralViewDocumentsTest, SavedFormatsHoldTheWholeResult) {
    fillResult();
    const QString rtf = dir.filePath(QStringLiteral("out.rtf"));
    ASSERT_FALSE(general->saveResultToUrl(0, QUrl::fromLocalFile(rtf)));
    QFile rtfFile(rtf);
    ASSERT_TRUE(rtfFile.open(QIODevice::ReadOnly));
    const RtfDocument read = readRtf(rtfFile.readAll());
    ASSERT_TRUE(read.valid);
    const RtfRun *greeting = read.runWith(QStringLiteral("Grüße { \\"));
    ASSERT_NE(greeting, nullptr);
    EXPECT_TRUE(greeting->bold);
    EXPECT_EQ(greeting->colour, QColor(0, 0, 255));
    EXPECT_TRUE(read.text().contains(QStringLiteral("Line 149 of the translation")));

    const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    std::optional<platform::Error> written;
    ASSERT_FALSE(general->saveResultToUrl(1, QUrl::fromLocalFile(pdf),
                                          [&written](const platform::Error &error) { written = error; }));
    EXPECT_FALSE(written.has_value()); // off the interface thread
    ASSERT_TRUE(qvtest::waitUntil([&] { return written.has_value(); }, 20000));
    ASSERT_TRUE(written->isNull());
    QPdfDocument document;
    ASSERT_EQ(document.load(pdf), QPdfDocument::Error::None);
    ASSERT_GE(document.pageCount(), 3);
    EXPECT_TRUE(document.getAllText(0).text().contains(QStringLiteral("Grüße")));
    EXPECT_TRUE(document.getAllText(document.pageCount() - 1).text().contains(QStringLiteral("Line 149")));
    EXPECT_TRUE(QVMGeneralViewController::attributedStringFromPdfDocument(&document).contains(
        QStringLiteral("Line 75 of the translation")));
}

TEST_F(GeneralViewDocumentsTest, ConvertedFormatsAreWrittenOnlyFromTheConvertedBytes) {
    fillResult();
    struct Case {
        const char *name;
        int format;
        FakeReply reply;
        QByteArray expected; // empty: nothing at the path
    };
    const QList<Case> cases = {
        {"docx", 2,
         FakeReply::bytes("PK-docx-bytes",
                          "application/vnd.openxmlformats-officedocument.wordprocessingml.document"),
         "PK-docx-bytes"},
        {"odt", 3, FakeReply::bytes("PK-odt-bytes", "application/vnd.oasis.opendocument.text"),
         "PK-odt-bytes"},
        {"html", 4, FakeReply::bytes("<html>converted</html>", "text/html"), "<html>converted</html>"},
        {"failed conversion", 2, FakeReply::withStatus(500), {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        backend.route("POST", "/v2/api/v3/quorvaldeConvertDocument", c.reply);
        backend.route("POST", "/quorvaldeConvertDocument", c.reply);
        alerts->shown.clear();
        const QString path =
            dir.filePath(QStringLiteral("out-%1.%2")
                             .arg(c.name, QVMSavePanel::fileTypesWithFileExtension(c.format).first()));
        std::optional<platform::Error> result;
        general->saveResultToUrl(c.format, QUrl::fromLocalFile(path),
                                 [&result](const platform::Error &error) { result = error; });
        ASSERT_TRUE(qvtest::waitUntil([&] { return result.has_value(); }, 10000));
        if (c.expected.isEmpty()) {
            EXPECT_FALSE(result->isNull());
            EXPECT_FALSE(QFile::exists(path));
            ASSERT_EQ(alerts->shown.size(), 1);
            EXPECT_TRUE(alerts->shown.first().buttons.contains(QStringLiteral("Save as RTF")));
            continue;
        }
        EXPECT_TRUE(result->isNull());
        QFile written(path);
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_EQ(written.readAll(), c.expected);
    }
}

TEST_F(GeneralViewDocumentsTest, FailedConversionNamesTheRtfItOffersAndReplacesOneOnlyWhenAsked) {
    fillResult();
    backend.route("POST", "/v2/api/v3/quorvaldeConvertDocument", FakeReply::withStatus(500));
    backend.route("POST", "/quorvaldeConvertDocument", FakeReply::withStatus(500));
    const int first = QVMAlertPresenter::kFirstButtonReturn;
    const int second = QVMAlertPresenter::kSecondButtonReturn;
    struct Case {
        const char *name;
        QByteArray existing; // empty: no report.rtf beside report.docx
        QList<int> answers;  // "Save as RTF", then the replace question
        int alertsShown;
        bool rtfWritten;
    };
    const QList<Case> cases = {
        {"an rtf of the user's there, kept", "the user's", {first, second}, 2, false},
        {"an rtf of the user's there, replaced", "the user's", {first, first}, 2, true},
        {"nothing there", {}, {first}, 1, true},
        {"closed", {}, {second}, 1, false},
    };
    const QString docx = dir.filePath(QStringLiteral("report.docx"));
    const QString rtf = dir.filePath(QStringLiteral("report.rtf"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(rtf);
        if (!c.existing.isEmpty())
            file(QStringLiteral("report.rtf"), c.existing);
        alerts->shown.clear();
        alerts->answers = c.answers;
        std::optional<platform::Error> result;
        general->saveResultToUrl(2, QUrl::fromLocalFile(docx),
                                 [&result](const platform::Error &error) { result = error; });
        ASSERT_TRUE(qvtest::waitUntil([&] { return result.has_value(); }, 10000));
        ASSERT_EQ(alerts->shown.size(), c.alertsShown);
        EXPECT_TRUE(alerts->shown.first().message.contains(QStringLiteral("\u201Creport.rtf\u201D")))
            << alerts->shown.first().message.toStdString();
        if (c.alertsShown > 1) {
            EXPECT_TRUE(alerts->shown.at(1).title.contains(QStringLiteral("\u201Creport.rtf\u201D")));
        }
        EXPECT_FALSE(QFile::exists(docx));
        QFile written(rtf);
        if (!c.rtfWritten) {
            EXPECT_EQ(written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray(), c.existing);
            continue;
        }
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_TRUE(
            readRtf(written.readAll()).text().contains(QStringLiteral("Line 149 of the translation")));
    }
}

TEST_F(GeneralViewDocumentsTest, DocumentsOfflineSayTheyNeedAConnectionWhicheverWayTheyCame) {
    platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::NotReachable);
    const QString document = file(QStringLiteral("notes.docx"), "PK");
    struct Case {
        const char *name;
        std::function<void()> open;
    };
    const QList<Case> cases = {
        {"File, Open",
         [&] {
             general->showOpenPanelWithFileType(0);
             qvtest::spin(20);
             ASSERT_EQ(dialogs().size(), 1);
             // Typed, as a focused dialog takes no selection into its name field.
             auto *name = dialogs().first()->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
             ASSERT_NE(name, nullptr);
             name->setText(document);
             static_cast<QDialog *>(dialogs().first())->accept();
         }},
        {"dropped on a panel",
         [&] { general->textViewWasDraggedFile(document, general->fromTranslateTextView()); }},
        {"dropped on the tray window", [&] { general->openStatusItemDroppedFiles({document}); }},
        {"connection lost during the job",
         [&] {
             platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::ReachableViaOther);
             script({frame("progressLog", QJsonObject{{"data", 10}})}, true);
             general->openFileWithUrl(QUrl::fromLocalFile(document));
             platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::NotReachable);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        alerts->shown.clear();
        c.open();
        ASSERT_TRUE(qvtest::waitUntil([this] { return !alerts->shown.isEmpty(); }, 10000));
        EXPECT_EQ(alerts->shown.size(), 1);
        EXPECT_EQ(alerts->shown.first().message, QVLocalizedString(QStringLiteral("_loc_alert_no_internet")));
        EXPECT_TRUE(qvtest::waitUntil([this] { return hud() == nullptr; }));
    }
    // Only the job started online reached the service.
    EXPECT_EQ(backend.webSocket().connectionCount(), 1);
    EXPECT_EQ(analytics->withAction(QStringLiteral("Translate file Start")).size(), 1);
}

TEST_F(GeneralViewDocumentsTest, TranslatedDocumentTheDesktopWillNotOpenIsOpenedFromAPrivateCopy) {
    QTemporaryDir temporary;
    const QByteArray previousTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(temporary.path()));
    const QString name = QStringLiteral("report_de.docx");
    const QString copies = QVMDocumentHandOff::copiesFolder();
    const auto mode = [](const QString &path) {
        struct stat info {};
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
    };
    struct Case {
        const char *name;
        bool refuseDownload;
        bool downloadGone;
        bool copied;
    };
    const QList<Case> cases = {
        {"refused, nothing left to copy", true, true, false},
        {"opened where it was saved", false, false, false},
        {"refused: a private copy is opened", true, false, true},
        {"refused again: a second copy keeps the name too", true, false, true},
    };
    QStringList made;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString download = file(name, "translated");
        if (c.downloadGone)
            QFile::remove(download);
        QList<QUrl> offered;
        QVMDocumentHandOff::setOpener([&](const QUrl &url) {
            offered << url;
            return !(c.refuseDownload && url.toLocalFile() == download);
        });
        general->openTranslatedDocument(download);
        const int expected = c.copied ? 2 : 1;
        qvtest::waitUntil([&] { return offered.size() >= expected; }, 5000);
        qvtest::spin(50);
        ASSERT_EQ(offered.size(), expected);
        EXPECT_EQ(offered.first().toLocalFile(), download);
        // The shared temporary folder never gets a copy.
        EXPECT_TRUE(QDir(temporary.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
        if (!c.copied)
            continue;
        const QString copy = offered.at(1).toLocalFile();
        made << copy;
        EXPECT_EQ(QFileInfo(copy).fileName(), name);
        EXPECT_EQ(QFileInfo(QFileInfo(copy).path()).path(), copies);
        EXPECT_EQ(mode(copy), 0600);
        EXPECT_EQ(mode(QFileInfo(copy).path()), 0700);
        EXPECT_EQ(mode(copies), 0700);
        EXPECT_EQ(mode(QFileInfo(copies).path()), 0700);
        QFile copied(copy);
        ASSERT_TRUE(copied.open(QIODevice::ReadOnly));
        EXPECT_EQ(copied.readAll(), QByteArray("translated"));
    }
    ASSERT_EQ(made.size(), 2);
    EXPECT_NE(made.at(0), made.at(1));
    // The next start removes them.
    QVMDocumentHandOff::removeCopies();
    for (const QString &copy : std::as_const(made))
        EXPECT_FALSE(QFile::exists(copy));
    EXPECT_FALSE(QFileInfo::exists(copies));
    if (previousTemp.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", previousTemp);
}

TEST_F(GeneralViewDocumentsTest, FailedWriteIsReportedAndLeavesTheOldFileWhole) {
    fillResult();
    const QString folder = dir.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString old = folder + QStringLiteral("/old.rtf");
    QFile oldFile(old);
    ASSERT_TRUE(oldFile.open(QIODevice::WriteOnly));
    oldFile.write("old content");
    oldFile.close();
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    // A folder that is a file cannot take one either, whatever the rights of the test.
    const QString notAFolder = file(QStringLiteral("plain")) + QStringLiteral("/new.rtf");
    const bool rightsHold = !QFileInfo(folder).isWritable();
    for (const QString &path : {notAFolder, old}) {
        if (path == old && !rightsHold)
            continue; // running with rights that ignore the folder's
        for (int format : {0, 1}) {
            SCOPED_TRACE(path.toStdString() + " " + std::to_string(format));
            std::optional<platform::Error> ended;
            const platform::Error started = general->saveResultToUrl(
                format, QUrl::fromLocalFile(path), [&ended](const platform::Error &error) { ended = error; });
            ASSERT_TRUE(qvtest::waitUntil([&] { return ended.has_value(); }, 20000));
            const platform::Error error = format == 0 ? started : *ended;
            EXPECT_EQ(ended->localizedDescription(), error.localizedDescription());
            EXPECT_FALSE(error.isNull());
            EXPECT_TRUE(error.localizedDescription().contains(QFileInfo(path).fileName()));
        }
    }
    QFile kept(old);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("old content"));
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(GeneralViewDocumentsTest, PrintingUsesABlackCopyAndLeavesThePanelAsItWas) {
    fillResult();
    QTextCursor cursor(general->toTranslateTextView()->document());
    cursor.select(QTextCursor::Document);
    QTextCharFormat white;
    white.setForeground(QColor(Qt::white));
    cursor.mergeCharFormat(white);
    const QString before = general->toTranslateTextView()->toHtml();
    int dialogs = 0;
    QVMResultWriter::setPrintDialogRunner([&dialogs, this](QPrinter &printer) {
        ++dialogs;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("printed.pdf")));
        return true;
    });
    general->showWindowsPrint();
    general->showWindowsPrint(); // a second click while printing loads waits for the same load
    ASSERT_TRUE(qvtest::waitUntil([&] { return dialogs > 0; }));
    qvtest::spin(20);
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(general->toTranslateTextView()->toHtml(), before);
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("printed.pdf"))).size() > 0);
    const std::unique_ptr<QTextDocument> copy = general->printableDocument();
    for (QTextBlock block = copy->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            EXPECT_EQ(it.fragment().charFormat().foreground().color(), QColor(Qt::black));
}

TEST_F(GeneralViewDocumentsTest, StatusItemDropTakesTheFirstFileAndReportsTheRest) {
    const QString odt = file(QStringLiteral("letter.odt"));
    general->openStatusItemDroppedFiles({odt, file(QStringLiteral("other.pdf"))});
    EXPECT_EQ(general->documentNote(), QString::fromLatin1(QVMGeneralViewController::kOnlyFirstFile));
    ASSERT_EQ(alerts->shown.size(), 1);
    EXPECT_EQ(alerts->shown.first().message, QString::fromLatin1(QVMGeneralViewController::kUnsupportedType));
    EXPECT_EQ(hud(), nullptr);
    general->openStatusItemDroppedFiles({});
    EXPECT_EQ(alerts->shown.size(), 1);
}

TEST_F(GeneralViewDocumentsTest, OpenPanelOffersTheTypesOfItsKindInOneSingleSelection) {
    struct Case {
        uint type;
        bool includeAll;
        int entries;
        QStringList startsAccepting;
    };
    const QList<Case> cases = {
        {0, true, 13, QVMFileKinds::documentExtensions() + QVMFileKinds::pictureExtensions()},
        {2, true, 4, {"jpg", "jpeg", "png"}},
        {2, false, 3, {"jpg"}},
        {7, false, 0, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.type);
        QVMOpenPanel panel;
        panel.beginWithFileTypes(QVMFileKinds::fileTypesForOpenPanel(c.type), c.includeAll, {});
        EXPECT_EQ(panel.typeChooserEntries().size(), c.entries);
        if (c.includeAll) {
            EXPECT_EQ(panel.typeChooserEntries().first(), QStringLiteral("All files"));
        }
        EXPECT_EQ(panel.allowedFileTypes(), c.startsAccepting);
        EXPECT_EQ(panel.fileDialog()->fileMode(), QFileDialog::ExistingFile);
    }
    QVMOpenPanel pictures;
    pictures.beginWithFileTypes(QVMFileKinds::pictureExtensions(), false, {});
    pictures.onFormat(2);
    EXPECT_EQ(pictures.allowedFileTypes(), QStringList{"png"});
}

TEST_F(GeneralViewDocumentsTest, SavedNameAlwaysEndsInTheChosenFormat) {
    const QList<std::tuple<const char *, int, const char *>> names = {
        {"German", 0, "German.rtf"},
        {"German.rtf", 1, "German.pdf"},
        {"v1.2 notes.pdf", 4, "v1.2 notes.html"},
        {"report.txt", 2, "report.txt.docx"},
        {"German", 9, "German"},
    };
    for (const auto &[name, format, expected] : names) {
        SCOPED_TRACE(name);
        EXPECT_EQ(QVMSavePanel::pathWithFormat(QString::fromUtf8(name), format), QString::fromUtf8(expected));
        EXPECT_EQ(QVMSavePanel::fileTypesWithFileExtension(format).size(), format <= 4 ? 1 : 0);
    }
    std::optional<QUrl> chosen;
    int chosenFormat = -1;
    auto *panel = new QVMSavePanel;
    panel->beginWithTitle(QStringLiteral("German"), [&](int response, int format, const QUrl &url) {
        if (response == QVMSavePanel::kResponseOK)
            chosen = url;
        chosenFormat = format;
    });
    panel->fileDialog()->selectNameFilter(QStringLiteral("PDF (*.pdf)"));
    panel->onFormat(1);
    EXPECT_EQ(panel->allowedFileTypes(), QStringList{"pdf"});
    panel->fileDialog()->selectFile(dir.filePath(QStringLiteral("German.rtf")));
    static_cast<QDialog *>(panel->fileDialog())->accept();
    ASSERT_TRUE(qvtest::waitUntil([&] { return chosen.has_value(); }));
    EXPECT_EQ(chosenFormat, 1);
    EXPECT_EQ(chosen->toLocalFile(), dir.filePath(QStringLiteral("German.pdf")));
}

#include "QVMGeneralViewDocumentsTest.moc"
