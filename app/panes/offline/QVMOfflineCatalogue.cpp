#include "panes/offline/QVMOfflineViewController.h"

#include "services/analytics/QVAnalyticsManager.h"
#include "services/languages/QVLanguageService.h"
#include "services/packages/QVPackageDownloadManager.h"

#include "core/DevLogger.h"
#include "core/history/QVDataManager.h"
#include "core/localization/DJLocalizationSystem.h"
#include "core/models/QVPackageFolders.h"

#include "platform/UserDefaults.h"

#include <QSet>

#include <algorithm>

// What the tab knows of the stored catalogue: which groups are on offer, their
// names, their packages, and the analytics of its actions.

namespace {

const QString kEnglish = QStringLiteral("en");
const QString kFallbackLocale = QStringLiteral("en_GB");

// The stored packages with a desktop text model, read in one query so that a
// group's test costs only the reading of its list.
QSet<qint64> desktopPackages() {
    const platform::ObjectStore store = platform::ObjectStore::defaultStore();
    if (store.isNull())
        return {};
    const QList<qint64> ids = store.objects(QVLanguagePackageRealm::storeClassName())
                                  .filter(platform::Key(QStringLiteral("type")) ==
                                          QString::fromLatin1(QVPackageFolders::kTranslationType))
                                  .rowIds();
    return QSet<qint64>(ids.begin(), ids.end());
}

// English, or a language with a desktop text model.
bool isOffered(const QVPackagesRealm &group, const QSet<qint64> &desktop) {
    if (group.languageCode() == kEnglish)
        return true;
    const QList<platform::Object> packages = group.packages().toList();
    return std::any_of(packages.begin(), packages.end(),
                       [&](const platform::Object &o) { return desktop.contains(o.rowId()); });
}

QString nameFor(const QString &code, const QString &localName) {
    if (QVMOfflineViewController::codeFix().contains(code)) {
        const QVLanguageRealm language =
            QVLanguageService::languageForLocaleIdentifier(QVMOfflineViewController::codeFix().value(code));
        if (!language.isNull())
            return QVLanguageService::languageTitleWithoutCountryWithLanguage(language);
    } else {
        const QVLanguageRealm language = QVLanguageService::languageForLanguageString(code);
        if (!language.isNull() && !language.languageName().isEmpty())
            return language.languageName();
    }
    return localName;
}

// Names for a whole catalogue: a code that no language record carries as its
// language string (and that the code fix table does not map) names no
// language, so only codes that may are looked up, each once.
class Names {
public:
    Names() {
        const platform::ObjectStore store = platform::ObjectStore::defaultStore();
        if (store.isNull())
            return;
        for (const platform::Object &language : store.objects(QVLanguageRealm::storeClassName()).toList())
            m_known.insert(language.value(QStringLiteral("languageString")).toString());
    }
    QString nameFor(const QString &code, const QString &localName) {
        if (!m_known.contains(code) && !QVMOfflineViewController::codeFix().contains(code))
            return localName;
        auto it = m_names.find(code);
        if (it == m_names.end())
            it = m_names.insert(code, ::nameFor(code, localName));
        return it->isEmpty() ? localName : *it;
    }

private:
    QSet<QString> m_known;
    QHash<QString, QString> m_names;
};

} // namespace

const QHash<QString, QString> &QVMOfflineViewController::codeFix() {
    static const QHash<QString, QString> fix{{QStringLiteral("fr"), QStringLiteral("fr_FR")},
                                             {QStringLiteral("es"), QStringLiteral("es_ES")},
                                             {QStringLiteral("ar"), QStringLiteral("ar_AE")},
                                             {QStringLiteral("nl"), QStringLiteral("nl_NL")}};
    return fix;
}

bool QVMOfflineViewController::nameMatches(const QString &name, const QString &search) {
    return QVMOfflineLanguagesModel::nameMatches(name, search);
}

QList<QVPackagesRealm> QVMOfflineViewController::filteredGroups(const QList<QVPackagesRealm> &groups,
                                                                const QString &search) {
    QList<QVPackagesRealm> out;
    const QString text = search.trimmed();
    const QSet<qint64> desktop = desktopPackages();
    for (const QVPackagesRealm &group : groups) {
        if (!isOffered(group, desktop))
            continue;
        if (text.isEmpty() || nameMatches(group.localName(), text) || nameMatches(displayName(group), text))
            out.append(group);
    }
    return out;
}

QString QVMOfflineViewController::displayName(const QVPackagesRealm &group) {
    return nameFor(group.languageCode(), group.localName());
}

QList<QVMOfflineLanguagesModel::Row> QVMOfflineViewController::offeredRows() {
    QList<QVMOfflineLanguagesModel::Row> rows;
    Names names;
    const QSet<qint64> desktop = desktopPackages();
    const QList<platform::Object> groups = QVPackagesRealm::allSorted().toList();
    rows.reserve(groups.size());
    for (const platform::Object &object : groups) {
        const QVPackagesRealm group(object);
        if (!isOffered(group, desktop))
            continue;
        const QString code = group.languageCode();
        const QString localName = group.localName();
        rows.append({code, localName, names.nameFor(code, localName)});
    }
    return rows;
}

