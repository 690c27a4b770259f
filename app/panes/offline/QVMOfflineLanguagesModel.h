#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// The rows of the offline tab: one per offered language, a few strings each,
// so a catalogue of any size stays small. The search narrows the rows shown
// (a name containing the text, ignoring case and accents). Cells are drawn by
// widgets on the rows on screen; the model gives the size column its text and
// every cell an accessible text, asking the owner for what lives elsewhere
// (sizes and states from the store and the downloads) only for rows that are asked about.
//
//   QVMOfflineLanguagesModel model;
//   model.setSizeText([](const QString &code) { return ...; });
//   model.setRows({{"de", "Deutsch", "German"}, ...});
//   model.setSearch("germ");                      // rows shown: "de"
//   model.rowForCode("de");                       // 0
class QVMOfflineLanguagesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn, SizeColumn, ActionColumn, OptionsColumn, ColumnCount };
    struct Row {
        QString code;
        QString localName; // the catalogue's name
        QString name;      // the name shown
    };
    using TextForCode = std::function<QString(const QString &code)>;

    explicit QVMOfflineLanguagesModel(QObject *parent = nullptr);

    void setHeaders(const QStringList &titles);
    // Every row's height: rows keep it whether their cell widgets exist or not.
    void setRowHeight(int height) { m_rowHeight = height; }
    void setSizeText(TextForCode text) { m_sizeText = std::move(text); }
    void setActionText(TextForCode text) { m_actionText = std::move(text); }
    void setKindsText(TextForCode text) { m_kindsText = std::move(text); }

    // Every offered language, in the order shown; the search stays.
    void setRows(QList<Row> rows);
    void setSearch(const QString &text);
    QString search() const { return m_search; }

    int allCount() const { return int(m_rows.size()); }
    const Row &rowAt(int shown) const { return m_rows.at(m_shown.at(shown)); }
    QString codeAt(int shown) const;
    int rowForCode(const QString &code) const; // among the rows shown; -1 when not shown
    QStringList shownCodes() const;
    // The size text of the shown row is read again at its next drawing.
    void forgetSize(int shown);

    static bool nameMatches(const QString &name, const QString &search);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    void filter();
    const QString &foldedNames(int row) const;

    QList<Row> m_rows;
    QList<int> m_shown;                  // indices into m_rows
    mutable QHash<QString, int> m_shownByCode; // code -> its row among those shown
    mutable QList<QString> m_folded;     // both names folded, made at the first search
    mutable QHash<int, QString> m_sizes; // by index into m_rows, for rows drawn
    QString m_search;
    QStringList m_headers;
    int m_rowHeight = 30;
    TextForCode m_sizeText, m_actionText, m_kindsText;
};
