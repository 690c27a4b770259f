#pragma once

#include <QHash>
#include <QLocale>
#include <QMutex>
#include <QString>

// The interface language and every localised-string lookup. Tables are ".strings"
// files in "<code>.lproj" folders of the bundle's resources. Lookups are thread-safe:
// services on worker threads localise their error texts too.
class DJLocalizationSystem {
public:
    static DJLocalizationSystem &shared();

    // The stored interface language ("kUserDefaultAppLanguage") or the bundle's first preferred one.
    DJLocalizationSystem();

    void setLanguage(const QString &code);
    void resetLocalization();

    // The chosen code, or the current locale's language code when none is chosen.
    QString language() const;
    // A locale's language code; "en" for a locale without a language (C, POSIX).
    static QString languageOfLocale(const QLocale &locale);
    QString customLanguage() const;
    // The folder whose tables answer lookups: the chosen language's, else the main bundle's.
    QString bundlePath() const;

    // The table's string for key; `value` when it has none, or the key itself when value is empty.
    QString localizedStringForKey(const QString &key, const QString &value, const QString &table = {}) const;
    // The same against another resource folder: its folder of the chosen language when present, else its own.
    QString localizedStringForKey(const QString &key, const QString &value, const QString &table,
                                  const QString &bundleRoot) const;
    // The string from the chosen folder's table, or nothing when it has none (no fallback).
    QString stringInCurrentTable(const QString &key, const QString &table = {}) const;
    // The string from the English tables, read once and kept apart, or nothing.
    QString englishStringForKey(const QString &key) const;
    // The key whose English text this is, or nothing.
    QString keyForEnglishString(const QString &text) const;

    QString localizedStoryboardStringForKey(const QString &key, const QString &value) const;
    QHash<QString, QString> storyboardStrings() const;
    void loadTables();

    // Forgets cached tables (the resource folder changed); keeps the chosen language.
    void reload();

    static bool isValidLanguageCode(const QString &code);
    static constexpr const char *kUserDefaultAppLanguage = "kUserDefaultAppLanguage";

private:
    using Table = QHash<QString, QString>;
    QString findFolder(const QString &code) const;
    QString mainBundleFolder() const;
    const Table &table(const QString &folder, const QString &name) const;
    void loadTablesLocked();

    mutable QRecursiveMutex m_mutex;
    QString m_customLanguage;
    QString m_bundlePath;
    Table m_storyboardStrings;
    mutable QHash<QString, Table> m_tables; // keyed by folder + "/" + table file
    mutable Table m_englishKeys;             // English text -> key
};
