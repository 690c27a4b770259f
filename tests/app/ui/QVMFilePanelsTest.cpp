// The save and open panels: where they start, the name they propose, and the
// replace question, asked for the file that will really be written.
#include "UiTestSupport.h"

#include "platform/AppPaths.h"
#include "support/EventLoop.h"
#include "ui/panels/QVMOpenPanel.h"
#include "ui/panels/QVMSavePanel.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <optional>

using namespace uitest;

namespace {

class FilePanelsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        platform::AppPaths::setRoot(dir.path());
        documents = platform::AppPaths::documents();
        ASSERT_TRUE(QDir().mkpath(documents));
        QVMSavePanel::setUseQtDialog(true);
        QVMOpenPanel::setUseQtDialog(true);
        QVMOpenPanel::setLastFolder({});
        // A question of the file dialog's own is recorded and declined.
        QObject::connect(&watchdog, &QTimer::timeout, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                dialogQuestions << box->text();
                box->reject();
            }
        });
        watchdog.start(20);
    }
    void TearDown() override {
        watchdog.stop();
        QVMOpenPanel::setLastFolder({});
        platform::AppPaths::setRoot({});
    }
    void write(const QString &path, const QByteArray &content) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    QTemporaryDir dir;
    QString documents;
    ScopedAlerts alerts;
    QTimer watchdog;
    QStringList dialogQuestions;
};

} // namespace

TEST_F(FilePanelsTest, SavedFileIsANameInTheChosenFolderAndOnlyReplacedWhenTheUserSaysSo) {
    struct Case {
        const char *name;
        QString title;
        int format;
        QString typed;        // empty: the proposal is accepted
        QStringList existing; // files already in the folder
        QList<int> answers;   // to the replace question
        QStringList asked;    // the names the replace question named
        QString written;      // the name handed back; empty: nothing is saved
    };
    const int yes = QVMAlertPresenter::kFirstButtonReturn; // replace
    const int no = QVMAlertPresenter::kSecondButtonReturn; // cancel
    const QList<Case> cases = {
        {"parent folders", "../../outside", 0, {}, {}, {}, {}, "outside.rtf"},
        {"home folder", "~/.bashrc", 0, {}, {}, {}, {}, "bashrc.rtf"},
        {"slash", "Chinese (Traditional/HK)", 1, {}, {}, {}, {}, "Chinese (Traditional-HK).pdf"},
        {"absolute path", "/etc/cron.d/job", 0, {}, {}, {}, {}, "etc-cron.d-job.rtf"},
        {"nothing but dots", "..", 0, {}, {}, {}, {}, "Translation.rtf"},
        {"proposal taken", "German", 0, {}, {"German.rtf"}, {yes}, {"German.rtf"}, "German.rtf"},
        {"rtf typed, pdf kept", "German", 1, "notes.rtf", {"notes.pdf"}, {no}, {"notes.pdf"}, {}},
        {"rtf typed, pdf over", "German", 1, "notes.rtf", {"notes.pdf"}, {yes}, {"notes.pdf"}, "notes.pdf"},
        {"rtf typed, only rtf there", "German", 1, "notes.rtf", {"notes.rtf"}, {}, {}, "notes.pdf"},
    };
    const QStringList filters = {"RTF (*.rtf)", "PDF (*.pdf)"};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString &name : QDir(documents).entryList(QDir::Files | QDir::Hidden))
            QFile::remove(QDir(documents).filePath(name));
        for (const QString &name : c.existing)
            write(QDir(documents).filePath(name), "the user's");
        alerts->shown.clear();
        alerts->answers = c.answers;
        dialogQuestions.clear();

        std::optional<std::pair<int, QUrl>> result;
        QPointer<QVMSavePanel> panel = new QVMSavePanel;
        panel->beginWithTitle(c.title, [&result](int response, int, const QUrl &url) {
            result = {response, url};
        });
        QFileDialog *dialog = panel->fileDialog();
        if (c.format != panel->panelFileType()) {
            // The user picks another format, as the chooser's signal does.
            dialog->selectNameFilter(filters.at(c.format));
            panel->onFormat(c.format);
        }
        if (!c.typed.isEmpty())
            dialog->selectFile(c.typed);
        static_cast<QDialog *>(dialog)->accept();
        ASSERT_TRUE(qvtest::waitUntil([&] { return result.has_value() || (panel && dialog->isVisible()); }));
        if (!result) {
            // Declined: the panel is back, holding the name it asked about.
            EXPECT_EQ(QFileInfo(dialog->selectedFiles().value(0)).fileName().toStdString(),
                      c.asked.value(0).toStdString());
            static_cast<QDialog *>(dialog)->reject();
            ASSERT_TRUE(qvtest::waitUntil([&] { return result.has_value(); }));
        }

        EXPECT_TRUE(dialogQuestions.isEmpty()) << dialogQuestions.join(' ').toStdString();
        QStringList named = c.existing + QStringList{c.written};
        named.removeDuplicates();
        QStringList asked;
        for (const QVMAlertPresenter::Request &shown : alerts->shown)
            for (const QString &name : std::as_const(named))
                if (!name.isEmpty() && shown.title.contains(QStringLiteral("\u201C%1\u201D").arg(name)))
                    asked << name;
        EXPECT_EQ(asked.join('|').toStdString(), c.asked.join('|').toStdString());
        EXPECT_EQ(alerts->shown.size(), c.asked.size());
        for (const QVMAlertPresenter::Request &shown : alerts->shown)
            EXPECT_EQ(shown.defaultButton, 1) << "Return must keep the file";
        const QString handedBack =
            result->first == QVMSavePanel::kResponseOK ? result->second.toLocalFile() : QString();
        EXPECT_EQ(handedBack.toStdString(),
                  (c.written.isEmpty() ? QString() : QDir(documents).filePath(c.written)).toStdString());
    }
}

