#include "QVMAuthPreviewViewController.h"

#include "QVMErrorLocalization.h"

#include "core/DevLogger.h"
#include "core/localization/DJLocalizationSystem.h"
#include "core/localization/QVLocalizedString.h"
#include "core/settings/QVAuthService.h"
#include "core/settings/QVSettingsService.h"
#include "services/QVAuthRequestManager.h"
#include "services/languages/QVLanguageService.h"
#include "services/network/QVRequestManager.h"
#include "ui/adapters/QVMGeneralServices.h"
#include "ui/foundation/QVMLinkOpener.h"
#include "ui/foundation/QVMUtils.h"
#include "ui/style/QVMColor.h"

#include "platform/BackendConfig.h"
#include "platform/Format.h"

#include <QCheckBox>
#include <QEvent>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextDocumentFragment>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QString loc(const char *key) {
    return QVLocalizedString(QString::fromLatin1(key));
}

QPushButton *makeButton(QWidget *parent, const char *key, bool link = false) {
    auto *button = new QPushButton(loc(key), parent);
    button->setAccessibleName(button->text());
    button->setToolTip(button->text());
    button->setFocusPolicy(Qt::StrongFocus);
    if (link) {
        button->setFlat(true);
        button->setCursor(Qt::PointingHandCursor);
    }
    return button;
}

QLineEdit *makeField(QWidget *parent, const char *key) {
    auto *field = new QLineEdit(parent);
    field->setPlaceholderText(loc(key));
    field->setAccessibleName(field->placeholderText());
    field->setToolTip(field->placeholderText());
    field->setMinimumWidth(260);
    return field;
}

QLabel *makeErrorLabel(QWidget *parent) {
    auto *label = new QLabel(parent);
    label->setWordWrap(true);
    label->hide();
    return label;
}

QWidget *fieldRow(QWidget *parent, QLineEdit *field, QLabel *error) {
    auto *row = new QWidget(parent);
    auto *layout = new QVBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    field->setParent(row);
    error->setParent(row);
    layout->addWidget(field);
    layout->addWidget(error);
    return row;
}

} // namespace

QVMAuthPreviewViewController::QVMAuthPreviewViewController(QObject *parent) : QVMBaseVC(parent) {}

QVMAuthPreviewViewController::~QVMAuthPreviewViewController() {
    for (platform::NotificationCenter::Token token : std::as_const(m_observers))
        platform::NotificationCenter::defaultCenter().removeObserver(token);
}

void QVMAuthPreviewViewController::track(const QString &action, const QVariantMap &params) {
    QVMGeneralServices::shared().analytics().trackEvent(QString::fromLatin1(kCategory), action, params);
}

