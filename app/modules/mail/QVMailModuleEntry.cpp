// The mail module's entry points (see services/support/QVSupportMailModule.h): the only code
// that links libcurl.
#include "services/support/QVSupportMailModule.h"
#include "services/support/QVSupportMailer.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

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
    return static_cast<const std::atomic<bool> *>(userData)->load() ? 1 : 0;
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

} // namespace

// Not safe to race with another thread's first handle: the mailer calls it once, on the main thread.
extern "C" Q_DECL_EXPORT void qvMailModuleStart() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
}

extern "C" Q_DECL_EXPORT int qvMailModuleSend(const QVSupportMailRequest &request,
                                              const std::atomic<bool> &cancelled, QString *description) {
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
    if (!curl) {
        *description = QStringLiteral("libcurl could not start");
        return QVSupportMailer::CannotConnect;
    }
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
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &cancelled);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorText);
    const CURLcode result = curl_easy_perform(handle);
    if (result == CURLE_OK)
        return 0;
    *description = QString::fromUtf8(*errorText ? errorText : curl_easy_strerror(result));
    return codeFor(result);
}
