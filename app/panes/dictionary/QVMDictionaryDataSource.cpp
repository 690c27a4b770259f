#include "panes/dictionary/QVMDictionaryDataSource.h"

#include "services/dictionary/QVWorldNetDataSourceService.h"
#include "services/network/QVRequestManager.h"

namespace {

class WorldNetSource : public QVMDictionaryDataSource {
public:
    void autocompleteForWord(const QString &word, const QString &language, WordsSuccess success,
                             Failure failure) override {
        m_service.autocompleteForWord(word, language, std::move(success), std::move(failure));
    }
    void lexicalMeaningAndSynonymsForWord(const QString &word, const QString &fromLanguage,
                                          const QString &toLanguage, LexicalSuccess success,
                                          Failure failure) override {
        m_service.lexicalMeaningAndSynonymsForWord(word, fromLanguage, toLanguage, std::move(success),
                                                   std::move(failure));
    }
    void wordDictionaryMeaningForText(const QString &text, const QString &fromLanguage,
                                      const QString &toLanguage, ResultSuccess success,
                                      Failure failure) override {
        QVRequestManager::instance().getWordDictionaryMeaningForText(text, fromLanguage, toLanguage,
                                                                     std::move(success), std::move(failure));
    }

private:
    QVWorldNetDataSourceService m_service;
};

} // namespace

std::shared_ptr<QVMDictionaryDataSource> QVMDictionaryDataSource::makeDefault() {
    return std::make_shared<WorldNetSource>();
}
