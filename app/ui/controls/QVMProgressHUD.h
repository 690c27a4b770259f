#pragma once

#include "ui/controls/QVMProgressOverlay.h"

#include <QPushButton>

#include <functional>

// The progress overlay with a close button near the bezel's upper right
// corner, for long work the user may stop. The button runs buttonAction; the
// overlay stays until its owner hides it.
//
//   if (QVMProgressHUD *hud = QVMSpinner::showProgressWithCancel(view, this)) {
//       hud->setButtonAction([this] { cancelDownload(); QVMSpinner::hideProgress(view, this); });
//       hud->setProgress(0.25f);
//   }
class QVMProgressHUD : public QVMProgressOverlay {
    Q_OBJECT
public:
    explicit QVMProgressHUD(QWidget *view);

    static QVMProgressHUD *showHUDAddedTo(QWidget *view);

    QPushButton *button() const { return m_button; }
    std::function<void()> buttonAction() const { return m_buttonAction; }
    void setButtonAction(std::function<void()> action) { m_buttonAction = std::move(action); }

    static constexpr const char *kCloseImageName = "ic_close_48pt_white";
    static constexpr qreal kMargin = 40;

protected:
    void layoutOverlay() override;

private:
    void buttonHandler();

    QPushButton *m_button;
    std::function<void()> m_buttonAction;
};
