#pragma once

#include "ModelTestStore.h"

#include "core/history/QVDataManager.h"

// A fresh store with English and German, and a helper that saves a
// translation through the data manager.
class HistoryStoreTest : public ModelStoreTest {
protected:
    void SetUp() override {
        ModelStoreTest::SetUp();
        write([](platform::Transaction &tx) {
            tx.createOrUpdate(
                QVLanguageRealm::storeClassName(),
                {{"localeIdentifier", "en_GB"}, {"languageName", "English"}, {"languageString", "en"}});
            tx.createOrUpdate(
                QVLanguageRealm::storeClassName(),
                {{"localeIdentifier", "de_DE"}, {"languageName", "German"}, {"languageString", "de"}});
        });
        english = language("en_GB");
        german = language("de_DE");
    }

    QVLanguageRealm language(const QString &locale) const {
        return QVLanguageRealm(store.objectForPrimaryKey(QVLanguageRealm::storeClassName(), locale));
    }
    QVTranslationRealm save(qint64 id, const QString &original, const QString &translated, double created,
                            bool favorite = false, const QString &originalTranslit = {},
                            const QString &translatedTranslit = {}) {
        QVTranslationRealm stored;
        const platform::Error error = manager().saveTranslationWithIdTranslation(
            id, 1, english, german, favorite, original, translated, originalTranslit, translatedTranslit,
            created, [&](const QVTranslationRealm &record) { stored = record; });
        EXPECT_FALSE(error) << error.localizedDescription().toStdString();
        return stored;
    }
    QVTranslationRealm byId(qint64 id) const {
        return QVTranslationRealm(store.objectForPrimaryKey(QVTranslationRealm::storeClassName(), id));
    }
    static QVDataManager &manager() { return QVDataManager::sharedInstance(); }

    QVLanguageRealm english;
    QVLanguageRealm german;
};
