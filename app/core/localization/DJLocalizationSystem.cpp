#include "DJLocalizationSystem.h"

#include "core/DevLogger.h"
#include "platform/Bundle.h"
#include "platform/StringsFile.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

namespace {

const QString kLocalizable = QStringLiteral("Localizable");
const QString kNoBundleEvent = QStringLiteral("Localization error: no bundle found, resetting!");

// A damaged table still gives the entries before its fault; the fault itself is reported,
// or a translated table would silently show untranslated text.
platform::StringsFile::Entries readTable(const QString &path) {
    if (!QFileInfo::exists(path))
        return {};
    QString error;
    platform::StringsFile::Entries entries = platform::StringsFile::read(path, &error);
    if (!error.isEmpty())
        DevLogger::logNonFatal(
            QStringLiteral("Localization table damaged"),
            {{QStringLiteral("file"), QFileInfo(path).fileName()}, {QStringLiteral("error"), error}});
    return entries;
}

QString lprojPath(const QString &root, const QString &code) {
    return QDir(root).filePath(code + QStringLiteral(".lproj"));
}

} // namespace

DJLocalizationSystem &DJLocalizationSystem::shared() {
    static DJLocalizationSystem instance;
    return instance;
}

DJLocalizationSystem::DJLocalizationSystem() {
    m_bundlePath = mainBundleFolder();
    const QString stored =
        platform::UserDefaults::standard().stringForKey(QString::fromLatin1(kUserDefaultAppLanguage));
    setLanguage(stored.isEmpty() ? platform::Bundle::preferredLocalizations().value(0) : stored);
}

bool DJLocalizationSystem::isValidLanguageCode(const QString &code) {
    // Names a folder, so nothing but a locale identifier gets through.
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z]{2,3}([_-][A-Za-z0-9]{2,8}){0,3}$"));
    return pattern.match(code).hasMatch();
}

QString DJLocalizationSystem::mainBundleFolder() const {
    const QString root = platform::Bundle::resourcePath();
    for (const QString &code : platform::Bundle::preferredLocalizations()) {
        const QString path = lprojPath(root, code);
        if (QFileInfo(path).isDir())
            return path;
    }
    return root;
}

QString DJLocalizationSystem::findFolder(const QString &code) const {
    if (!isValidLanguageCode(code))
        return {};
    const QString root = platform::Bundle::resourcePath();
    QString path = lprojPath(root, code);
    if (QFileInfo(path).isDir())
        return path;
    QString fallback;
    if (code == QLatin1String("pt"))
        fallback = QStringLiteral("pt-PT");
    else if (code == QLatin1String("fa"))
        fallback = QStringLiteral("fa-IR");
    else
        fallback = QLocale(code).name().section(QLatin1Char('_'), 0, 0);
    if (fallback.isEmpty() || fallback == QLatin1String("C"))
        fallback = code.section(QRegularExpression(QStringLiteral("[_-]")), 0, 0);
    path = lprojPath(root, fallback);
    return QFileInfo(path).isDir() ? path : QString();
}

void DJLocalizationSystem::setLanguage(const QString &code) {
    bool failed = false;
    {
        QMutexLocker lock(&m_mutex);
        if (code == m_customLanguage && !code.isEmpty())
            return;
        const QString folder = findFolder(code);
        if (folder.isEmpty()) {
            m_bundlePath = mainBundleFolder();
            m_customLanguage.clear();
            failed = true;
        } else {
            m_bundlePath = folder;
            loadTablesLocked();
            m_customLanguage = code;
        }
    }
    if (failed)
        DevLogger::logNonFatal(kNoBundleEvent, {});
}

void DJLocalizationSystem::resetLocalization() {
    setLanguage(platform::Bundle::preferredLocalizations().value(0));
}

QString DJLocalizationSystem::language() const {
    QMutexLocker lock(&m_mutex);
    if (!m_customLanguage.isEmpty())
        return m_customLanguage;
    return languageOfLocale(QLocale());
}

QString DJLocalizationSystem::languageOfLocale(const QLocale &locale) {
    // The C and POSIX locales name no language; requests still need a real one.
    if (locale.language() == QLocale::C || locale.language() == QLocale::AnyLanguage)
        return QStringLiteral("en");
    return locale.name().section(QLatin1Char('_'), 0, 0);
}

QString DJLocalizationSystem::customLanguage() const {
    QMutexLocker lock(&m_mutex);
    return m_customLanguage;
}

