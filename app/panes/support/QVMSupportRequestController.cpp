#include "QVMSupportRequestController.h"

#include "core/DevLogger.h"
#include "core/localization/DJLocalizationSystem.h"
#include "core/localization/QVLocalizedString.h"
#include "core/settings/QVAuthService.h"
#include "core/settings/QVSettingsService.h"
#include "services/analytics/QVAnalyticsManager.h"
#include "services/support/QVSupportMailer.h"
#include "ui/adapters/QVMGeneralServices.h"
#include "ui/foundation/QVMLinkOpener.h"
#include "ui/foundation/QVMUtils.h"
#include "ui/style/QVMColor.h"

#include "platform/BackendConfig.h"

#include <QEvent>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QString loc(const char *key) {
    return QVLocalizedString(QString::fromLatin1(key));
}

bool isDark(const QWidget *view) {
    return view->palette().color(QPalette::Base).lightness() < 128;
}

void configureShadow(QWidget *view, const QColor &colour) {
    auto *shadow = new QGraphicsDropShadowEffect(view);
    shadow->setColor(colour.isValid() ? colour : QColor(0, 0, 0, 128));
    shadow->setBlurRadius(20.0);
    shadow->setOffset(0, 10);
    view->setGraphicsEffect(shadow);
}

QPushButton *makeButton(QWidget *parent, const char *key) {
    auto *button = new QPushButton(loc(key), parent);
    button->setAccessibleName(button->text());
    button->setFocusPolicy(Qt::StrongFocus);
    button->setAutoDefault(false);
    return button;
}

QLabel *makeCaption(QWidget *parent, const char *key, QWidget *buddy) {
    auto *caption = new QLabel(loc(key), parent);
    caption->setBuddy(buddy);
    caption->setAccessibleName(caption->text());
    return caption;
}

} // namespace

QVMSupportRequestController::QVMSupportRequestController(QObject *parent) : QVMBaseVC(parent) {}

QVMSupportRequestController::~QVMSupportRequestController() = default;

void QVMSupportRequestController::track(const char *action, const QVariantMap &params) {
    QVMGeneralServices::shared().analytics().trackEvent(QString::fromLatin1(kCategory),
                                                        QString::fromLatin1(action), params);
}

QWidget *QVMSupportRequestController::loadView() {
    auto *view = new QWidget;
    view->setWindowTitle(loc("_loc_support_title"));
    // The text-background colour, as a form to write in.
    view->setBackgroundRole(QPalette::Base);
    view->setAutoFillBackground(true);
    view->setMinimumSize(440, 360);
    auto *layout = new QVBoxLayout(view);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(6);

    m_emailField = new QLineEdit(view);
    m_emailField->setPlaceholderText(loc("_loc_settings_email"));
    m_emailField->setAccessibleName(loc("_loc_support_your_email"));
    m_emailField->setToolTip(loc("_loc_support_email_tooltip"));
    m_wrongField = new QLabel(loc("_loc_settings_invalid_email"), view);
    m_wrongField->setAccessibleName(m_wrongField->text());
    m_wrongField->hide();
    m_messageView = new QPlainTextEdit(view);
    m_messageView->setTabChangesFocus(true);
    m_messageView->setAccessibleName(loc("_loc_support_message"));
    m_messageView->setToolTip(loc("_loc_support_message_tooltip"));

    m_notSetUpLabel = new QLabel(view);
    m_notSetUpLabel->setWordWrap(true);
    m_notSetUpLabel->setTextFormat(Qt::RichText);
    m_notSetUpLabel->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    m_notSetUpLabel->setFocusPolicy(Qt::StrongFocus);
    m_notSetUpLabel->setAccessibleName(loc("_loc_support_not_set_up"));
    m_notSetUpLabel->setToolTip(supportPageUrl().toString());
    m_notSetUpLabel->hide();

    m_cancelButton = makeButton(view, "_loc_cancel");
    m_cancelButton->setToolTip(loc("_loc_support_cancel_tooltip"));
    m_sendButton = makeButton(view, "_loc_support_send");
    m_sendButton->setDefault(true);

    m_captions = {makeCaption(view, "_loc_support_your_email", m_emailField),
                  makeCaption(view, "_loc_support_message", m_messageView)};
    layout->addWidget(m_captions.at(0));
    layout->addWidget(m_emailField);
    layout->addWidget(m_wrongField);
    layout->addSpacing(6);
    layout->addWidget(m_captions.at(1));
    layout->addWidget(m_messageView, 1);
    layout->addWidget(m_notSetUpLabel);
    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 12, 0, 0);
    buttons->addStretch(1);
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_sendButton);
    layout->addLayout(buttons);
    QWidget::setTabOrder(m_emailField, m_messageView);
    QWidget::setTabOrder(m_messageView, m_notSetUpLabel);
    QWidget::setTabOrder(m_notSetUpLabel, m_cancelButton);
    QWidget::setTabOrder(m_cancelButton, m_sendButton);

    connect(m_sendButton, &QPushButton::clicked, this, &QVMSupportRequestController::onSend);
    connect(m_cancelButton, &QPushButton::clicked, this, &QVMSupportRequestController::onCancel);
    connect(m_emailField, &QLineEdit::returnPressed, this, &QVMSupportRequestController::onSend);
    connect(m_emailField, &QLineEdit::editingFinished, this,
            &QVMSupportRequestController::emailEditingFinished);
    connect(m_emailField, &QLineEdit::textChanged, this, &QVMSupportRequestController::emailTextChanged);
    connect(m_messageView, &QPlainTextEdit::textChanged, this,
            &QVMSupportRequestController::updateSendButton);
    connect(m_notSetUpLabel, &QLabel::linkActivated, this,
            [](const QString &link) { QVMLinkOpener::open(QUrl(link)); });
    return view;
}

