#pragma once

#include "panes/languages/FVCompositeArray.h"

#include <QAbstractListModel>

// The rows of a language picker over its sectioned list: headers are rows
// that cannot be selected, languages rows that can. The side's current
// language is marked (CurrentRole).
class QVMLanguagesListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        HeaderRole = Qt::UserRole + 1, // bool: a section title
        HeaderShownRole,               // bool: a title that takes room
        LocaleRole,                    // the language's locale identifier
        ImageFileRole,                 // the flag's picture path
        CurrentRole,                   // bool: the side's current language
    };

    explicit QVMLanguagesListModel(QObject *parent = nullptr);

    void setDataSource(const FVCompositeArray &dataSource, const QString &currentLocale);
    const FVCompositeArray &dataSource() const { return m_dataSource; }
    void setCurrentLocale(const QString &locale);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The nearest language row from `row` going by `step` (+1 or -1); -1 when none.
    int languageRowFrom(int row, int step) const;

private:
    FVCompositeArray m_dataSource;
    QString m_currentLocale;
};
