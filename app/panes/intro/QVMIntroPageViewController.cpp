#include "QVMIntroPageViewController.h"

#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

QWidget *QVMIntroPageViewController::loadView() {
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(32, 24, 32, 8);
    layout->setSpacing(12);
    m_picture = new QLabel(page);
    m_picture->setObjectName(QStringLiteral("introPicture"));
    m_picture->setAlignment(Qt::AlignCenter);
    m_picture->setMinimumHeight(kPictureHeight);
    m_title = new QLabel(page);
    m_title->setObjectName(QStringLiteral("introTitle"));
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setWordWrap(true);
    QFont big = m_title->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    m_title->setFont(big);
    m_description = new QLabel(page);
    m_description->setObjectName(QStringLiteral("introDescription"));
    m_description->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_description->setWordWrap(true);
    // Backend and table texts are shown as typed, never as markup.
    m_title->setTextFormat(Qt::PlainText);
    m_description->setTextFormat(Qt::PlainText);
    layout->addStretch(1);
    layout->addWidget(m_picture);
    layout->addWidget(m_title);
    layout->addWidget(m_description);
    layout->addStretch(1);
    fill();
    return page;
}

void QVMIntroPageViewController::setRepresentedObject(const QVMIntroObject &object) {
    m_object = object;
    if (isViewLoaded())
        fill();
}

void QVMIntroPageViewController::fill() {
    const QImage icon = m_object.icon();
    m_picture->setVisible(!icon.isNull());
    if (!icon.isNull()) {
        QPixmap pixmap = QPixmap::fromImage(icon);
        m_picture->setPixmap(pixmap);
        m_picture->setAccessibleName(m_object.titleKey());
    }
    m_title->setText(m_object.titleKey());
    m_description->setText(m_object.subtitleKey());
}