void QVMSupportRequestController::viewDidLoad() {
    m_configuration = QVSupportMailConfiguration::load();
    if (m_configuration)
        m_mailer = new QVSupportMailer(*m_configuration, this);
    m_notSetUpLabel->setVisible(!m_configuration);
    configureShadow(m_sendButton, QVMColor::pinkShadowColor());
    configureShadow(m_cancelButton, QVMColor::grayShadowColor());
    view()->installEventFilter(this);
    observeThemeColor();
    didChangeColorTheme(isDark(view()));
    updateSendButton();
}

void QVMSupportRequestController::viewDidAppear() {
    const QVAuthProfile profile = QVAuthService::authProfile();
    if (profile.isValid() && !profile.email().isEmpty()) {
        m_emailField->setText(profile.email());
        m_messageView->setFocus(Qt::OtherFocusReason);
    } else {
        m_emailField->setFocus(Qt::OtherFocusReason);
    }
    QVAnalyticsManager::trackViewsFromArray({QString::fromLatin1(kScreenName)});
    track(kShownAction);
}

void QVMSupportRequestController::didChangeColorTheme(bool) {
    if (!isViewLoaded())
        return;
    const bool dark = isDark(view());
    // Red that keeps 4.5:1 on the form's background in either appearance.
    const QColor warning = dark ? QColor(0xff, 0x8a, 0x80) : QColor(0xb7, 0x1c, 0x1c);
    m_wrongField->setStyleSheet(QStringLiteral("color: %1;").arg(warning.name()));
    // The palette's link blue can be dark on a dark form: shade it until it reads.
    const QColor link = QVMColor::readableOn(view()->palette().color(QPalette::Link),
                                             view()->palette().color(QPalette::Window));
    m_notSetUpLabel->setText(QStringLiteral("%1. <a href=\"%2\" style=\"color: %3;\">%4</a>")
                                 .arg(loc("_loc_support_not_set_up").toHtmlEscaped(),
                                      supportPageUrl().toString(QUrl::FullyEncoded).toHtmlEscaped(),
                                      link.name(),
                                      loc("_loc_support_open_page").toHtmlEscaped()));
}

bool QVMSupportRequestController::eventFilter(QObject *watched, QEvent *event) {
    // The theme notice can come before the form's palette follows: colours are read again once it has.
    if (isViewLoaded() && watched == view() && event->type() == QEvent::PaletteChange)
        didChangeColorTheme(isDark(view()));
    // The window manager's close: the presenter dismisses the form itself.
    if (isViewLoaded() && watched == view() && event->type() == QEvent::Close)
        leave("close", false);
    // Escape reaches the form from any field, none of which takes it.
    if (isViewLoaded() && watched == view() && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        onCancel();
        return true;
    }
    return QVMBaseVC::eventFilter(watched, event);
}

bool QVMSupportRequestController::isValidEmail(const QString &text) {
    return QVMUtils::validateEmail(text);
}

QUrl QVMSupportRequestController::supportPageUrl() {
    QUrl url = platform::BackendConfig::makerDomain();
    url.setPath(QString::fromLatin1(kSupportPath));
    return url;
}

