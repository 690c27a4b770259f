#include "ui/controls/QVMControls.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QIcon>
#include <QPixmap>
#include <QStyleOptionComboBox>
#include <QStylePainter>

namespace {

// Paints a pop-up button with a fixed picture and no title.
class FixedImageDisplay : public QObject {
public:
    FixedImageDisplay(QComboBox *popUp, const QImage &image)
        : QObject(popUp), m_icon(QPixmap::fromImage(image)) {
        m_size = image.deviceIndependentSize().toSize();
        setObjectName(QString::fromLatin1(kName));
    }

    static constexpr const char *kName = "qvmFixedImageDisplay";

    bool eventFilter(QObject *watched, QEvent *event) override {
        auto *popUp = qobject_cast<QComboBox *>(watched);
        if (!popUp || event->type() != QEvent::Paint)
            return false;
        QStylePainter painter(popUp);
        QStyleOptionComboBox option;
        option.initFrom(popUp);
        option.editable = false;
        option.frame = popUp->hasFrame();
        option.currentIcon = m_icon;
        option.iconSize = m_size;
        option.currentText.clear();
        painter.drawComplexControl(QStyle::CC_ComboBox, option);
        painter.drawControl(QStyle::CE_ComboBoxLabel, option);
        return true;
    }

private:
    QIcon m_icon;
    QSize m_size;
};

} // namespace

void QVMControls::attributedTitleWithColor(QAbstractButton *button, const QColor &color, qreal fontSize) {
    QPalette palette = button->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::ButtonText, color);
    button->setPalette(palette);
    QFont font = QApplication::font();
    font.setPointSizeF(fontSize);
    button->setFont(font);
}

void QVMControls::addImageItemWithImage(QComboBox *popUp, const QImage &image) {
    if (QObject *previous = popUp->findChild<QObject *>(QString::fromLatin1(FixedImageDisplay::kName),
                                                        Qt::FindDirectChildrenOnly)) {
        popUp->removeEventFilter(previous);
        delete previous;
    }
    popUp->installEventFilter(new FixedImageDisplay(popUp, image));
    popUp->update();
}

void QVMControls::highlightSelectedItem(QComboBox *popUp) {
    for (int i = 0; i < popUp->count(); ++i)
        popUp->setItemData(i, QVariant(), Qt::ForegroundRole);
    if (popUp->currentIndex() >= 0)
        popUp->setItemData(popUp->currentIndex(), QColor(Qt::red), Qt::ForegroundRole);
}
