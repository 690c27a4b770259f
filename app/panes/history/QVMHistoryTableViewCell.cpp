#include "QVMHistoryTableViewCell.h"

#include "panes/history/QVMHistoryListModel.h"

#include "services/graphics/QVMStyleService.h"
#include "services/network/QVUrlForPatch.h"
#include "ui/controls/QVMRemoteImage.h"
#include "ui/foundation/QVMUtils.h"
#include "ui/style/QVMColor.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QPointer>
#include <QToolTip>

namespace {

const QString kStarOn = QStringLiteral("\u2605");
const QString kStarOff = QStringLiteral("\u2606");
const QString kRemove = QStringLiteral("\u2715");
const QString kUnsynchronised = QStringLiteral("\u21bb");
constexpr int kFlag = 16;

} // namespace

QVMHistoryTableViewCell::QVMHistoryTableViewCell(QObject *parent) : QStyledItemDelegate(parent) {}

QRect QVMHistoryTableViewCell::starRect(const QRect &row) {
    return QRect(row.right() - 2 * kButtonSize - 10, row.top() + 8, kButtonSize, kButtonSize);
}

QRect QVMHistoryTableViewCell::removeRect(const QRect &row) {
    return QRect(row.right() - kButtonSize - 6, row.top() + 8, kButtonSize, kButtonSize);
}

QVMHistoryTableViewCell::Part QVMHistoryTableViewCell::partAt(const QRect &row, const QPoint &at) {
    if (starRect(row).contains(at))
        return Part::Star;
    if (removeRect(row).contains(at))
        return Part::Remove;
    return Part::Row;
}

QString QVMHistoryTableViewCell::toolTipFor(Part part, bool favourite, const QString &rowTip) {
    switch (part) {
    case Part::Star:
        return favourite ? tr("Remove from your bookmarks (Space)") : tr("Add to your bookmarks (Space)");
    case Part::Remove:
        return tr("Remove this translation from the history (Delete)");
    case Part::Row:
        break;
    }
    return rowTip;
}

QString QVMHistoryTableViewCell::starGlyph(bool favourite) {
    return favourite ? kStarOn : kStarOff;
}

QColor QVMHistoryTableViewCell::highlightColor(bool dark) {
    return dark ? QVMColor::tabBackgroundDarkColor() : QVMColor::cellSelectionColor();
}

QImage QVMHistoryTableViewCell::flagForPath(const QString &path) const {
    const auto found = m_flags.constFind(path);
    if (found != m_flags.constEnd())
        return *found;
    const QImage placeholder = QVMRemoteImage::placeholderForPath(path, true);
    m_flags.insert(path, placeholder);
    const QUrl url = qvUrlForPatch(path);
    if (!path.isEmpty() && url.isValid()) {
        QPointer<const QVMHistoryTableViewCell> self(this);
        QVMRemoteImage::shared().loadImage(
            url, [self, path](const QImage &image, const platform::Error &error) {
                if (!self || error || image.isNull())
                    return;
                auto *cell = const_cast<QVMHistoryTableViewCell *>(self.data());
                cell->m_flags.insert(path, QVMUtils::roundedImageWithImage(image));
                emit cell->flagLoaded();
            });
    }
    return placeholder;
}

QSize QVMHistoryTableViewCell::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const {
    Q_UNUSED(option)
    return QSize(240, index.data(QVMHistoryListModel::PlaceholderRole).toBool() ? 60 : kRowHeight);
}

