#include "BackendNetworkAccess.h"

#include <QMutex>
#include <QNetworkReply>
#include <QSet>
#include <QTimer>

#include <atomic>

namespace platform {
namespace {

std::atomic<quint64> g_sent{0};
std::atomic<quint64> g_refused{0};

// A reply that failed before anything was sent; it finishes on the next turn of the loop,
// as a real failure would, so callers connect to it first.
class RefusedReply : public QNetworkReply {
public:
    RefusedReply(QNetworkAccessManager::Operation op, const QNetworkRequest &request, QObject *parent)
        : QNetworkReply(parent) {
        setRequest(request);
        setUrl(request.url());
        setOperation(op);
        QNetworkReply::open(QIODevice::ReadOnly | QIODevice::Unbuffered);
        setError(HostNotFoundError,
                 QStringLiteral("No backend is configured: %1 is a reserved name").arg(request.url().host()));
        QTimer::singleShot(0, this, [this] {
            setFinished(true);
            emit errorOccurred(error());
            emit finished();
        });
    }
    void abort() override {}
    qint64 bytesAvailable() const override { return 0; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
};

// One line per host and process: an expected condition, not an error.
void logRefusal(const QString &host) {
    static QMutex mutex;
    static QSet<QString> logged;
    QMutexLocker lock(&mutex);
    if (logged.contains(host))
        return;
    logged.insert(host);
    qInfo(BackendNetworkAccess::kRefusedLog, qPrintable(host));
}

} // namespace

bool BackendNetworkAccess::isReservedHost(const QUrl &url) {
    const QString host = url.host().toLower();
    if (host.isEmpty())
        return false;
    for (const char *name : {"example", "invalid", "test"}) {
        const QLatin1String reserved(name);
        if (host == reserved || host.endsWith(QLatin1Char('.') + reserved))
            return true;
    }
    return false;
}

quint64 BackendNetworkAccess::sentCount() {
    return g_sent.load();
}

quint64 BackendNetworkAccess::refusedCount() {
    return g_refused.load();
}

QNetworkReply *BackendNetworkAccess::createRequest(Operation op, const QNetworkRequest &request,
                                                   QIODevice *outgoingData) {
    if (!isReservedHost(request.url())) {
        ++g_sent;
        return QNetworkAccessManager::createRequest(op, request, outgoingData);
    }
    ++g_refused;
    logRefusal(request.url().host());
    // The manager announces its finished() for this reply as for any other.
    return new RefusedReply(op, request, this);
}

} // namespace platform