QString DJLocalizationSystem::bundlePath() const {
    QMutexLocker lock(&m_mutex);
    return m_bundlePath;
}

const DJLocalizationSystem::Table &DJLocalizationSystem::table(const QString &folder,
                                                               const QString &name) const {
    const QString file = (name.isEmpty() ? kLocalizable : name) + QStringLiteral(".strings");
    const QString cacheKey = folder + QLatin1Char('/') + file;
    auto it = m_tables.find(cacheKey);
    if (it == m_tables.end()) {
        Table loaded;
        for (const auto &entry : readTable(QDir(folder).filePath(file)))
            loaded.insert(entry.first, entry.second);
        it = m_tables.insert(cacheKey, loaded);
    }
    return *it;
}

QString DJLocalizationSystem::stringInCurrentTable(const QString &key, const QString &tableName) const {
    QMutexLocker lock(&m_mutex);
    return table(m_bundlePath, tableName).value(key);
}

QString DJLocalizationSystem::localizedStringForKey(const QString &key, const QString &value,
                                                    const QString &tableName) const {
    const QString found = stringInCurrentTable(key, tableName);
    if (!found.isEmpty())
        return found;
    return value.isEmpty() ? key : value;
}

QString DJLocalizationSystem::localizedStringForKey(const QString &key, const QString &value,
                                                    const QString &tableName,
                                                    const QString &bundleRoot) const {
    QMutexLocker lock(&m_mutex);
    QString folder = bundleRoot;
    if (!m_customLanguage.isEmpty() && isValidLanguageCode(m_customLanguage)) {
        const QString chosen = lprojPath(bundleRoot, m_customLanguage);
        if (QFileInfo(chosen).isDir())
            folder = chosen;
    }
    const QString found = table(folder, tableName).value(key);
    if (!found.isEmpty())
        return found;
    return value.isEmpty() ? key : value;
}

QString DJLocalizationSystem::englishStringForKey(const QString &key) const {
    QMutexLocker lock(&m_mutex);
    return table(lprojPath(platform::Bundle::resourcePath(), QStringLiteral("en")), kLocalizable).value(key);
}

QString DJLocalizationSystem::keyForEnglishString(const QString &text) const {
    QMutexLocker lock(&m_mutex);
    if (m_englishKeys.isEmpty()) {
        const QString folder = lprojPath(platform::Bundle::resourcePath(), QStringLiteral("en"));
        const Table &english = table(folder, kLocalizable);
        // One text under several keys: the first key by name, so every run picks the same.
        for (auto it = english.cbegin(); it != english.cend(); ++it) {
            const auto known = m_englishKeys.constFind(it.value());
            if (known == m_englishKeys.cend() || it.key() < known.value())
                m_englishKeys.insert(it.value(), it.key());
        }
    }
    return m_englishKeys.value(text);
}

QString DJLocalizationSystem::localizedStoryboardStringForKey(const QString &key,
                                                              const QString &value) const {
    QMutexLocker lock(&m_mutex);
    return m_storyboardStrings.value(key, value);
}

QHash<QString, QString> DJLocalizationSystem::storyboardStrings() const {
    QMutexLocker lock(&m_mutex);
    return m_storyboardStrings;
}

void DJLocalizationSystem::loadTables() {
    QMutexLocker lock(&m_mutex);
    loadTablesLocked();
}

void DJLocalizationSystem::loadTablesLocked() {
    Table merged;
    const QDir dir(m_bundlePath);
    // Sorted by name so a key in two tables resolves the same way on every machine.
    const QStringList files = dir.entryList({QStringLiteral("*.strings")}, QDir::Files, QDir::Name);
    for (const QString &file : files) {
        if (file == QLatin1String("Localizable.strings") || file == QLatin1String("InfoPlist.strings"))
            continue;
        for (const auto &entry : readTable(dir.filePath(file)))
            merged.insert(entry.first, entry.second);
    }
    m_storyboardStrings = merged;
}

void DJLocalizationSystem::reload() {
    QMutexLocker lock(&m_mutex);
    m_tables.clear();
    m_englishKeys.clear();
    const QString chosen = m_customLanguage;
    m_customLanguage.clear();
    const QString folder = chosen.isEmpty() ? QString() : findFolder(chosen);
    m_bundlePath = folder.isEmpty() ? mainBundleFolder() : folder;
    m_customLanguage = folder.isEmpty() ? QString() : chosen;
    loadTablesLocked();
}
