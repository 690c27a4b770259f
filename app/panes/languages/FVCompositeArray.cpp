#include "FVCompositeArray.h"

FVCompositeArray::FVCompositeArray(const QList<Items> &arrays, const QList<OTHeader> &headers) {
    setArrays(arrays, headers);
}

void FVCompositeArray::setArrays(const QList<Items> &arrays, const QList<OTHeader> &headers) {
    m_arrays = arrays;
    m_headers = headers;
    // One header per list, whatever the caller gave.
    while (m_headers.size() < m_arrays.size())
        m_headers.append(OTHeader());
    m_headers.resize(m_arrays.size());
}

int FVCompositeArray::countOfItems() const {
    int count = int(m_arrays.size());
    for (const Items &items : m_arrays)
        count += int(items.size());
    return count;
}

const FVCompositeArray::Items *FVCompositeArray::arrayAtIndex(int index, int *indexInArray) const {
    if (indexInArray)
        *indexInArray = -1;
    if (index < 0)
        return nullptr;
    int start = 0;
    for (int k = 0; k < m_arrays.size(); ++k) {
        if (index == start) {
            if (indexInArray)
                *indexInArray = k;
            return nullptr;
        }
        const int size = int(m_arrays[k].size());
        if (index <= start + size) {
            if (indexInArray)
                *indexInArray = index - start - 1;
            return &m_arrays[k];
        }
        start += size + 1;
    }
    return nullptr;
}

int FVCompositeArray::sectionAtIndex(int index) const {
    if (index < 0)
        return -1;
    int start = 0;
    for (int k = 0; k < m_arrays.size(); ++k) {
        start += int(m_arrays[k].size()) + 1;
        if (index < start)
            return k;
    }
    return -1;
}

bool FVCompositeArray::isHeaderAtIndex(int index) const {
    int position = -1;
    return !arrayAtIndex(index, &position) && position >= 0;
}

OTHeader FVCompositeArray::headerAtIndex(int index) const {
    int position = -1;
    if (arrayAtIndex(index, &position) || position < 0)
        return {};
    return m_headers.value(position);
}

QVLanguageRealm FVCompositeArray::languageAtIndex(int index) const {
    int position = -1;
    const Items *items = arrayAtIndex(index, &position);
    return items ? items->value(position) : QVLanguageRealm();
}

int FVCompositeArray::compositeIndexForIndex(int index, const Items *array) const {
    for (int k = 0; k < m_arrays.size(); ++k) {
        if (&m_arrays[k] == array)
            return compositeIndexForIndex(index, k);
    }
    return -1;
}

int FVCompositeArray::compositeIndexForIndex(int index, int arrayNumber) const {
    if (arrayNumber < 0 || arrayNumber >= m_arrays.size())
        return -1;
    int flat = 1 + index;
    for (int k = 0; k < arrayNumber; ++k)
        flat += int(m_arrays[k].size()) + 1;
    return flat;
}

void FVCompositeArray::insertObject(const QVLanguageRealm &language, int index) {
    int position = -1;
    if (const Items *items = arrayAtIndex(index, &position)) {
        m_arrays[int(items - m_arrays.constData())].insert(position, language);
        return;
    }
    if (position >= 1)
        m_arrays[position - 1].append(language);
}

void FVCompositeArray::removeObjectFromItemsAtIndex(int index) {
    int position = -1;
    if (const Items *items = arrayAtIndex(index, &position))
        m_arrays[int(items - m_arrays.constData())].removeAt(position);
}