QWidget *QVMAuthPreviewViewController::loadView() {
    auto *view = new QWidget;
    auto *layout = new QVBoxLayout(view);
    layout->setContentsMargins(48, 16, 48, 16);
    layout->setSpacing(10);

    m_usernameLabel = new QLabel(view);
    m_usernameLabel->setAlignment(Qt::AlignCenter);
    QFont heading = m_usernameLabel->font();
    heading.setPointSizeF(heading.pointSizeF() * 1.4);
    heading.setBold(true);
    m_usernameLabel->setFont(heading);
    layout->addWidget(m_usernameLabel);

    m_usernameField = makeField(view, "_loc_settings_username");
    m_emailField = makeField(view, "_loc_settings_email");
    m_passwordField = makeField(view, "_loc_settings_password");
    m_passwordField->setEchoMode(QLineEdit::Password);
    m_usernameError = makeErrorLabel(view);
    m_emailError = makeErrorLabel(view);
    m_passwordError = makeErrorLabel(view);
    m_usernameView = fieldRow(view, m_usernameField, m_usernameError);
    m_emailView = fieldRow(view, m_emailField, m_emailError);
    m_passwordView = fieldRow(view, m_passwordField, m_passwordError);
    layout->addWidget(m_usernameView);
    layout->addWidget(m_emailView);
    layout->addWidget(m_passwordView);

    m_signInBox = new QWidget(view);
    auto *signInRow = new QHBoxLayout(m_signInBox);
    signInRow->setContentsMargins(0, 8, 0, 0);
    m_signInButton = makeButton(m_signInBox, "_loc_settings_sign_in");
    m_signInButton->setDefault(true);
    m_createAccountButton = makeButton(m_signInBox, "_loc_settings_create_account", true);
    signInRow->addWidget(m_signInButton);
    signInRow->addWidget(m_createAccountButton);
    layout->addWidget(m_signInBox);

    m_signUpBox = new QWidget(view);
    auto *signUpRow = new QHBoxLayout(m_signUpBox);
    signUpRow->setContentsMargins(0, 8, 0, 0);
    m_signUpButton = makeButton(m_signUpBox, "_loc_settings_create_account");
    m_haveAccountButton = makeButton(m_signUpBox, "_loc_settings_have_account", true);
    signUpRow->addWidget(m_signUpButton);
    signUpRow->addWidget(m_haveAccountButton);
    layout->addWidget(m_signUpBox);

    m_recoverButton = makeButton(view, "_loc_settings_forgot_password", true);
    layout->addWidget(m_recoverButton, 0, Qt::AlignHCenter);

    m_devicesView = new QWidget(view);
    auto *devices = new QVBoxLayout(m_devicesView);
    devices->setContentsMargins(0, 0, 0, 0);
    m_newsCheckBox = new QCheckBox(loc("_loc_settings_news"), m_devicesView);
    m_newsCheckBox->setAccessibleName(m_newsCheckBox->text());
    m_newsCheckBox->setToolTip(m_newsCheckBox->text());
    m_allDevicesButton = makeButton(m_devicesView, "_loc_settings_all_devices", true);
    m_logoutButton = makeButton(m_devicesView, "_loc_settings_sign_out");
    devices->addWidget(m_newsCheckBox, 0, Qt::AlignHCenter);
    devices->addWidget(m_allDevicesButton, 0, Qt::AlignHCenter);
    devices->addWidget(m_logoutButton, 0, Qt::AlignHCenter);
    layout->addWidget(m_devicesView);

    m_termsLabel = new QLabel(view);
    m_termsLabel->setAlignment(Qt::AlignCenter);
    m_termsLabel->setWordWrap(true);
    m_termsLabel->setTextFormat(Qt::RichText);
    m_termsLabel->setOpenExternalLinks(false);
    m_termsLabel->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    m_termsLabel->setFocusPolicy(Qt::StrongFocus);
    layout->addWidget(m_termsLabel);
    layout->addStretch(1);

    connect(m_signInButton, &QPushButton::clicked, this, &QVMAuthPreviewViewController::onSignIn);
    connect(m_signUpButton, &QPushButton::clicked, this, &QVMAuthPreviewViewController::onSignUp);
    connect(m_createAccountButton, &QPushButton::clicked, this,
            &QVMAuthPreviewViewController::switchToSignUp);
    connect(m_haveAccountButton, &QPushButton::clicked, this, &QVMAuthPreviewViewController::switchToSignIn);
    connect(m_logoutButton, &QPushButton::clicked, this, &QVMAuthPreviewViewController::onLogout);
    connect(m_recoverButton, &QPushButton::clicked, this, &QVMAuthPreviewViewController::onRestore);
    connect(m_allDevicesButton, &QPushButton::clicked, this,
            &QVMAuthPreviewViewController::allDevicesLinkClicked);
    connect(m_newsCheckBox, &QCheckBox::clicked, this, &QVMAuthPreviewViewController::onNewsToggled);
    connect(m_termsLabel, &QLabel::linkActivated, this, &QVMAuthPreviewViewController::termsLinkActivated);
    for (QLineEdit *field : {m_usernameField, m_emailField, m_passwordField})
        connect(field, &QLineEdit::returnPressed, this,
                [this] { m_face == Face::SignUp ? onSignUp() : onSignIn(); });
    return view;
}

void QVMAuthPreviewViewController::viewDidLoad() {
    updateUI();
    QPointer<QVMAuthPreviewViewController> self(this);
    m_observers.append(platform::NotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(QVAuthRequestManager::kUserDidChangedNotification), [self](const QVariantMap &) {
            if (self)
                self->getUserProfile();
        }));
    getUserProfile();
    configureShadow(m_signInButton);
    configureShadow(m_signUpButton);
    paintForPalette();
    view()->installEventFilter(this);
    observeThemeColor();
    m_observers.append(platform::NotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(kRegistrationOfferAction), [self](const QVariantMap &) {
            if (self)
                self->showSignUpUI();
        }));
}

// The scheme's signal may come before the palette follows it: the colours are
// taken again once the palette has changed.
void QVMAuthPreviewViewController::didChangeColorTheme(bool) {
    paintForPalette();
}

// The messages in the brand pink, shaded until they read at 4.5:1 on the window.
void QVMAuthPreviewViewController::paintForPalette() {
    configureAcceptTermsLabel();
    const QColor window = view()->palette().color(QPalette::Window);
    const QColor ink = QVMColor::readableOn(QVMColor::customPinkColor(), window);
    for (QLabel *error : {m_usernameError, m_emailError, m_passwordError}) {
        QPalette colours = error->palette();
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            colours.setColor(group, QPalette::WindowText, ink);
        error->setPalette(colours);
    }
}

