#include "QVMLanguagesTableViewCell.h"

#include "panes/languages/QVMLanguagesListModel.h"

#include "services/network/QVUrlForPatch.h"
#include "ui/controls/QVMRemoteImage.h"
#include "ui/foundation/QVMUtils.h"
#include "ui/style/QVMColor.h"

#include <QPainter>
#include <QPointer>

QVMLanguagesTableViewCell::QVMLanguagesTableViewCell(QObject *parent) : QStyledItemDelegate(parent) {}

QColor QVMLanguagesTableViewCell::backgroundColor(const QColor &mainColor, bool selectedPicture) {
    return selectedPicture ? QVMColor::adjust(mainColor, -4.0) : mainColor;
}

QImage QVMLanguagesTableViewCell::flagForPath(const QString &path) const {
    const auto found = m_flags.constFind(path);
    if (found != m_flags.constEnd())
        return *found;
    QImage placeholder = QVMRemoteImage::placeholderForPath(path, true);
    m_flags.insert(path, placeholder);
    const QUrl url = qvUrlForPatch(path);
    if (url.isValid() && !path.isEmpty()) {
        QPointer<const QVMLanguagesTableViewCell> self(this);
        QVMRemoteImage::shared().loadImage(
            url, [self, path](const QImage &image, const platform::Error &error) {
                if (!self || error || image.isNull())
                    return;
                auto *cell = const_cast<QVMLanguagesTableViewCell *>(self.data());
                cell->m_flags.insert(path, QVMUtils::roundedImageWithImage(image));
                emit cell->flagLoaded();
            });
    }
    return placeholder;
}

QSize QVMLanguagesTableViewCell::sizeHint(const QStyleOptionViewItem &option,
                                          const QModelIndex &index) const {
    Q_UNUSED(option)
    const bool hidden = index.data(QVMLanguagesListModel::HeaderRole).toBool() &&
                        !index.data(QVMLanguagesListModel::HeaderShownRole).toBool();
    return QSize(200, hidden ? 0 : kRowHeight);
}

void QVMLanguagesTableViewCell::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                      const QModelIndex &index) const {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QPalette &colours = option.palette;
    const QRect rect = option.rect;
    if (index.data(QVMLanguagesListModel::HeaderRole).toBool()) {
        // Titles cannot be chosen but must read as well as the rows.
        painter->fillRect(rect, colours.color(QPalette::Active, QPalette::Base));
        QFont bold = option.font;
        bold.setBold(true);
        painter->setFont(bold);
        painter->setPen(colours.color(QPalette::Active, QPalette::Text));
        painter->drawText(rect.adjusted(12, 0, -12, 0), Qt::AlignVCenter | Qt::AlignLeft,
                          index.data(Qt::DisplayRole).toString());
        painter->restore();
        return;
    }
    const bool current = index.data(QVMLanguagesListModel::CurrentRole).toBool();
    const bool selected = option.state & QStyle::State_Selected;
    QColor background = backgroundColor(colours.color(QPalette::Base), current);
    QColor text = colours.color(QPalette::Text);
    if (selected) {
        background = colours.color(QPalette::Highlight);
        text = colours.color(QPalette::HighlightedText);
    }
    painter->fillRect(rect, background);

    const QRect flagRect(rect.left() + 12, rect.top() + (rect.height() - kFlagSize) / 2, kFlagSize,
                         kFlagSize);
    const QImage flag = flagForPath(index.data(QVMLanguagesListModel::ImageFileRole).toString());
    if (!flag.isNull()) {
        painter->drawImage(flagRect, flag);
    } else {
        // A language without a picture (or missing from the catalogue) gets a plain disc.
        painter->setPen(Qt::NoPen);
        painter->setBrush(colours.color(QPalette::Mid));
        painter->drawEllipse(flagRect);
    }

    const int markWidth = 28;
    const QRect textRect(flagRect.right() + 10, rect.top(), rect.right() - flagRect.right() - 10 - markWidth,
                         rect.height());
    painter->setPen(text);
    const QString name = option.fontMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight,
                                                       textRect.width());
    painter->drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, name);
    if (current) {
        painter->drawText(QRect(rect.right() - markWidth, rect.top(), markWidth - 8, rect.height()),
                          Qt::AlignCenter, QStringLiteral("\u2713"));
    }
    if (option.state & QStyle::State_HasFocus) {
        painter->setPen(QPen(colours.color(QPalette::Text), 1, Qt::DotLine));
        painter->drawRect(rect.adjusted(1, 1, -2, -2));
    }
    painter->restore();
}
