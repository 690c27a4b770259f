#pragma once

#include "QVMIntroObject.h"
#include "ui/foundation/QVMBaseVC.h"

class QLabel;

// One onboarding page ("QVMIntro" / "kIntroPage"): the page's picture above
// its title and description. Without a picture the title and text stand alone.
class QVMIntroPageViewController : public QVMBaseVC {
    Q_OBJECT
public:
    using QVMBaseVC::QVMBaseVC;

    QVMIntroObject representedObject() const { return m_object; }
    void setRepresentedObject(const QVMIntroObject &object);

    static constexpr const char *kIdentifier = "kIntroPage";
    static constexpr int kPictureHeight = 260;

protected:
    QWidget *loadView() override;

private:
    void fill();

    QVMIntroObject m_object;
    QLabel *m_picture = nullptr;
    QLabel *m_title = nullptr;
    QLabel *m_description = nullptr;
};
