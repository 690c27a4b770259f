// Text files and dragged text in the main view: they take the typed text's road (offline too),
// and the question whether to save comes only for what the history does not hold.
#include "GeneralViewTestSupport.h"

#include "core/localization/QVLocalizedString.h"
#include "ui/main/QVMTextFileLoader.h"
#include "ui/panels/QVMOpenPanel.h"

#include <QApplication>
#include <QDropEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>

using namespace uitest;

namespace {

// A drag that ends in the middle of the view, as the desktop delivers it.
void dropOn(QTextEdit *view, QMimeData *data) {
    const QPoint at = view->viewport()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &enter);
    QDragMoveEvent move(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    QDropEvent drop(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &drop);
}

QMimeData *filesDrag(const QString &path) {
    auto *data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(path)});
    data->setText(path);
    return data;
}

class GeneralViewTextFilesTest : public GeneralViewTest {
protected:
    void SetUp() override {
        GeneralViewTest::SetUp();
        QVMOpenPanel::setUseQtDialog(true);
        openWindow();
    }
    QString file(const QString &name, const QByteArray &content) {
        const QString path = dir.filePath(name);
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(content);
        return path;
    }
    QString sourceText() const { return general->fromTranslateTextView()->toPlainText(); }
    bool loaded() const {
        return qvtest::waitUntil([this] { return !general->isLoadingTextFile(); });
    }
    int saveQuestions() const {
        int asked = 0;
        for (const auto &shown : alerts->shown)
            asked += shown.title == QVLocalizedString(QStringLiteral("_loc_alert_title_not_saved"));
        return asked;
    }
    // An online translation of the text, answered and stored: the panels are then the history's.
    void translated(const QString &text, const QString &translation) {
        advance(5000); // clear of the 2.0 s between online requests
        type(text);
        general->translateOperation();
        ASSERT_FALSE(online->calls.isEmpty());
        answer(int(online->calls.size()) - 1, translation, nowId());
        ASSERT_TRUE(rendered());
    }
};

} // namespace

// Why a file is refused is the loader's to say (its own tests go through every reason): here,
// that the refusal is shown and the panels keep what they held.
TEST_F(GeneralViewTextFilesTest, ARefusedTextFileSaysWhyAndLeavesThePanelsAsTheyWere) {
    platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::NotReachable);
    const QString path = file(QStringLiteral("latin1.txt"), "Gr\xFC\xDF Gott");
    general->setTextAndTranslation(QStringLiteral("kept"), QStringLiteral("behalten"));
    alerts->answers = {QVMAlertPresenter::kThirdButtonReturn}; // "don't save"
    general->textViewWasDraggedFile(path, general->fromTranslateTextView());
    ASSERT_TRUE(loaded());
    ASSERT_EQ(alerts->shown.size(), 2);
    EXPECT_TRUE(alerts->shown.at(1).message.contains(QStringLiteral("latin1.txt")))
        << alerts->shown.at(1).message.toStdString();
    EXPECT_EQ(sourceText(), QStringLiteral("kept"));
    EXPECT_EQ(resultText(), QStringLiteral("behalten"));
    EXPECT_TRUE(offline->texts.isEmpty());
    EXPECT_TRUE(online->calls.isEmpty());
}

