#pragma once

#include <QString>

// Word lists for a word-by-word English-German demo package, read from a
// German-English dictionary of "German :: English" lines whose sides hold
// alternatives separated by " | " (and synonyms by "; "), annotated with
// {..}, [..], (..) and <..>. The most frequent words of the dictionary's own
// text (counted without regard to case) are kept, each with its most frequent
// one-word translation. Words of every script are words, umlauts included.
//
// Writes into the folder: en.txt and de.txt (one word a line, to train the
// tokenizers), de-en.words and en-de.words ("source<TAB>target" lines).
namespace DemoWordLists {

// The number of entries of each table, or -1 with the reason in `error`.
int write(const QString &dictionaryPath, const QString &folder, int wordsPerDirection, QString *error);

} // namespace DemoWordLists
