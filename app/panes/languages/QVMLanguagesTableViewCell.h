#pragma once

#include <QColor>
#include <QHash>
#include <QImage>
#include <QStyledItemDelegate>

// Paints a row of a language picker: a section title, or a language's round
// flag, its name and a mark when it is the side's current language, whose
// row is also 4 % darker than the others. Flags come from the remote-picture
// cache; each is asked for once and the row repaints when it arrives.
class QVMLanguagesTableViewCell : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit QVMLanguagesTableViewCell(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // The row background: the main colour, 4 % darker for the current language.
    static QColor backgroundColor(const QColor &mainColor, bool selectedPicture);
    // The flag for the picture path (the placeholder until it has loaded).
    QImage flagForPath(const QString &path) const;

    static constexpr int kRowHeight = 44;
    static constexpr int kFlagSize = 28;

signals:
    void flagLoaded();

private:
    mutable QHash<QString, QImage> m_flags;
};
