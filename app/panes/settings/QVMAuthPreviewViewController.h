#pragma once

#include "platform/Error.h"
#include "platform/NotificationCenter.h"
#include "ui/foundation/QVMBaseVC.h"

#include <QList>

class QAbstractButton;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// The settings window's Account tab: sign in, create an account, sign out.
// Which face shows is kept in face(); the stored token decides it after every
// request, the sign-up face comes only by the user's switch or the
// registration offer. While a request runs every button is disabled and the
// spinner shows; a form that does not pass shows its message under the field
// and sends nothing.
class QVMAuthPreviewViewController : public QVMBaseVC {
    Q_OBJECT
public:
    enum class Face { SignIn, SignUp, SignedIn };

    Q_INVOKABLE explicit QVMAuthPreviewViewController(QObject *parent = nullptr);
    ~QVMAuthPreviewViewController() override;

    Face face() const { return m_face; }
    bool isBusy() const { return m_busy > 0; }

    void onSignIn();
    void onSignUp();
    void onLogout();
    void onRestore();
    void switchToSignIn();
    void switchToSignUp();
    void allDevicesLinkClicked();
    void onNewsToggled(bool subscribe);
    // A click on a link of the acceptance line.
    void termsLinkActivated(const QString &link);

    // The form's check, with the message under each field that fails.
    bool isDataValid();
    void updateUI();
    void getUserProfile();

    QLabel *usernameLabel() const { return m_usernameLabel; }
    QLineEdit *usernameTextField() const { return m_usernameField; }
    QLineEdit *emailTextField() const { return m_emailField; }
    QLineEdit *passwordTextField() const { return m_passwordField; }
    QLabel *usernameError() const { return m_usernameError; }
    QLabel *emailError() const { return m_emailError; }
    QLabel *passwordError() const { return m_passwordError; }
    QPushButton *signInButton() const { return m_signInButton; }
    QPushButton *signUpButton() const { return m_signUpButton; }
    QPushButton *createAccountButton() const { return m_createAccountButton; }
    QPushButton *haveAccountButton() const { return m_haveAccountButton; }
    QPushButton *logoutButton() const { return m_logoutButton; }
    QPushButton *recoverButton() const { return m_recoverButton; }
    QPushButton *allDevicesButton() const { return m_allDevicesButton; }
    QCheckBox *newsCheckBox() const { return m_newsCheckBox; }
    QLabel *termsLabel() const { return m_termsLabel; }
    QWidget *usernameView() const { return m_usernameView; }

    // The acceptance line as rich text: a title becomes a link only to an http(s) address.
    static QString acceptTermsText(const QString &termsUrl, const QString &privacyUrl,
                                   const QColor &linkColour);
    static bool isWebAddress(const QString &address);

    static constexpr const char *kCategory = "Settings screen";
    static constexpr const char *kRegistrationOfferAction = "kRegistrationOfferAction";
    static constexpr const char *kForgotPasswordPath = "/quorvaldeBillingCP/auth/forgot-password";
    static constexpr int kMinimumPasswordLength = 5;

protected:
    QWidget *loadView() override;
    void viewDidLoad() override;
    void didChangeColorTheme(bool dark) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void paintForPalette();
    void login();
    void registerUser();
    void logout();
    void showSignInUI();
    void showSignUpUI();
    void showLogoutUI();
    void applyFace();
    void configureAcceptTermsLabel();
    void configureShadow(QWidget *view);
    void setBusy(bool busy);
    void showFailure(const platform::Error &error, int type, const char *operation, const char *action);
    void openURL(const QUrl &url);
    QString faceAction(const char *signUpAction, const char *signInAction) const;
    static void track(const QString &action, const QVariantMap &params = {});

    Face m_face = Face::SignIn;
    int m_busy = 0;
    QLabel *m_usernameLabel = nullptr;
    QWidget *m_usernameView = nullptr;
    QWidget *m_emailView = nullptr;
    QWidget *m_passwordView = nullptr;
    QLineEdit *m_usernameField = nullptr;
    QLineEdit *m_emailField = nullptr;
    QLineEdit *m_passwordField = nullptr;
    QLabel *m_usernameError = nullptr;
    QLabel *m_emailError = nullptr;
    QLabel *m_passwordError = nullptr;
    QWidget *m_signInBox = nullptr;
    QWidget *m_signUpBox = nullptr;
    QPushButton *m_signInButton = nullptr;
    QPushButton *m_createAccountButton = nullptr;
    QPushButton *m_signUpButton = nullptr;
    QPushButton *m_haveAccountButton = nullptr;
    QPushButton *m_logoutButton = nullptr;
    QPushButton *m_recoverButton = nullptr;
    QPushButton *m_allDevicesButton = nullptr;
    QCheckBox *m_newsCheckBox = nullptr;
    QLabel *m_termsLabel = nullptr;
    QWidget *m_devicesView = nullptr;
    QList<platform::NotificationCenter::Token> m_observers;
};
