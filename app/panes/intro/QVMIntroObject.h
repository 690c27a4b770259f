#pragma once

#include <QImage>
#include <QString>

// One onboarding page: its picture's name and its title and description,
// already localised (the texts, not their keys, despite the names).
//
//   QVMIntroObject page("intro_slide_0", QVLocalizedString("_loc_intro_page1_title"), ...);
//   QImage picture = page.icon();   // null when the picture is missing
class QVMIntroObject {
public:
    QVMIntroObject() = default;
    QVMIntroObject(const QString &image, const QString &titleKey, const QString &subtitleKey);

    QString imageName() const { return m_imageName; }
    QString titleKey() const { return m_titleKey; }
    QString subtitleKey() const { return m_subtitleKey; }
    // The picture named imageName; each name is decoded once per run. Main thread only.
    QImage icon() const;

private:
    QString m_imageName;
    QString m_titleKey;
    QString m_subtitleKey;
};
