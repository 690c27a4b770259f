#pragma once

#include <QVariantList>

// Flattens the phrase book's categories for display: each category gets
// "isFavorite" false and its "categoryNames" become [{"locale", "localeValue"}];
// each of its words gets the same for "wordNames", "idCategory" (the category's
// "categoryId") and "isLearned" false. One-key objects without a key are dropped;
// elements that are not objects are kept as they are.
class QVPhraseParser {
public:
    static QVariantList plainJSONFromArray(const QVariantList &categories);

    QVPhraseParser() = delete;
};
