#include "services/analytics/QVAnalyticsUploader.h"

#include "platform/BackendNetworkAccess.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

constexpr int kTransferTimeoutMs = 30000;

} // namespace

QVAnalyticsUploader::QVAnalyticsUploader(Endpoint endpoint, BodyBuilder body, int intervalMs, QObject *parent)
    : QObject(parent), m_endpoint(std::move(endpoint)), m_body(std::move(body)),
      m_network(new platform::BackendNetworkAccess(this)) {
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, &QVAnalyticsUploader::dispatch);
    m_timer.start();
}

QVAnalyticsUploader::~QVAnalyticsUploader() {
    if (m_inFlight) {
        m_inFlight->disconnect(this);
        m_inFlight->abort();
    }
}

void QVAnalyticsUploader::enqueue(const QJsonValue &item) {
    m_queue.append(item);
    while (m_queue.size() > kMaxQueued)
        m_queue.removeFirst();
}

void QVAnalyticsUploader::dispatch() {
    if (m_inFlight || m_queue.isEmpty())
        return;
    const QUrl url = m_endpoint();
    if (!url.isValid() || url.scheme().isEmpty())
        return; // no endpoint: keep the queue for a later try
    m_sending = m_queue;
    m_queue = QJsonArray();
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    request.setTransferTimeout(kTransferTimeoutMs);
    // Analytics never follow a redirect to another host.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::SameOriginRedirectPolicy);
    m_inFlight = m_network->post(request, m_body(m_sending));
    connect(m_inFlight, &QNetworkReply::finished, this, &QVAnalyticsUploader::onFinished);
}

void QVAnalyticsUploader::onFinished() {
    QNetworkReply *reply = m_inFlight;
    m_inFlight = nullptr;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool delivered = reply->error() == QNetworkReply::NoError && status >= 200 && status <= 299;
    reply->deleteLater();
    if (!delivered) {
        // Older items first, so a retry keeps the order they happened in.
        QJsonArray retry = m_sending;
        for (const QJsonValue &item : std::as_const(m_queue))
            retry.append(item);
        m_queue = retry;
        while (m_queue.size() > kMaxQueued)
            m_queue.removeFirst();
    }
    m_sending = QJsonArray();
    emit batchFinished(delivered);
}

bool QVAnalyticsUploader::flush(int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        if (!m_inFlight) {
            dispatch();
            if (!m_inFlight)
                break; // nothing queued, or nowhere to send it
        }
        QEventLoop loop;
        QTimer deadline;
        deadline.setSingleShot(true);
        connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        bool answered = false;
        bool delivered = false;
        const auto connection = connect(this, &QVAnalyticsUploader::batchFinished, &loop, [&](bool ok) {
            answered = true;
            delivered = ok;
            loop.quit();
        });
        deadline.start(int(qMax<qint64>(1, timeoutMs - clock.elapsed())));
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        disconnect(connection);
        // A refused batch would only be refused again right away.
        if (!answered || !delivered)
            break;
    }
    return !m_inFlight && m_queue.isEmpty();
}
