#include "QVSupportMailer.h"
#include "QVSupportMailModule.h"

#include "core/DevLog.h"
#include "platform/OnDemandLibrary.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>
#include <QUrl>
#include <QUuid>

#include <atomic>
#include <mutex>

struct QVSupportMailer::Job {
    std::atomic<bool> cancelled{false};
};

namespace {

platform::OnDemandLibrary &library() {
    static platform::OnDemandLibrary mail("libqvmail.so", "QV_MAIL_MODULE",
                                          QStringLiteral(QV_MAIL_MODULE_PATH));
    return mail;
}

platform::Error failure(QVSupportMailer::ErrorCode code, const QString &description) {
    return platform::Error(QString::fromLatin1(QVSupportMailer::kErrorDomain), code, description);
}

// The module's send, loaded with the first message; null with *error saying why.
QVSupportMailModule::SendFunction sendFunction(QString *error) {
    const auto start = reinterpret_cast<QVSupportMailModule::StartFunction>(
        library().symbol(QVSupportMailModule::kStartSymbol));
    const auto send = reinterpret_cast<QVSupportMailModule::SendFunction>(
        library().symbol(QVSupportMailModule::kSendSymbol));
    if (!start || !send) {
        *error = library().error();
        return nullptr;
    }
    // Not safe to race with another thread's first handle: done once, here, on the main thread.
    static std::once_flag once;
    std::call_once(once, start);
    return send;
}

// Every line break as CRLF, so that libcurl's dot-stuffing (which looks for
// CRLF ".") sees each line, and lines within the 76 characters of the encoding.
QByteArray quotedPrintable(const QString &text) {
    QString normalised = text;
    normalised.replace(QLatin1String("\r\n"), QLatin1String("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QByteArray out;
    const QList<QByteArray> lines = normalised.toUtf8().split('\n');
    for (qsizetype index = 0; index < lines.size(); ++index) {
        const QByteArray &line = lines.at(index);
        QByteArray encoded;
        int column = 0;
        for (qsizetype at = 0; at < line.size(); ++at) {
            const auto byte = uchar(line.at(at));
            const bool last = at == line.size() - 1;
            const bool literal =
                (byte >= 33 && byte <= 126 && byte != '=') || ((byte == ' ' || byte == '\t') && !last);
            const QByteArray piece =
                literal ? QByteArray(1, char(byte))
                        : QByteArray("=") + QByteArray::number(byte, 16).toUpper().rightJustified(2, '0');
            if (column + piece.size() > 75) {
                encoded += "=\r\n";
                column = 0;
            }
            encoded += piece;
            column += int(piece.size());
        }
        out += encoded;
        if (index + 1 < lines.size())
            out += "\r\n";
    }
    return out;
}

} // namespace

QVSupportMailer::QVSupportMailer(QVSupportMailConfiguration configuration, QObject *parent)
    : QObject(parent), m_configuration(std::move(configuration)) {}

QVSupportMailer::~QVSupportMailer() {
    cancel();
}

QByteArray QVSupportMailer::messageData(const QString &mailbox, const QString &replyTo, const QString &body,
                                        const QDateTime &date) {
    const QString domain = mailbox.section(QLatin1Char('@'), 1);
    QByteArray data;
    data += "From: " + mailbox.toUtf8() + "\r\n";
    data += "To: " + mailbox.toUtf8() + "\r\n";
    data += "Reply-To: " + replyTo.toUtf8() + "\r\n";
    data += QByteArray("Subject: ") + kSubject + "\r\n";
    data += "Date: " + date.toUTC().toString(Qt::RFC2822Date).toLatin1() + "\r\n";
    data += "Message-ID: <" + QUuid::createUuid().toString(QUuid::WithoutBraces).toLatin1() + "@" +
            domain.toUtf8() + ">\r\n";
    data += "MIME-Version: 1.0\r\n";
    data += "Content-Type: text/plain; charset=UTF-8\r\n";
    data += "Content-Transfer-Encoding: quoted-printable\r\n";
    data += "\r\n";
    data += quotedPrintable(body);
    return data;
}

void QVSupportMailer::send(const QString &replyTo, const QString &body, Completion completion) {
    if (m_job) {
        completion(failure(Busy, QStringLiteral("A support request is already being sent")));
        return;
    }
    if (!QVSupportMailConfiguration::isMailbox(replyTo)) {
        completion(failure(InvalidAddress, QStringLiteral("The reply address is not a mail address")));
        return;
    }
    QString unavailable;
    const QVSupportMailModule::SendFunction perform = sendFunction(&unavailable);
    if (!perform) {
        DevLog(QStringLiteral("[support] cannot send: %@"), unavailable);
        completion(failure(CannotConnect, unavailable));
        return;
    }
    QVSupportMailRequest request;
    request.url = m_configuration.url.toUtf8();
    request.user = m_configuration.user.toUtf8();
    request.password = m_configuration.password.toUtf8();
    request.from = "<" + m_configuration.mailbox.toUtf8() + ">";
    request.data = messageData(m_configuration.mailbox, replyTo, body, QDateTime::currentDateTimeUtc());
    request.timeLimitMs = long(m_timeLimit.count());
    request.local = QVSupportMailConfiguration::isLoopback(QUrl(m_configuration.url).host());

    auto job = std::make_shared<Job>();
    m_job = job;
    m_completion = std::move(completion);
    QPointer<QVSupportMailer> self(this);
    QThreadPool::globalInstance()->start([perform, request, job, self] {
        QString description;
        const int code = perform(request, job->cancelled, &description);
        const platform::Error error = code ? failure(ErrorCode(code), description) : platform::Error();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, job, error] {
                if (!self || self->m_job != job)
                    return; // cancelled, or the mailer is gone
                self->m_job.reset();
                const Completion done = std::move(self->m_completion);
                self->m_completion = nullptr;
                done(error);
            },
            Qt::QueuedConnection);
    });
}

bool QVSupportMailer::isModuleLoaded() {
    return library().isLoaded();
}

void QVSupportMailer::cancel() {
    if (m_job)
        m_job->cancelled = true;
    m_job.reset();
    m_completion = nullptr;
}