QVPackagesRealm QVMOfflineViewController::groupForCode(const QString &code) {
    const platform::ObjectStore store = platform::ObjectStore::defaultStore();
    if (store.isNull() || code.isEmpty())
        return {};
    return QVPackagesRealm(store.objectForPrimaryKey(QVPackagesRealm::storeClassName(), code));
}

QList<QVLanguagePackageRealm> QVMOfflineViewController::installablePackages(const QVPackagesRealm &group) {
    QList<QVLanguagePackageRealm> out;
    for (const platform::Object &object : group.packages().toList()) {
        const QVLanguagePackageRealm package(object);
        const uint type = package.formatType();
        if (type == QVLanguagePackageRealm::OpennmtDesktop || type == QVLanguagePackageRealm::Tesseract ||
            type == QVLanguagePackageRealm::Wordnet)
            out.append(package);
    }
    // Without its text model a language does not translate: that one first.
    std::stable_sort(out.begin(), out.end(),
                     [](const QVLanguagePackageRealm &a, const QVLanguagePackageRealm &b) {
                         return a.formatType() == QVLanguagePackageRealm::OpennmtDesktop &&
                                b.formatType() != QVLanguagePackageRealm::OpennmtDesktop;
                     });
    return out;
}

bool QVMOfflineViewController::isGroupInstalled(const QVPackagesRealm &group) {
    const QList<QVLanguagePackageRealm> packages = installablePackages(group);
    auto &manager = QVPackageDownloadManager::sharedManager();
    return !packages.isEmpty() && std::all_of(packages.begin(), packages.end(), [&](const auto &package) {
        return manager.isDownloadedPackage(package);
    });
}

QString QVMOfflineViewController::catalogueLocale() {
    const QVLanguageRealm language =
        QVLanguageService::languageForLanguageString(DJLocalizationSystem::shared().language());
    const QString locale = language.isNull() ? QString() : language.localeIdentifier();
    return locale.isEmpty() ? kFallbackLocale : locale;
}

void QVMOfflineViewController::removeStoredPackagesOnce() {
    platform::UserDefaults &defaults = platform::UserDefaults::standard();
    const QString key = QString::fromLatin1(kPackagesWereRemovedKey);
    if (defaults.boolForKey(key))
        return;
    // Records of installed packages stay, or an installed language would
    // vanish from the list until the catalogue can be fetched again.
    const platform::ObjectStore store = platform::ObjectStore::defaultStore();
    auto &manager = QVPackageDownloadManager::sharedManager();
    const QList<QVLanguagePackageRealm> stored =
        store.objects(QVLanguagePackageRealm::storeClassName()).toList<QVLanguagePackageRealm>();
    // A package counts as installed only where a record of its kind and language is marked
    // downloaded: the others need no look at the disk, nor a query each.
    QSet<QString> marked;
    for (const QVLanguagePackageRealm &package :
         store.objects(QVLanguagePackageRealm::storeClassName())
             .filter(platform::Key(QStringLiteral("isDownloaded")) == true)
             .toList<QVLanguagePackageRealm>())
        marked.insert(package.type() + QLatin1Char('\n') + package.languageCode());
    QList<platform::Object> drop;
    QSet<qint64> dropped; // packages' row ids: each group asks about every one of its packages
    for (const QVLanguagePackageRealm &package : stored)
        if (!marked.contains(package.type() + QLatin1Char('\n') + package.languageCode()) ||
            !manager.isDownloadedPackage(package)) {
            drop.append(package);
            dropped.insert(package.rowId());
        }
    platform::Error error;
    // Nothing installed (a first opening, as a rule): every group goes with its packages.
    if (drop.size() == stored.size()) {
        error = QVDataManager::sharedInstance().removeAllPackages();
    } else {
        for (const QVPackagesRealm &group :
             store.objects(QVPackagesRealm::storeClassName()).toList<QVPackagesRealm>()) {
            const QList<platform::Object> packages = group.packages().toList();
            if (std::all_of(packages.begin(), packages.end(),
                            [&](const platform::Object &p) { return dropped.contains(p.rowId()); }))
                drop.append(group);
        }
        error = store.write([&](platform::Transaction &tx) {
            for (const platform::Object &object : drop)
                tx.remove(object);
        });
    }
    if (error) {
        DevLogger::logError(error, QStringLiteral("removeAllPackages"));
        return; // tried again at the next opening
    }
    defaults.setBool(true, key);
}

void QVMOfflineViewController::track(const QString &action, const QVariantMap &params) {
    QVAnalyticsManager::trackEventWithCategory(QString::fromLatin1(kCategory), action, params);
}

QVariantMap QVMOfflineViewController::packageParams(const QVLanguagePackageRealm &package) {
    if (package.isNull())
        return {{QStringLiteral("language_pack"), QString()}, {QStringLiteral("size"), QString()}};
    return {{QStringLiteral("language_pack"), package.localName()},
            {QStringLiteral("size"), QString::number(double(package.packageSize()))}};
}
