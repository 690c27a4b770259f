#include "QVMIntroObject.h"

#include "services/graphics/QVMImage.h"

#include <QHash>

QVMIntroObject::QVMIntroObject(const QString &image, const QString &titleKey, const QString &subtitleKey)
    : m_imageName(image), m_titleKey(titleKey), m_subtitleKey(subtitleKey) {}

QImage QVMIntroObject::icon() const {
    // Pages are made anew on every showing; their pictures are not decoded again.
    static QHash<QString, QImage> decoded;
    const auto found = decoded.constFind(m_imageName);
    if (found != decoded.constEnd())
        return found.value();
    const QImage image = QVMImage::imageNamed(m_imageName);
    decoded.insert(m_imageName, image);
    return image;
}