QString QVMSupportRequestController::informationOfUserWithEmail(const QString &email) {
    const std::optional<qint64> userId = QVAuthService::userId();
    QString block = QStringLiteral("\n\n-------\n");
    block += QStringLiteral("App version: %1\n").arg(QVMUtils::getAppVersionFromBundle());
    block += QStringLiteral("App platform: macOS\n");
    block += QStringLiteral("App language: %1\n").arg(DJLocalizationSystem::shared().language());
    block += QStringLiteral("UUID: %1\n").arg(QVSettingsService::defaultSettings().uuid());
    block += QStringLiteral("Quorvalde User ID: %1\n").arg(userId ? QString::number(*userId) : QString());
    block += QStringLiteral("Feedback email: %1\n").arg(email);
    block += QStringLiteral("-------");
    return block;
}

QString QVMSupportRequestController::reasonForError(const platform::Error &error) {
    switch (error.code()) {
    case QVSupportMailer::InvalidAddress:
        return loc("_loc_settings_invalid_email");
    case QVSupportMailer::CannotConnect:
        return loc("_loc_support_error_connect");
    case QVSupportMailer::AuthenticationRefused:
        return loc("_loc_support_error_auth");
    case QVSupportMailer::TimedOut:
        return loc("_loc_support_error_timeout");
    default:
        return loc("_loc_support_error_refused");
    }
}

void QVMSupportRequestController::emailEditingFinished() {
    if (isValidEmail(m_emailField->text()))
        return;
    m_firstShowWrongMessage = true;
    m_wrongField->show();
}

void QVMSupportRequestController::emailTextChanged() {
    if (m_firstShowWrongMessage)
        m_wrongField->setVisible(!isValidEmail(m_emailField->text()));
    updateSendButton();
}

void QVMSupportRequestController::updateSendButton() {
    QString why;
    if (!m_configuration)
        why = loc("_loc_support_not_set_up");
    else if (m_sending)
        why = loc("_loc_support_sending");
    else if (!isValidEmail(m_emailField->text()))
        why = loc("_loc_settings_invalid_email");
    else if (m_messageView->toPlainText().trimmed().isEmpty())
        why = loc("_loc_support_need_message");
    m_sendButton->setEnabled(why.isEmpty());
    m_sendButton->setToolTip(why.isEmpty() ? loc("_loc_support_send_tooltip") : why);
}

void QVMSupportRequestController::onSend() {
    track(kSendAction);
    sendEmail();
}

void QVMSupportRequestController::sendEmail() {
    const QString email = m_emailField->text();
    const QString message = m_messageView->toPlainText();
    if (!m_mailer || m_sending || !isValidEmail(email) || message.trimmed().isEmpty()) {
        if (!isValidEmail(email)) {
            m_firstShowWrongMessage = true;
            m_wrongField->show();
        }
        return;
    }
    m_sending = true;
    updateSendButton();
    showSpinner();
    QPointer<QVMSupportRequestController> self(this);
    m_mailer->send(email, message + informationOfUserWithEmail(email), [self](const platform::Error &error) {
        if (self)
            self->finishSending(error);
    });
}

void QVMSupportRequestController::finishSending(const platform::Error &error) {
    m_sending = false;
    hideSpinner();
    updateSendButton();
    if (error) {
        DevLogger::logError(error, QString::fromLatin1(kErrorMessage));
        QVMUtils::showErrorAlertWithMessage(reasonForError(error));
        return;
    }
    track(kCloseAction, {{QStringLiteral("method"), QStringLiteral("request_sent")}});
    QVMUtils::showAlertWithTitle(loc("_loc_alert_support_success_title"),
                                 loc("_loc_alert_support_success_message"), loc("_loc_button_ok"), {});
    leave(nullptr);
}

void QVMSupportRequestController::onCancel() {
    leave("cancel");
}

void QVMSupportRequestController::close() {
    leave("close");
}

// Every way out, once: the event (when a method is given), the send stopped, the window closed.
void QVMSupportRequestController::leave(const char *method, bool closeWindow) {
    if (m_leaving)
        return;
    m_leaving = true;
    if (method)
        track(kCloseAction, {{QStringLiteral("method"), QString::fromLatin1(method)}});
    if (m_mailer)
        m_mailer->cancel();
    if (m_sending) {
        m_sending = false;
        hideSpinner();
    }
    if (!closeWindow)
        return;
    if (presentingViewController())
        dismissController();
    else if (isViewLoaded())
        view()->window()->close();
}
