#pragma once

#include <QHash>
#include <QImage>
#include <QPersistentModelIndex>
#include <QStyledItemDelegate>

// Paints a row of the history side panel: the source text and translation
// (elided), the two languages with their flags, a star and a remove button,
// and a small mark while a favourite change has not reached the account.
// Clicks on the star or the remove button are reported, not taken as a row
// choice. Flags come from the remote-picture cache, each asked for once.
class QVMHistoryTableViewCell : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit QVMHistoryTableViewCell(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    static QRect starRect(const QRect &row);
    static QRect removeRect(const QRect &row);
    // The highlighted record's background for the appearance.
    static QColor highlightColor(bool dark);
    QImage flagForPath(const QString &path) const;
    // Rows that show real buttons instead of painted ones (the current row).
    void setRowWithButtons(const QPersistentModelIndex &row) { m_rowWithButtons = row; }

    static constexpr int kRowHeight = 78;
    static constexpr int kButtonSize = 26;

signals:
    void starClicked(const QModelIndex &index);
    void removeClicked(const QModelIndex &index);
    void flagLoaded();

protected:
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;

private:
    mutable QHash<QString, QImage> m_flags;
    QPersistentModelIndex m_rowWithButtons;
};
