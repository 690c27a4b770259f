#pragma once

#include "panes/languages/FVCompositeArray.h"

#include <QString>

// Builds the sectioned language list of a picker for one side of the pair
// (1 source, 2 target) and a search text. Holds no state; reads the catalogue
// and the settings record of the default store on the calling (main) thread.
//
//   FVCompositeArray list = QVLanguagesDataSourceService().dataSourceWithLanguageDirection(2, field->text());
//
// Without search text the source side has a hidden header over the
// auto-detection entry, then "Recently used" and "All languages N"; the target
// side has only the last two. With search text there is one "Search results"
// section. While web pages are translated (translation mode 2) only languages
// offering web-page translation are listed, and the list is the target side's.
class QVLanguagesDataSourceService {
public:
    FVCompositeArray dataSourceWithLanguageDirection(uint side, const QString &searchText) const;

    static constexpr const char *kHiddenHeaderTitle = "EMPTY";
    static constexpr const char *kSearchResultsKey = "_loc_language_search_results";
    static constexpr const char *kRecentlyUsedKey = "_loc_language_recently_used";
    static constexpr const char *kAllLanguagesKey = "_loc_language_all_languages";
};
