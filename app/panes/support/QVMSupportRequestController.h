#pragma once

#include "platform/Error.h"
#include "services/support/QVSupportMailConfiguration.h"
#include "ui/foundation/QVMBaseVC.h"

#include <QPointer>

#include <optional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QVSupportMailer;

// The support request form: the user's reply address, a message, Send and
// Cancel. Send mails the message with a block of application and user
// information to the support mailbox (see QVSupportMailer) and is enabled only
// while the mail configuration exists, the address passes, the message is not
// empty and no send runs. A failure keeps the form and says why; a success
// thanks the user and closes the form. Escape and the window's close button
// cancel, stopping a send that runs.
//
//   auto *form = QVMInterfaceFactory::shared().instantiateController("QVMSupportRequest",
//                                                                    "QVMSupportRequestController", this);
//   showModalViewController(qobject_cast<QVMBaseVC *>(form));
class QVMSupportRequestController : public QVMBaseVC {
    Q_OBJECT
public:
    Q_INVOKABLE explicit QVMSupportRequestController(QObject *parent = nullptr);
    ~QVMSupportRequestController() override;

    void onSend();
    void onCancel();
    // The window's own close button.
    void close();
    void sendEmail();

    static bool isValidEmail(const QString &text);
    // The lines appended to the message, starting with two empty lines.
    static QString informationOfUserWithEmail(const QString &email);
    // What a failed send shows the user.
    static QString reasonForError(const platform::Error &error);
    // The maker's page the form offers when support requests are not set up.
    static QUrl supportPageUrl();

    bool isConfigured() const { return m_configuration.has_value(); }
    bool isSending() const { return m_sending; }
    bool firstShowWrongMessage() const { return m_firstShowWrongMessage; }

    QLineEdit *emailField() const { return m_emailField; }
    QPlainTextEdit *messageView() const { return m_messageView; }
    QPushButton *sendButton() const { return m_sendButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }
    QLabel *wrongField() const { return m_wrongField; }
    QLabel *notSetUpLabel() const { return m_notSetUpLabel; }

    static constexpr const char *kStoryboard = "QVMSupportRequest";
    static constexpr const char *kIdentifier = "QVMSupportRequestController";
    static constexpr const char *kCategory = "Settings screen";
    static constexpr const char *kScreenName = "ScreenSupportRequest";
    static constexpr const char *kShownAction = "Technical Support shown";
    static constexpr const char *kSendAction = "Technical Support - Click Send";
    static constexpr const char *kCloseAction = "Technical Support - Close";
    static constexpr const char *kErrorMessage = "Error sending email";
    static constexpr const char *kSupportPath = "/support";

protected:
    QWidget *loadView() override;
    void viewDidLoad() override;
    void viewDidAppear() override;
    void didChangeColorTheme(bool dark) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void emailEditingFinished();
    void emailTextChanged();
    void updateSendButton();
    void finishSending(const platform::Error &error);
    void leave(const char *method, bool closeWindow = true);
    void track(const char *action, const QVariantMap &params = {});

    std::optional<QVSupportMailConfiguration> m_configuration;
    QPointer<QVSupportMailer> m_mailer;
    bool m_sending = false;
    bool m_leaving = false;
    bool m_firstShowWrongMessage = false;
    QLineEdit *m_emailField = nullptr;
    QPlainTextEdit *m_messageView = nullptr;
    QPushButton *m_sendButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QLabel *m_wrongField = nullptr;
    QLabel *m_notSetUpLabel = nullptr;
    QList<QLabel *> m_captions;
};
