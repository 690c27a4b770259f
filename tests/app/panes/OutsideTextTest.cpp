// Names from the package catalogue and words from the backend or the dictionary
// files, shown in the offline and dictionary tabs: always as typed, never as markup.
#include "offline/OfflinePaneFixture.h"

#include "panes/dictionary/QVMDicrionaryController.h"
#include "panes/offline/QVMCustomGridOutlineView.h"
#include "panes/offline/QVMLanguagesDownloadTableCellView.h"
#include "services/dictionary/QVWordNetDatabase.h"

#include "platform/NetworkStatus.h"

#include <QLineEdit>
#include <QTextBrowser>

namespace {

const QString kHostile = QStringLiteral("<b>Evil</b><img src=\"file:///etc/hostname\"><a href=\"x\">y</a>");

// Fails every question with one error.
class FailingSource : public QVMDictionaryDataSource {
public:
    explicit FailingSource(platform::Error error) : m_error(std::move(error)) {}
    void autocompleteForWord(const QString &, const QString &, WordsSuccess, Failure failure) override {
        failure(m_error);
    }
    void lexicalMeaningAndSynonymsForWord(const QString &, const QString &, const QString &, LexicalSuccess,
                                          Failure failure) override {
        failure(m_error);
    }
    void wordDictionaryMeaningForText(const QString &, const QString &, const QString &, ResultSuccess,
                                      Failure failure) override {
        failure(m_error);
    }

private:
    platform::Error m_error;
};

} // namespace

TEST_F(OfflinePaneTest, TextFromOutsideIsShownAsTypedInTheOfflineAndDictionaryTabs) {
    backend.route(
        "POST", "/v2/api/v3/languageModels",
        qvtest::FakeReply::json(QJsonObject{
            {"result",
             QJsonArray{QJsonObject{{"lang", "zz"},
                                    {"local_lang", kHostile},
                                    {"type", "opennmt-desktop"},
                                    {"version", "1"},
                                    {"model", QJsonObject{{"size", 1048576}, {"url", "models/zz.zip"}}}}}}}));
    backend.route("GET", "/v2/static/models/zz.zip", qvtest::FakeReply::bytes("PK\x03\x04 not really"));
    open();
    const int row = tab->rowForCode("zz");
    ASSERT_GE(row, 0);
    QVMDicrionaryController dictionary;
    dictionary.view()->show();
    const auto lookUp = [&](platform::NetworkStatus::Status network, const platform::Error &error) {
        platform::NetworkStatus::shared().setOverride(network);
        dictionary.setDataSource(std::make_shared<FailingSource>(error));
        dictionary.showLexicalMeaningAndWordEntriesForText(QStringLiteral("dog"));
        return dictionary.messageLabel();
    };
    struct Case {
        const char *name;
        std::function<QWidget *()> show;
        QString expected; // a stretch of what is shown
    };
    const QList<Case> cases = {
        {"offline: the row's name",
         [&]() -> QWidget * {
             auto *cell = qobject_cast<QVMLanguagesDownloadTableCellView *>(
                 tab->languagesOutline()->indexWidget(tab->model()->index(row, 0)));
             return cell ? cell->nameTextField() : nullptr;
         },
         kHostile},
        {"offline: the delete question",
         [&]() -> QWidget * {
             tab->onDelete(row);
             return confirmation();
         },
         "Delete the offline package for " + kHostile + " ("},
        {"offline: the failure line",
         [&]() -> QWidget * {
             confirmation()->reject();
             tab->onDownload(row);
             qvtest::waitUntil([&] { return tab->messageLine()->isVisible(); }, 10000);
             return tab->messageLine();
         },
         kHostile + ": "},
        {"dictionary: an online failure",
         [&]() -> QWidget * {
             return lookUp(platform::NetworkStatus::ReachableViaOther,
                           platform::Error("NSURLErrorDomain", -1011, kHostile));
         },
         kHostile},
        {"dictionary: an offline failure",
         [&]() -> QWidget * {
             return lookUp(
                 platform::NetworkStatus::NotReachable,
                 platform::Error(QVWordNetDatabase::kErrorDomain, QVWordNetDatabase::FilesMissing, kHostile));
         },
         kHostile},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QWidget *shown = c.show();
        ASSERT_NE(shown, nullptr);
        if (auto *label = qobject_cast<QLabel *>(shown)) {
            EXPECT_TRUE(label->isVisibleTo(label->window()));
            EXPECT_EQ(label->textFormat(), Qt::PlainText);
            EXPECT_TRUE(label->text().contains(c.expected)) << label->text().toStdString();
        } else if (auto *box = qobject_cast<QMessageBox *>(shown)) {
            EXPECT_EQ(box->textFormat(), Qt::PlainText);
            EXPECT_TRUE(box->text().contains(c.expected)) << box->text().toStdString();
        } else {
            ADD_FAILURE() << "neither a label nor a message box";
        }
    }
    platform::NetworkStatus::shared().setOverride(std::nullopt);
    delete dictionary.view();
}