void QVMHistoryTableViewCell::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                    const QModelIndex &index) const {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QPalette &colours = option.palette;
    const QRect row = option.rect;
    if (index.data(QVMHistoryListModel::PlaceholderRole).toBool()) {
        painter->fillRect(row, colours.color(QPalette::Active, QPalette::Base));
        painter->setPen(colours.color(QPalette::Active, QPalette::Text));
        painter->drawText(row.adjusted(12, 0, -12, 0), Qt::AlignCenter | Qt::TextWordWrap,
                          index.data(Qt::DisplayRole).toString());
        painter->restore();
        return;
    }
    const bool selected = option.state & QStyle::State_Selected;
    const bool highlighted = index.data(QVMHistoryListModel::HighlightedRole).toBool();
    QColor background = colours.color(QPalette::Base);
    QColor text = colours.color(QPalette::Text);
    if (selected) {
        background = colours.color(QPalette::Highlight);
        text = colours.color(QPalette::HighlightedText);
    } else if (highlighted) {
        background = highlightColor(QVMStyleService::isDarkMode());
        text = background.lightnessF() > 0.5 ? QColor(Qt::black) : QColor(Qt::white);
    }
    painter->fillRect(row, background);
    painter->setPen(colours.color(QPalette::Mid));
    painter->drawLine(row.bottomLeft(), row.bottomRight());

    const int textRight = starRect(row).left() - 8;
    const QRect first(row.left() + 12, row.top() + 6, textRight - row.left() - 12, 22);
    const QRect second = first.translated(0, 22);
    QFont bold = option.font;
    bold.setBold(true);
    painter->setPen(text);
    painter->setFont(bold);
    painter->drawText(first, Qt::AlignLeft | Qt::AlignVCenter,
                      QFontMetrics(bold).elidedText(
                          index.data(QVMHistoryListModel::OriginalTextRole).toString().simplified(),
                          Qt::ElideRight, first.width()));
    painter->setFont(option.font);
    painter->drawText(second, Qt::AlignLeft | Qt::AlignVCenter,
                      option.fontMetrics.elidedText(
                          index.data(QVMHistoryListModel::TranslatedTextRole).toString().simplified(),
                          Qt::ElideRight, second.width()));

    // The pair: flag, name, arrow, flag, name.
    int x = row.left() + 12;
    const int y = row.top() + 54;
    const auto drawLanguage = [&](int imageRole, int nameRole) {
        const QRect flagRect(x, y, kFlag, kFlag);
        const QImage flag = flagForPath(index.data(imageRole).toString());
        if (!flag.isNull()) {
            painter->drawImage(flagRect, flag);
        } else {
            painter->setPen(Qt::NoPen);
            painter->setBrush(colours.color(QPalette::Mid));
            painter->drawEllipse(flagRect);
        }
        x += kFlag + 4;
        const QString name = index.data(nameRole).toString();
        painter->setPen(text);
        const int width = option.fontMetrics.horizontalAdvance(name);
        painter->drawText(QRect(x, y - 2, width + 2, kFlag + 4), Qt::AlignLeft | Qt::AlignVCenter, name);
        x += width + 6;
    };
    drawLanguage(QVMHistoryListModel::FromImageRole, QVMHistoryListModel::FromNameRole);
    painter->setPen(text);
    painter->drawText(QRect(x, y - 2, 16, kFlag + 4), Qt::AlignCenter, QStringLiteral("\u2192"));
    x += 20;
    drawLanguage(QVMHistoryListModel::ToImageRole, QVMHistoryListModel::ToNameRole);

    if (index.data(QVMHistoryListModel::UnsynchronisedRole).toBool()) {
        painter->setPen(text);
        painter->drawText(QRect(starRect(row).left(), row.top() + 40, kButtonSize, 20), Qt::AlignCenter,
                          kUnsynchronised);
    }
    if (index != m_rowWithButtons) {
        QFont glyphs = option.font;
        glyphs.setPointSizeF(glyphs.pointSizeF() * 1.3);
        painter->setFont(glyphs);
        painter->setPen(text);
        painter->drawText(starRect(row), Qt::AlignCenter,
                          starGlyph(index.data(QVMHistoryListModel::FavouriteRole).toBool()));
        painter->drawText(removeRect(row), Qt::AlignCenter, kRemove);
    }
    painter->restore();
}

// Clicks on the star and the remove button are the list's (it acts on the press's row before the
// row can change); here only the placeholder row is kept from every click.
bool QVMHistoryTableViewCell::editorEvent(QEvent *event, QAbstractItemModel *model,
                                          const QStyleOptionViewItem &option, const QModelIndex &index) {
    if (index.data(QVMHistoryListModel::PlaceholderRole).toBool())
        return true;
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}

// Qt shows only a row's own tooltip over the list: each part of a row says what it does.
bool QVMHistoryTableViewCell::helpEvent(QHelpEvent *event, QAbstractItemView *view,
                                        const QStyleOptionViewItem &option, const QModelIndex &index) {
    if (!event || event->type() != QEvent::ToolTip || !view || !index.isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const bool placeholder = index.data(QVMHistoryListModel::PlaceholderRole).toBool();
    const Part part = placeholder ? Part::Row : partAt(option.rect, event->pos());
    const QRect area = part == Part::Star     ? starRect(option.rect)
                       : part == Part::Remove ? removeRect(option.rect)
                                              : option.rect;
    const QString tip =
        toolTipFor(part, index.data(QVMHistoryListModel::FavouriteRole).toBool(), view->toolTip());
    QToolTip::showText(event->globalPos(), tip, view->viewport(), area);
    return true;
}
