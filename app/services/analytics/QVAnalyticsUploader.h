#pragma once

#include <QJsonArray>
#include <QJsonValue>
#include <QObject>
#include <QTimer>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

// Collects analytics items and sends them together as one JSON POST every
// interval. A batch the server does not take (transport error or non-2xx) is
// put back in front and tried again at the next interval; the queue keeps at
// most kMaxQueued items, dropping the oldest. At quit, flush() sends what is
// left and waits a bounded time. Main thread only.
class QVAnalyticsUploader : public QObject {
    Q_OBJECT
public:
    using Endpoint = std::function<QUrl()>;
    // The request body for a batch of items.
    using BodyBuilder = std::function<QByteArray(const QJsonArray &items)>;

    static constexpr int kMaxQueued = 1000;

    QVAnalyticsUploader(Endpoint endpoint, BodyBuilder body, int intervalMs, QObject *parent = nullptr);
    ~QVAnalyticsUploader() override;

    void enqueue(const QJsonValue &item);
    // Starts sending the queue now (no-op while a batch is on its way or nothing is queued).
    void dispatch();
    // dispatch(), then spins a local event loop until the batch is answered or
    // the time is up. True when nothing is left unsent.
    bool flush(int timeoutMs);

    int queuedCount() const { return int(m_queue.size()); }
    bool isSending() const { return m_inFlight != nullptr; }

signals:
    // After each answered batch: whether the server took it.
    void batchFinished(bool delivered);

private:
    void onFinished();

    Endpoint m_endpoint;
    BodyBuilder m_body;
    QTimer m_timer;
    QNetworkAccessManager *m_network = nullptr;
    QNetworkReply *m_inFlight = nullptr;
    QJsonArray m_queue;
    QJsonArray m_sending;
};