TEST_F(FilePanelsTest, TheProposedNameDropsEveryInvisibleAndReorderingCharacter) {
    const struct Case {
        const char *name;
        QString title;
        const char *proposed;
    } cases[] = {
        {"nothing but format characters",
         QString::fromUtf8("\u200E\u200F\u061C\u200B\u200C\u200D\u2060\uFEFF\u202E\u2066\u00AD"),
         "Translation"},
        {"format characters hiding a leading dot", QString::fromUtf8("\u200B.\u200Ebashrc"), "bashrc"},
        {"a name reversed on screen", QString::fromUtf8("invoice\u202Efdp.exe"), "invoicefdp.exe"},
        {"marks inside a name", QString::fromUtf8("Ger\u200Eman\uFEFF"), "German"},
        {"control characters", QString::fromUtf8("Ger\x07man\t"), "German"},
        {"a name as it is", QStringLiteral("Deutsch (Schweiz)"), "Deutsch (Schweiz)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(QVMSavePanel::proposedFileName(c.title).toStdString(), std::string(c.proposed));
    }
}

TEST_F(FilePanelsTest, OpenPanelStartsInTheLastFolderUsedElseInDocumentsNeverTheWorkingFolder) {
    const QString picked = dir.filePath(QStringLiteral("letters"));
    ASSERT_TRUE(QDir().mkpath(picked));
    struct Case {
        const char *name;
        bool pickFirst;    // a file chosen in "letters" before
        bool removePicked; // "letters" gone since
        bool documentsThere;
        QString expected;
    };
    const QList<Case> cases = {
        {"no Documents folder", false, false, false, QDir::homePath()},
        {"first use", false, false, true, documents},
        {"a file was chosen", true, false, true, picked},
        {"the folder used is gone", true, true, true, documents},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QVMOpenPanel::setLastFolder({});
        if (c.documentsThere) {
            ASSERT_TRUE(QDir().mkpath(documents));
        } else {
            ASSERT_TRUE(QDir(documents).removeRecursively());
        }
        ASSERT_TRUE(QDir().mkpath(picked));
        write(picked + QStringLiteral("/note.txt"), "text");
        if (c.pickFirst) {
            std::optional<QUrl> chosen;
            auto *first = new QVMOpenPanel;
            first->beginWithFileTypes({"txt"}, true, [&chosen](int, const QUrl &url) { chosen = url; });
            first->fileDialog()->selectFile(picked + QStringLiteral("/note.txt"));
            static_cast<QDialog *>(first->fileDialog())->accept();
            ASSERT_TRUE(qvtest::waitUntil([&] { return chosen.has_value(); }));
            ASSERT_EQ(chosen->toLocalFile(), picked + QStringLiteral("/note.txt"));
        }
        if (c.removePicked) {
            ASSERT_TRUE(QDir(picked).removeRecursively());
        }
        QVMOpenPanel panel;
        panel.beginWithFileTypes({"txt"}, true, {});
        EXPECT_EQ(QDir(panel.fileDialog()->directory()).absolutePath(), QDir(c.expected).absolutePath());
    }
}
