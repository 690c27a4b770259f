#pragma once

#include "ui/foundation/QVMBaseVC.h"
#include "ui/foundation/QVMInterfaceHooks.h"

class QPushButton;

// The offer to register ("QVMIntro" / "QVMRegistrationOfferViewController"):
// a small window without a title bar, with Register (default, Return) and
// Close. Register runs registrationAction, then closes; Close, Escape and the
// window manager's close only close. Each showing reports its screen once.
//
//   offer->setProperty("registrationAction", QVariant::fromValue(QVMAction([] { openAccountTab(); })));
//   presenter->showModalViewController(offer);
class QVMRegistrationOfferViewController : public QVMBaseVC {
    Q_OBJECT
    Q_PROPERTY(QVMAction registrationAction READ registrationAction WRITE setRegistrationAction)
public:
    explicit QVMRegistrationOfferViewController(QObject *parent = nullptr);

    QVMAction registrationAction() const { return m_registrationAction; }
    void setRegistrationAction(const QVMAction &action) { m_registrationAction = action; }

    void closeButtonClick();
    void registrationButtonClick();

    static constexpr const char *kStoryboard = "QVMIntro";
    static constexpr const char *kIdentifier = "QVMRegistrationOfferViewController";
    static constexpr const char *kScreenName = "Motivation Register screen";
    static constexpr const char *kActionClose = "Close";
    static constexpr const char *kActionRegister = "Click Register";

protected:
    QWidget *loadView() override;
    void viewWillAppear() override;
    void viewDidAppear() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void trackEvent(const char *action);
    void closeWindow();

    QVMAction m_registrationAction;
    bool m_closing = false;
    QPushButton *m_closeButton = nullptr;
    QPushButton *m_registerButton = nullptr;
};
