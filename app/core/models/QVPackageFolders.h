#pragma once

#include "platform/store/Store.h"

#include <QString>

// Where downloaded packages live under the Caches folder, and the one test of
// whether a language's translation package is usable.
//
//   Caches/<archive file name>                        an archive until it is unpacked
//   Caches/LanguagePacks/<type>                       the package folder of one type
//   Caches/LanguagePacks/tesseract/tessdata           where OCR archives are unpacked
//   Caches/LanguagePacks/opennmt-desktop/en-<code>    English to the language
//   Caches/LanguagePacks/opennmt-desktop/<code>-en    the language to English
//   Caches/LanguagePacks/wordnet                      the dictionary database
namespace QVPackageFolders {

inline constexpr const char *kTranslationType = "opennmt-desktop";
inline constexpr const char *kOcrType = "tesseract";
inline constexpr const char *kDictionaryType = "wordnet";

// A package type or language code that can stand as one folder name: not
// empty, no separator, not "." or "..". Catalogue values that are not are
// never used as paths.
bool isFolderName(const QString &name);

QString languagePacksFolder();                             // Caches/LanguagePacks
QString folderForType(const QString &type);                // Caches/LanguagePacks/<type>
QString unpackFolderForType(const QString &type);          // as above, with "tessdata" for the OCR type
QString ocrDataFolder();                                   // Caches/LanguagePacks/tesseract
QString dictionaryFolder();                                // Caches/LanguagePacks/wordnet
QString translationFolderFromEnglish(const QString &code); // .../opennmt-desktop/en-<code>
QString translationFolderToEnglish(const QString &code);   // .../opennmt-desktop/<code>-en
QString englishTokenizerIn(const QString &folder);         // <folder>/en.spm.model
QString languageTokenizerIn(const QString &folder, const QString &code); // <folder>/<code>.spm.model

// Caches/<last path component of the address>; empty when the address names
// no plain file (so an archive can never be written outside Caches).
QString archivePathForUrl(const QString &packageUrl);

// Both direction folders hold both tokenizer files.
bool hasTranslationFiles(const QString &code);

// The installed test every caller uses: a downloaded translation-package
// record for the code is stored, and hasTranslationFiles(code).
bool isTranslationPackageInstalled(const platform::ObjectStore &store, const QString &code);

// The same test for the other kinds: a downloaded record of the kind for the
// code is stored and the kind's folder holds something. OCR data of every
// language shares "tessdata", dictionaries share the dictionary folder.
bool isOcrPackageInstalled(const platform::ObjectStore &store, const QString &code);
bool isDictionaryPackageInstalled(const platform::ObjectStore &store, const QString &code);
// Chooses the test by type; any other type is tested against its unpack folder.
bool isPackageInstalled(const platform::ObjectStore &store, const QString &type, const QString &code);

// Bytes as megabytes, and megabytes as the "%dmb" text shown to the user
// (rounded to the nearest whole number, halves away from zero). The package
// and its update both go through these. A size is never negative: a negative
// or unreadable one counts as 0, one too large for the record or the text is
// held at the largest it can show.
float megabytesFromBytes(double bytes);
QString formatMegabytes(double megabytes);

} // namespace QVPackageFolders
