#pragma once

#include <QHash>
#include <QImage>
#include <QPersistentModelIndex>
#include <QStyledItemDelegate>

// Paints a row of the history side panel: the source text and translation
// (elided), the two languages with their flags, a star (filled for a
// favourite) and a remove button, and a small mark while a favourite change
// has not reached the account. partAt() tells the list which of them a point
// falls on; each has its tooltip. Flags come from the remote-picture cache,
// each asked for once.
class QVMHistoryTableViewCell : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit QVMHistoryTableViewCell(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    enum class Part { Row, Star, Remove };

    static QRect starRect(const QRect &row);
    static QRect removeRect(const QRect &row);
    static Part partAt(const QRect &row, const QPoint &at);
    // What the star or remove button of a row (or the row itself: `rowTip`) says it does.
    static QString toolTipFor(Part part, bool favourite, const QString &rowTip);
    // The star's glyph: filled for a favourite.
    static QString starGlyph(bool favourite);
    // The highlighted record's background for the appearance.
    static QColor highlightColor(bool dark);
    QImage flagForPath(const QString &path) const;
    // Rows that show real buttons instead of painted ones (the current row).
    void setRowWithButtons(const QPersistentModelIndex &row) { m_rowWithButtons = row; }

    static constexpr int kRowHeight = 78;
    static constexpr int kButtonSize = 26;

    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

signals:
    void flagLoaded();

protected:
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;

private:
    mutable QHash<QString, QImage> m_flags;
    QPersistentModelIndex m_rowWithButtons;
};
