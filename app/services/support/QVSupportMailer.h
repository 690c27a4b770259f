#pragma once

#include "services/support/QVSupportMailConfiguration.h"

#include "platform/Error.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

// Mails one support request over SMTP through libcurl, in the mail module loaded with the
// first send (QVSupportMailModule.h; without it the send fails, CannotConnect): TLS from the start
// (smtps, the peer verified), SASL PLAIN, from the support mailbox to itself
// with the user's address in Reply-To. The send runs on a worker thread with a
// time limit; the completion runs once on the main thread, unless cancel() or
// the mailer's deletion came first. One send at a time.
//
//   auto *mailer = new QVSupportMailer(*QVSupportMailConfiguration::load(), this);
//   mailer->send("user@example.org", body, [](const platform::Error &error) {
//       if (error.code() == QVSupportMailer::AuthenticationRefused) ...
//   });
//   mailer->cancel(); // the form closed: the worker stops, nothing is called
class QVSupportMailer : public QObject {
    Q_OBJECT
public:
    using Completion = std::function<void(const platform::Error &error)>;

    static constexpr const char *kErrorDomain = "QVSupportMailer";
    enum ErrorCode {
        InvalidAddress = 1, // refused before any connection
        CannotConnect = 2,  // no answer, no secure connection, or the connection dropped
        AuthenticationRefused = 3,
        TimedOut = 4,
        Refused = 5, // the server refused the sender, the recipient or the message
        Busy = 6,    // a send is already running
    };
    static constexpr const char *kSubject = "macOS Feedback";
    static constexpr std::chrono::milliseconds kTimeLimit{30000};

    explicit QVSupportMailer(QVSupportMailConfiguration configuration, QObject *parent = nullptr);
    ~QVSupportMailer() override;

    void send(const QString &replyTo, const QString &body, Completion completion);
    void cancel();
    bool isSending() const { return bool(m_job); }
    // For the whole send, connection included.
    void setTimeLimit(std::chrono::milliseconds limit) { m_timeLimit = limit; }

    // The message before dot-stuffing: headers naming only the mailbox and
    // replyTo, then the body as UTF-8 quoted-printable, every line break CRLF.
    static QByteArray messageData(const QString &mailbox, const QString &replyTo, const QString &body,
                                  const QDateTime &date);

    static bool isModuleLoaded();

    struct Job;

private:
    QVSupportMailConfiguration m_configuration;
    std::chrono::milliseconds m_timeLimit = kTimeLimit;
    std::shared_ptr<Job> m_job;
    Completion m_completion;
};
