#include "QVMRegistrationOfferViewController.h"

#include "core/localization/QVLocalizedString.h"
#include "services/analytics/QVAnalyticsManager.h"
#include "ui/foundation/QVMLocalization.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

QVMRegistrationOfferViewController::QVMRegistrationOfferViewController(QObject *parent) : QVMBaseVC(parent) {}

QWidget *QVMRegistrationOfferViewController::loadView() {
    auto *view = new QWidget;
    view->setObjectName(QStringLiteral("registrationOfferView"));
    view->setMinimumWidth(420);
    auto *layout = new QVBoxLayout(view);
    layout->setContentsMargins(24, 24, 24, 20);
    layout->setSpacing(12);
    auto *title = new QLabel(view);
    title->setObjectName(QStringLiteral("offerTitle"));
    QVMLocalization::setLocKey(title, QStringLiteral("_loc_registration_offer_title"));
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    title->setFont(big);
    auto *message = new QLabel(view);
    message->setObjectName(QStringLiteral("offerMessage"));
    message->setWordWrap(true);
    QVMLocalization::setLocKey(message, QStringLiteral("_loc_registration_offer_message"));
    layout->addWidget(title);
    layout->addWidget(message);
    layout->addStretch(1);

    auto *buttons = new QHBoxLayout;
    m_closeButton = new QPushButton(view);
    m_closeButton->setObjectName(QStringLiteral("offerClose"));
    QVMLocalization::setLocKey(m_closeButton, QStringLiteral("_loc_close"));
    m_closeButton->setToolTip(QVLocalizedString(QStringLiteral("_loc_registration_offer_close_hint")));
    m_closeButton->setAccessibleName(m_closeButton->text());
    m_registerButton = new QPushButton(view);
    m_registerButton->setObjectName(QStringLiteral("offerRegister"));
    QVMLocalization::setLocKey(m_registerButton, QStringLiteral("_loc_registration_offer_register"));
    m_registerButton->setToolTip(QVLocalizedString(QStringLiteral("_loc_registration_offer_register_hint")));
    m_registerButton->setAccessibleName(m_registerButton->text());
    m_registerButton->setDefault(true);
    buttons->addStretch(1);
    buttons->addWidget(m_closeButton);
    buttons->addWidget(m_registerButton);
    layout->addLayout(buttons);
    connect(m_closeButton, &QPushButton::clicked, this,
            &QVMRegistrationOfferViewController::closeButtonClick);
    connect(m_registerButton, &QPushButton::clicked, this,
            &QVMRegistrationOfferViewController::registrationButtonClick);
    view->setFocusProxy(m_registerButton);
    return view;
}

void QVMRegistrationOfferViewController::viewWillAppear() {
    removeWindowButtonsAndTitle();
    m_registerButton->setFocus(Qt::OtherFocusReason);
}

void QVMRegistrationOfferViewController::viewDidAppear() {
    QVAnalyticsManager::trackViewsFromArray({QString::fromLatin1(kScreenName)});
}

void QVMRegistrationOfferViewController::trackEvent(const char *action) {
    QVAnalyticsManager::trackEventWithCategory(QString::fromLatin1(kScreenName), QString::fromLatin1(action),
                                               QVariantMap());
}

void QVMRegistrationOfferViewController::closeButtonClick() {
    if (m_closing)
        return;
    trackEvent(kActionClose);
    closeWindow();
}

void QVMRegistrationOfferViewController::registrationButtonClick() {
    if (m_closing)
        return;
    trackEvent(kActionRegister);
    // Closing from here on: a second click while the action runs does nothing.
    m_closing = true;
    if (m_registrationAction)
        m_registrationAction();
    closeWindow();
}

void QVMRegistrationOfferViewController::closeWindow() {
    m_closing = true;
    if (presentingViewController())
        dismissController();
    else
        view()->window()->close();
}

bool QVMRegistrationOfferViewController::eventFilter(QObject *watched, QEvent *event) {
    if (isViewLoaded() && watched == view()) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Escape) {
                closeButtonClick();
                return true;
            }
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                registrationButtonClick();
                return true;
            }
        } else if (event->type() == QEvent::Close && !m_closing) {
            // The window manager's close is the user's Close.
            trackEvent(kActionClose);
            m_closing = true;
        }
    }
    return QVMBaseVC::eventFilter(watched, event);
}
