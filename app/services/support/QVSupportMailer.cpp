#include "QVSupportMailer.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>
#include <QUrl>
#include <QUuid>

#include <curl/curl.h>

#include <atomic>
#include <cstring>
#include <mutex>

struct QVSupportMailer::Job {
    std::atomic<bool> cancelled{false};
};

namespace {

struct Request {
    QByteArray url, user, password, from, data;
    long timeLimitMs = 0;
    bool local = false; // the server is this computer
};

struct Upload {
    const QByteArray *data;
    qsizetype offset = 0;
};

size_t readUpload(char *buffer, size_t size, size_t count, void *userData) {
    auto *upload = static_cast<Upload *>(userData);
    const size_t left = size_t(upload->data->size() - upload->offset);
    const size_t length = std::min(left, size * count);
    std::memcpy(buffer, upload->data->constData() + upload->offset, length);
    upload->offset += qsizetype(length);
    return length;
}

int checkCancelled(void *userData, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<QVSupportMailer::Job *>(userData)->cancelled.load() ? 1 : 0;
}

QVSupportMailer::ErrorCode codeFor(CURLcode code) {
    switch (code) {
    case CURLE_LOGIN_DENIED:
        return QVSupportMailer::AuthenticationRefused;
    case CURLE_OPERATION_TIMEDOUT:
        return QVSupportMailer::TimedOut;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY:
        return QVSupportMailer::CannotConnect;
    default:
        return QVSupportMailer::Refused;
    }
}

platform::Error failure(QVSupportMailer::ErrorCode code, const QString &description) {
    return platform::Error(QString::fromLatin1(QVSupportMailer::kErrorDomain), code, description);
}

platform::Error perform(const Request &request, QVSupportMailer::Job *job) {
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
    if (!curl)
        return failure(QVSupportMailer::CannotConnect, QStringLiteral("libcurl could not start"));
    curl_slist *recipients = curl_slist_append(nullptr, request.from.constData());
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> recipientList(recipients,
                                                                              &curl_slist_free_all);
    Upload upload{&request.data};
    char errorText[CURL_ERROR_SIZE] = {};
    CURL *handle = curl.get();
    curl_easy_setopt(handle, CURLOPT_URL, request.url.constData());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    // Plain SMTP is allowed only to this computer, and a proxy would carry the password in
    // clear: never one there. Elsewhere the environment's proxy may relay the TLS stream.
    if (request.local)
        curl_easy_setopt(handle, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(handle, CURLOPT_USERNAME, request.user.constData());
    curl_easy_setopt(handle, CURLOPT_PASSWORD, request.password.constData());
    curl_easy_setopt(handle, CURLOPT_LOGIN_OPTIONS, "AUTH=PLAIN");
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(handle, CURLOPT_MAIL_FROM, request.from.constData());
    curl_easy_setopt(handle, CURLOPT_MAIL_RCPT, recipients);
    curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(handle, CURLOPT_READFUNCTION, readUpload);
    curl_easy_setopt(handle, CURLOPT_READDATA, &upload);
    curl_easy_setopt(handle, CURLOPT_INFILESIZE_LARGE, curl_off_t(request.data.size()));
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, request.timeLimitMs);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, request.timeLimitMs);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, checkCancelled);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, job);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorText);
    const CURLcode result = curl_easy_perform(handle);
    if (result == CURLE_OK)
        return {};
    const QString description = QString::fromUtf8(*errorText ? errorText : curl_easy_strerror(result));
    return failure(codeFor(result), description);
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
    : QObject(parent), m_configuration(std::move(configuration)) {
    // Not safe to race with another thread's first handle: done once, here, on the main thread.
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

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
    Request request;
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
    QThreadPool::globalInstance()->start([request, job, self] {
        const platform::Error error = perform(request, job.get());
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

void QVSupportMailer::cancel() {
    if (m_job)
        m_job->cancelled = true;
    m_job.reset();
    m_completion = nullptr;
}
