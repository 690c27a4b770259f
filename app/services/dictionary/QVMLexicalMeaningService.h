#pragma once

#include <QString>

#include <functional>
#include <mutex>

// The relay through which the main view asks the dictionary pane to show a
// word: the pane registers one block (a later one replaces it), the view calls
// it. Any thread; the block runs on the caller's thread, outside the lock.
//
//   QVMLexicalMeaningService::sharedInstance().addUpdateBlock([this](const QString &word, const QString
//   &code) {
//       showEntry(word, code);
//   });
//   QVMLexicalMeaningService::sharedInstance().showLexicalMeaningAndWordEntriesForText("dog", "en_GB");
class QVMLexicalMeaningService {
public:
    using UpdateBlock = std::function<void(const QString &word, const QString &languageCode)>;

    static QVMLexicalMeaningService &sharedInstance();
    QVMLexicalMeaningService() = default;

    void addUpdateBlock(UpdateBlock block);
    // Calls the stored block with both values; nothing when none is stored.
    void showLexicalMeaningAndWordEntriesForText(const QString &word, const QString &languageCode) const;

private:
    mutable std::mutex m_mutex;
    UpdateBlock m_block;
};
