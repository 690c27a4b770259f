#include "QVLanguagesDataSourceService.h"

#include "services/languages/QVLanguageService.h"
#include "core/localization/QVLocalizedString.h"
#include "core/settings/QVSettingsService.h"

namespace {

using Items = FVCompositeArray::Items;

Items webSiteLanguagesOnly(const Items &languages) {
    Items kept;
    for (const QVLanguageRealm &language : languages) {
        if (language.languageModes().translateWebSite())
            kept.append(language);
    }
    return kept;
}

} // namespace

FVCompositeArray
QVLanguagesDataSourceService::dataSourceWithLanguageDirection(uint side, const QString &searchText) const {
    const bool webSites =
        QVSettingsService::defaultSettings().translationMode() == QVLanguageService::kWebSiteTranslationMode;
    auto filtered = [webSites](const Items &languages) {
        return webSites ? webSiteLanguagesOnly(languages) : languages;
    };

    if (!searchText.isEmpty()) {
        const OTHeader results(QVLocalizedString(QString::fromLatin1(kSearchResultsKey)));
        if (side == 1)
            return FVCompositeArray({filtered(QVLanguageService::allLanguagesForMacFilterName(searchText))},
                                    {results});
        if (side == 2)
            return FVCompositeArray(
                {filtered(QVLanguageService::allLanguagesForMacWithoutAutoDetectionFilterName(searchText))},
                {results});
        return {};
    }

    if (webSites)
        side = 2;
    const Items recent = filtered(QVLanguageService::getRecentlyLanguagesWithoutAutoDetection());
    const Items all = filtered(QVLanguageService::allLanguagesForMacWithoutAutoDetection());
    const OTHeader recentHeader(QVLocalizedString(QString::fromLatin1(kRecentlyUsedKey)));
    const OTHeader allHeader(QVLocalizedString(QString::fromLatin1(kAllLanguagesKey)) +
                             QStringLiteral(" %1").arg(all.size()));
    if (side == 1) {
        Items automatic;
        const QVLanguageRealm detection = QVLanguageService::autoDetectionLanguageRealm();
        if (!detection.isNull() &&
            detection.localeIdentifier() == QLatin1String(QVLanguageRealm::kAutoDetectionIdentifier))
            automatic.append(detection);
        return FVCompositeArray(
            {automatic, recent, all},
            {OTHeader(QString::fromLatin1(kHiddenHeaderTitle), false), recentHeader, allHeader});
    }
    if (side == 2)
        return FVCompositeArray({recent, all}, {recentHeader, allHeader});
    return {};
}
