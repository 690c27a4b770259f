#pragma once

#include "app/services/OnlineServiceTest.h"
#include "app/ui/GeneralViewTestSupport.h"
#include "panes/history/QVMHistoryPane.h"
#include "panes/languages/QVMLanguagesPane.h"
#include "ui/foundation/QVMInterfaceFactory.h"

#include "core/history/QVDataManager.h"
#include "panes/dictionary/QVMDicrionaryController.h"
#include "panes/history/QVMHistoryPane.h"
#include "panes/languages/QVMLanguagesPane.h"
#include "platform/NotificationCenter.h"
#include "ui/foundation/QVMInterfaceFactory.h"

#include <QListView>

namespace panestest {

// Counts the posts of one notification for the scope.
class NotificationCounter {
public:
    explicit NotificationCounter(const char *name)
        : m_token(platform::NotificationCenter::defaultCenter().addObserver(
              QString::fromLatin1(name), [this](const QVariantMap &userInfo) {
                  ++count;
                  last = userInfo;
              })) {}
    ~NotificationCounter() { platform::NotificationCenter::defaultCenter().removeObserver(m_token); }
    int count = 0;
    QVariantMap last;

private:
    platform::NotificationCenter::Token m_token;
};

// The main window's fixture with a few more catalogue languages for searching.
template <typename Base> class PanesFixture : public uitest::GeneralViewFixture<Base> {
protected:
    void SetUp() override {
        uitest::GeneralViewFixture<Base>::SetUp();
        // As start-up does: the panes by name (entries already there are kept).
        QVMInterfaceFactory &factory = QVMInterfaceFactory::shared();
        installLanguagesPane(factory);
        installHistoryPane(factory);
        installDictionaryPane(factory);
        this->addLanguage("es_ES", "Espa\u00f1ol", "es", {});
        this->addLanguage("ga_IE", "Gaeilge (\u00c9ire)", "ga", {});
        this->addLanguage("xx_PC", "Percent (50%)", "xx", {});
    }
    // A translation stored under exactly this id, created at `created` (newest first by it).
    QVTranslationRealm save(qint64 id, const QString &text, bool favourite = false, bool synchronised = true,
                            const char *to = "de_DE") {
        QVTranslationRealm record;
        const platform::Error error = QVDataManager::sharedInstance().saveTranslationFromDictionary(
            {{"idTranslation", id},
             {"languageFrom", "en_GB"},
             {"languageTo", QLatin1String(to)},
             {"originalText", text},
             {"translatedText", text.toUpper()},
             {"isFavorite", favourite},
             {"isSynch", synchronised},
             {"createdDate", double(id)}},
            [&record](const QVTranslationRealm &saved) { record = saved; });
        EXPECT_FALSE(error) << error.localizedDescription().toStdString();
        return record;
    }
    QVTranslationRealm recordAt(qint64 id) { return QVDataManager::sharedInstance().getRealObjectById(id); }
};

using PanesTest = PanesFixture<ModelStoreTest>;
using PanesOnlineTest = PanesFixture<OnlineServiceTest>;

} // namespace panestest
