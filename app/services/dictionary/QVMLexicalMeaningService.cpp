#include "services/dictionary/QVMLexicalMeaningService.h"

QVMLexicalMeaningService &QVMLexicalMeaningService::sharedInstance() {
    static QVMLexicalMeaningService *service = new QVMLexicalMeaningService();
    return *service;
}

void QVMLexicalMeaningService::addUpdateBlock(UpdateBlock block) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_block = std::move(block);
}

void QVMLexicalMeaningService::showLexicalMeaningAndWordEntriesForText(const QString &word,
                                                                       const QString &languageCode) const {
    UpdateBlock block;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        block = m_block;
    }
    // Called unlocked so the block may register a new one.
    if (block)
        block(word, languageCode);
}
