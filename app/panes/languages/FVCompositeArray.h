#pragma once

#include "panes/languages/OTHeader.h"

#include "core/models/QVLanguageRealm.h"

#include <QList>

// Several lists of languages, each under its header, seen as one flat list:
// header 0, the items of list 0, header 1, the items of list 1, and so on.
// Every list has its header row, an empty one too.
//
//   FVCompositeArray list = QVLanguagesDataSourceService().dataSourceWithLanguageDirection(1, {});
//   for (int i = 0; i < list.countOfItems(); ++i)
//       if (list.isHeaderAtIndex(i)) paintHeader(list.headerAtIndex(i));
//       else paintLanguage(list.languageAtIndex(i));
class FVCompositeArray {
public:
    using Items = QList<QVLanguageRealm>;

    FVCompositeArray() = default;
    FVCompositeArray(const QList<Items> &arrays, const QList<OTHeader> &headers);

    const QList<Items> &arrays() const { return m_arrays; }
    const QList<OTHeader> &headers() const { return m_headers; }
    void setArrays(const QList<Items> &arrays, const QList<OTHeader> &headers);

    // Number of lists plus all their items.
    int countOfItems() const;

    // The list holding the flat index and the index inside it, or null for a
    // header position (then *indexInArray is the header's number). Null with
    // -1 for an index outside the list.
    const Items *arrayAtIndex(int index, int *indexInArray) const;
    // The list number of the flat index (its header's number for a header), -1 outside.
    int sectionAtIndex(int index) const;
    bool isHeaderAtIndex(int index) const;
    OTHeader headerAtIndex(int index) const;          // empty header off a header position
    QVLanguageRealm languageAtIndex(int index) const; // null on a header position

    // The flat index of item j of the given list (compared by identity: one of
    // arrays()); -1 for a list that is not one of ours.
    int compositeIndexForIndex(int index, const Items *array) const;
    // The same by list number.
    int compositeIndexForIndex(int index, int arrayNumber) const;

    // Inserting at an item position puts the language there; at header k (k >= 1)
    // it goes to the end of list k - 1. Removing a header does nothing.
    void insertObject(const QVLanguageRealm &language, int index);
    void removeObjectFromItemsAtIndex(int index);

private:
    QList<Items> m_arrays;
    QList<OTHeader> m_headers;
};