TEST_F(GeneralViewTextFilesTest, TextFilesTranslateOfflineAsTypedTextWhicheverWayTheyCame) {
    platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::NotReachable);
    struct Case {
        const char *name;
        QString path;
        QString text; // what the source panel shows and the engine gets
        std::function<void(const QString &)> open;
    };
    const QList<Case> cases = {
        {"File, Open", file(QStringLiteral("notes.txt"), "Open me"), QStringLiteral("Open me"),
         [&](const QString &path) {
             general->showOpenPanelWithFileType(0);
             qvtest::spin(20);
             QFileDialog *dialog = nullptr;
             for (QWidget *widget : QApplication::topLevelWidgets())
                 if (auto *found = qobject_cast<QFileDialog *>(widget); found && found->isVisible())
                     dialog = found;
             ASSERT_NE(dialog, nullptr);
             dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
             static_cast<QDialog *>(dialog)->accept();
         }},
        {"dropped on the source panel", file(QStringLiteral("notes.TXT"), "Drop me\r\nhere"),
         QStringLiteral("Drop me\nhere"),
         [&](const QString &path) { dropOn(general->fromTranslateTextView(), filesDrag(path)); }},
        {"dropped on the result panel", file(QStringLiteral("notes.md"), "# Marked down"),
         QStringLiteral("# Marked down"),
         [&](const QString &path) { dropOn(general->toTranslateTextView(), filesDrag(path)); }},
        {"dropped on the tray window", file(QStringLiteral("readme"), "No name says text"),
         QStringLiteral("No name says text"),
         [&](const QString &path) { general->openStatusItemDroppedFiles({path}); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        general->clear();
        offline->texts.clear();
        alerts->shown.clear();
        c.open(c.path);
        ASSERT_TRUE(qvtest::waitUntil([this] { return !offline->texts.isEmpty(); }));
        EXPECT_EQ(sourceText(), c.text);
        EXPECT_EQ(offline->texts, QStringList{c.text});
        EXPECT_TRUE(alerts->shown.isEmpty());
        offline->completions.takeLast()(QStringLiteral("übersetzt"), {});
        ASSERT_TRUE(rendered());
        EXPECT_EQ(resultText(), QStringLiteral("übersetzt"));
    }
}

TEST_F(GeneralViewTextFilesTest, TheSaveQuestionComesOnlyForWhatTheHistoryDoesNotHold) {
    const QString notes = file(QStringLiteral("notes.txt"), "From the file");
    struct Case {
        const char *name;
        std::function<void()> before;
        int questions;
    };
    const QList<Case> cases = {
        {"typed and not translated", [&] { type(QStringLiteral("draft")); }, 1},
        {"a translation the history did not take",
         [&] { general->setTextAndTranslation(QStringLiteral("Hello"), QStringLiteral("Hallo")); }, 1},
        {"the stored translation, its source edited since",
         [&] {
             translated(QStringLiteral("The tree"), QStringLiteral("Der Baum"));
             general->fromTranslateTextView()->insertPlainText(QStringLiteral(" grows"));
         },
         1},
        {"the stored translation, its result edited since",
         [&] {
             translated(QStringLiteral("The house"), QStringLiteral("Das Haus"));
             general->toTranslateTextView()->insertPlainText(QStringLiteral("!"));
         },
         1},
        {"empty panels", [&] { general->clear(); }, 0},
        {"the stored translation on screen",
         [&] { translated(QStringLiteral("The dog"), QStringLiteral("Der Hund")); }, 0},
        {"a stored translation chosen in the history",
         [&] {
             general->clear();
             general->showHistory(history().first());
             ASSERT_TRUE(rendered());
         },
         0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        c.before();
        alerts->shown.clear();
        alerts->answers = {QVMAlertPresenter::kSecondButtonReturn}; // "close": nothing opens
        general->textViewWasDraggedFile(notes, general->toTranslateTextView());
        EXPECT_EQ(saveQuestions(), c.questions);
        ASSERT_TRUE(loaded());
        EXPECT_EQ(sourceText() == QStringLiteral("From the file"), c.questions == 0);
    }
}

TEST_F(GeneralViewTextFilesTest, DraggedTextGoesInWhereItLandsAndTheSourcePanelTranslatesIt) {
    platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::NotReachable);
    struct Case {
        const char *name;
        bool source;
        int translations;
    };
    const Case cases[] = {
        {"on the result panel", false, 0},
        {"on the source panel", true, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        general->clear();
        offline->texts.clear();
        PaddingTextView *panel = c.source ? general->fromTranslateTextView() : general->toTranslateTextView();
        auto *data = new QMimeData;
        data->setText(QStringLiteral("dragged words"));
        dropOn(panel, data);
        EXPECT_EQ(panel->toPlainText(), QStringLiteral("dragged words"));
        qvtest::spin(50);
        EXPECT_EQ(offline->texts.size(), c.translations);
        if (c.translations) {
            EXPECT_EQ(offline->texts.first(), QStringLiteral("dragged words"));
        }
        delete data;
    }
}