bool QVMAuthPreviewViewController::eventFilter(QObject *watched, QEvent *event) {
    if (isViewLoaded() && watched == view() && event->type() == QEvent::PaletteChange)
        paintForPalette();
    return QVMBaseVC::eventFilter(watched, event);
}

void QVMAuthPreviewViewController::configureShadow(QWidget *view) {
    auto *shadow = new QGraphicsDropShadowEffect(view);
    QColor colour = QVMColor::colorWithHexColorString(QStringLiteral("52ED486A"));
    colour.setAlphaF(0.2f);
    shadow->setColor(colour);
    shadow->setBlurRadius(10.0);
    shadow->setOffset(0, 10);
    view->setGraphicsEffect(shadow);
}

bool QVMAuthPreviewViewController::isWebAddress(const QString &address) {
    const QUrl url(address, QUrl::StrictMode);
    return !address.trimmed().isEmpty() && url.isValid() && !url.host().isEmpty() &&
           (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

QString QVMAuthPreviewViewController::acceptTermsText(const QString &termsUrl, const QString &privacyUrl,
                                                      const QColor &linkColour) {
    const QString terms = loc("_loc_about_terms_and_conditions");
    const QString privacy = loc("_loc_about_privacy_policy");
    QString line =
        platform::format(loc("_loc_auth_accepting_terms_and_policy"), terms, privacy).toHtmlEscaped();
    // The first occurrence of each title; the later one first, so positions stay valid.
    struct Link {
        QString title, url;
        qsizetype at;
    };
    QList<Link> links;
    for (const auto &[title, url] : {std::pair{terms, termsUrl}, std::pair{privacy, privacyUrl}}) {
        const QString escaped = title.toHtmlEscaped();
        const qsizetype at = line.indexOf(escaped);
        if (at >= 0 && isWebAddress(url))
            links.append({escaped, url, at});
    }
    std::sort(links.begin(), links.end(), [](const Link &a, const Link &b) { return a.at > b.at; });
    for (const Link &link : std::as_const(links))
        line.replace(link.at, link.title.size(),
                     QStringLiteral("<a href=\"%1\" style=\"color:%2;\">%3</a>")
                         .arg(link.url.toHtmlEscaped(), linkColour.name(), link.title));
    return line;
}

void QVMAuthPreviewViewController::configureAcceptTermsLabel() {
    const QVRemoteSettings remote = QVSettingsService::defaultSettings().remoteSettings();
    m_termsLabel->setText(acceptTermsText(
        remote.termsUrl(), remote.privacyUrl(),
        QVMColor::readableOn(QVMColor::customPinkColor(), view()->palette().color(QPalette::Window))));
    m_termsLabel->setAccessibleName(QTextDocumentFragment::fromHtml(m_termsLabel->text()).toPlainText());
    m_termsLabel->setToolTip(m_termsLabel->accessibleName());
}

void QVMAuthPreviewViewController::termsLinkActivated(const QString &link) {
    const QVRemoteSettings remote = QVSettingsService::defaultSettings().remoteSettings();
    if (isWebAddress(remote.termsUrl()) && link == remote.termsUrl())
        track(faceAction("Account - Creating account - Click Terms and Conditions",
                         "Account - Quorvalde account - Click Terms and Conditions"));
    else if (isWebAddress(remote.privacyUrl()) && link == remote.privacyUrl())
        track(faceAction("Account - Creating account - Click Private Policy",
                         "Account - Quorvalde account - Click Private Policy"));
    if (isWebAddress(link))
        openURL(QUrl(link));
}

QString QVMAuthPreviewViewController::faceAction(const char *signUpAction, const char *signInAction) const {
    return QString::fromLatin1(m_face == Face::SignIn ? signInAction : signUpAction);
}

void QVMAuthPreviewViewController::openURL(const QUrl &url) {
    if (url.isValid())
        QVMLinkOpener::open(url);
}

void QVMAuthPreviewViewController::updateUI() {
    if (QVAuthService::authToken().isEmpty())
        showSignInUI();
    else
        showLogoutUI();
}

void QVMAuthPreviewViewController::showSignInUI() {
    m_face = Face::SignIn;
    applyFace();
}

void QVMAuthPreviewViewController::showSignUpUI() {
    m_face = Face::SignUp;
    applyFace();
}

void QVMAuthPreviewViewController::showLogoutUI() {
    m_face = Face::SignedIn;
    applyFace();
}

void QVMAuthPreviewViewController::applyFace() {
    if (!isViewLoaded())
        view();
    const bool signIn = m_face == Face::SignIn;
    const bool signUp = m_face == Face::SignUp;
    const bool signedIn = m_face == Face::SignedIn;
    m_usernameView->setVisible(signUp);
    m_emailView->setVisible(!signedIn);
    m_passwordView->setVisible(!signedIn);
    m_signInBox->setVisible(signIn);
    m_signUpBox->setVisible(signUp);
    m_recoverButton->setVisible(signIn);
    m_termsLabel->setVisible(!signedIn);
    m_devicesView->setVisible(signedIn);
    for (QLabel *error : {m_usernameError, m_emailError, m_passwordError})
        error->hide();
    if (signIn) {
        m_usernameLabel->setText(loc("_loc_quorvalde_account"));
    } else if (signUp) {
        m_usernameLabel->setText(loc("_loc_creating_account"));
    } else {
        const QString name = QVAuthService::userName();
        m_usernameLabel->setText(name.isEmpty() ? loc("_loc_settings_signUp") : name);
        const QSignalBlocker quiet(m_newsCheckBox);
        m_newsCheckBox->setChecked(QVAuthService::authProfile().isSubscribedToNews());
    }
    m_usernameLabel->setAccessibleName(m_usernameLabel->text());
}

bool QVMAuthPreviewViewController::isDataValid() {
    const auto check = [](QLabel *error, bool ok, const char *key) {
        error->setText(ok ? QString() : loc(key));
        error->setVisible(!ok);
        return ok;
    };
    bool valid = true;
    // The name counts only where it is asked for.
    if (m_face == Face::SignUp)
        valid &=
            check(m_usernameError, !m_usernameField->text().trimmed().isEmpty(), "_loc_settings_empty_name");
    valid &=
        check(m_emailError, QVMUtils::validateEmail(m_emailField->text()), "_loc_settings_invalid_email");
    valid &= check(m_passwordError, m_passwordField->text().size() >= kMinimumPasswordLength,
                   "_loc_settings_short_password");
    return valid;
}

void QVMAuthPreviewViewController::setBusy(bool busy) {
    m_busy += busy ? 1 : -1;
    const bool disabled = m_busy > 0;
    const QList<QAbstractButton *> buttons{m_signInButton,      m_createAccountButton, m_signUpButton,
                                           m_haveAccountButton, m_logoutButton,        m_recoverButton,
                                           m_allDevicesButton,  m_newsCheckBox};
    for (QAbstractButton *button : buttons) {
        if (disabled && button->isEnabled())
            button->setProperty("idleToolTip", button->toolTip());
        button->setEnabled(!disabled);
        button->setToolTip(disabled ? loc("_loc_loading") : button->property("idleToolTip").toString());
    }
    if (disabled)
        showSpinner();
    else
        hideSpinner();
}

void QVMAuthPreviewViewController::showFailure(const platform::Error &error, int type, const char *operation,
                                               const char *action) {
    QVMUtils::showErrorAlertWithMessage(QVMErrorLocalization::localizedDescriptionWithType(error, type));
    if (!error.isNull())
        DevLogger::logError(error, QString::fromLatin1(operation));
    if (action)
        track(QString::fromLatin1(action),
              {{QStringLiteral("error"), error.isNull() ? QString() : error.localizedDescription()}});
}

void QVMAuthPreviewViewController::onSignIn() {
    if (isBusy())
        return;
    track(QStringLiteral("Account - Quorvalde account - Click Login button"));
    login();
}

void QVMAuthPreviewViewController::login() {
    if (!isDataValid()) {
        track(QStringLiteral("Account - Quorvalde account - Error Alert"));
        return;
    }
    setBusy(true);
    QPointer<QVMAuthPreviewViewController> self(this);
    QVAuthRequestManager::loginWithEmail(
        m_emailField->text(), m_passwordField->text(), DJLocalizationSystem::shared().language(),
        [self](const QVariant &) {
            if (!self)
                return;
            self->setBusy(false);
            self->updateUI();
            QVTranslateSettings::updateShowRegistrationOfferFlag();
            track(QStringLiteral("Signin"), {{QStringLiteral("type"), QStringLiteral("email")}});
        },
        [self](const platform::Error &error) {
            if (!self)
                return;
            self->setBusy(false);
            self->showFailure(error, QVMErrorLocalization::SignIn, "login",
                              "Account - Quorvalde account - Error Alert");
        });
}

void QVMAuthPreviewViewController::onSignUp() {
    if (isBusy())
        return;
    track(QStringLiteral("Account - Click Create account button"));
    registerUser();
}

void QVMAuthPreviewViewController::registerUser() {
    if (!isDataValid())
        return;
    setBusy(true);
    const QString code = DJLocalizationSystem::shared().language();
    const QVLanguageRealm language = QVLanguageService::languageForLanguageString(code);
    const QString locale = language.isValid() ? language.localeIdentifier() : code;
    QPointer<QVMAuthPreviewViewController> self(this);
    QVAuthRequestManager::registerUserWithName(
        m_usernameField->text(), m_emailField->text(), m_passwordField->text(), QString(), QString(), locale,
        [self](const QVariant &) {
            if (!self)
                return;
            self->setBusy(false);
            self->updateUI();
            track(QStringLiteral("Signup"), {{QStringLiteral("type"), QStringLiteral("email")}});
        },
        [self](const platform::Error &error) {
            if (!self)
                return;
            self->setBusy(false);
            self->showFailure(error, QVMErrorLocalization::SignUp, "registerUser",
                              "Account - Creating account - Error Alert");
        });
}

void QVMAuthPreviewViewController::onLogout() {
    if (isBusy())
        return;
    track(QStringLiteral("Account - Quorvalde account - Click Logout button"));
    logout();
}

void QVMAuthPreviewViewController::logout() {
    setBusy(true);
    QPointer<QVMAuthPreviewViewController> self(this);
    QVAuthRequestManager::logoutSuccess(
        [self] {
            if (!self)
                return;
            self->setBusy(false);
            self->updateUI();
            track(QStringLiteral("Logout"), {{QStringLiteral("type"), QStringLiteral("email")}});
        },
        [self](const platform::Error &error) {
            if (!self)
                return;
            self->setBusy(false);
            self->showFailure(error, QVMErrorLocalization::Other, "logout", nullptr);
        });
}

void QVMAuthPreviewViewController::getUserProfile() {
    if (QVAuthService::authProfile().isNull())
        return;
    setBusy(true);
    QPointer<QVMAuthPreviewViewController> self(this);
    QVAuthRequestManager::getUserSuccess(
        [self](const QVariant &) {
            if (!self)
                return;
            self->setBusy(false);
            self->updateUI();
        },
        [self](const platform::Error &error) {
            if (!self)
                return;
            self->setBusy(false);
            if (!error.isNull())
                DevLogger::logError(error, QStringLiteral("getUserProfile"));
        });
}

void QVMAuthPreviewViewController::onRestore() {
    track(faceAction("Account - Creating account - Restore Password",
                     "Account - Quorvalde account - Click Restore password"));
    QUrl url = platform::BackendConfig::makerDomain();
    url.setScheme(QStringLiteral("https"));
    url.setPath(QString::fromLatin1(kForgotPasswordPath));
    openURL(url);
}

void QVMAuthPreviewViewController::switchToSignIn() {
    track(QStringLiteral("Account - Quorvalde account"));
    showSignInUI();
}

void QVMAuthPreviewViewController::switchToSignUp() {
    track(QStringLiteral("Account - Quorvalde account - Click Signup"));
    showSignUpUI();
}

void QVMAuthPreviewViewController::allDevicesLinkClicked() {
    track(QStringLiteral("Account - Click Download All"));
    const QString address = QVSettingsService::defaultSettings().remoteSettings().moreAppsURL();
    if (isWebAddress(address))
        openURL(QUrl(address));
}

void QVMAuthPreviewViewController::onNewsToggled(bool subscribe) {
    const QString email = QVAuthService::userEmail();
    // The box shows the stored flag until the server has answered.
    {
        const QSignalBlocker quiet(m_newsCheckBox);
        m_newsCheckBox->setChecked(!subscribe);
    }
    if (email.isEmpty() || isBusy())
        return;
    setBusy(true);
    QPointer<QVMAuthPreviewViewController> self(this);
    QVRequestManager::instance().subscribeUserWithEmail(
        email, subscribe ? 2 : 1,
        [self](const QVariant &) {
            if (!self)
                return;
            self->setBusy(false);
            const QSignalBlocker quiet(self->m_newsCheckBox);
            self->m_newsCheckBox->setChecked(QVAuthService::authProfile().isSubscribedToNews());
        },
        [self](const platform::Error &error) {
            if (!self)
                return;
            self->setBusy(false);
            self->showFailure(error, QVMErrorLocalization::Other, "subscribeUserWithEmail", nullptr);
        });
}
