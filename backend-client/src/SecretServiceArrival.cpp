#include "SecretServiceArrival.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QFutureWatcher>
#include <QPointer>
#include <QPromise>
#include <QThreadPool>
#include <QTimer>

#include <memory>

namespace merovantia {
namespace {

const char *const kSecretService = "org.freedesktop.secrets";
constexpr int kAskTimeoutMs = 5000;

QPointer<SecretServiceArrival> &current() {
    static QPointer<SecretServiceArrival> arrival;
    return arrival;
}

} // namespace

void SecretServiceArrival::watch(Consider consider) {
    QCoreApplication *application = QCoreApplication::instance();
    if (!application)
        return;
    QMetaObject::invokeMethod(
        application,
        [consider = std::move(consider)] {
            delete current().data();
            auto *arrival = new SecretServiceArrival(consider);
            arrival->setParent(QCoreApplication::instance());
            current() = arrival;
            arrival->start();
        },
        Qt::QueuedConnection);
}

SecretServiceArrival::SecretServiceArrival(Consider consider) : m_consider(std::move(consider)) {}

void SecretServiceArrival::start() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        deleteLater();
        return;
    }
    const QString service = QString::fromLatin1(kSecretService);
    auto *watcher = new QDBusServiceWatcher(service, bus, QDBusServiceWatcher::WatchForRegistration, this);
    connect(watcher, &QDBusServiceWatcher::serviceRegistered, this, &SecretServiceArrival::appeared);
    // It may have come between the first probe and this watch.
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    call << service;
    auto *pending = new QDBusPendingCallWatcher(bus.asyncCall(call, kAskTimeoutMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *answer) {
        answer->deleteLater();
        const QDBusPendingReply<bool> reply = *answer;
        if (!reply.isError() && reply.value())
            appeared();
    });
}

void SecretServiceArrival::appeared() {
    m_looks = 0;
    if (m_looking)
        m_lookAgain = true;
    else
        look();
}

// The look itself talks to the bus synchronously (with deadlines): never on this thread.
void SecretServiceArrival::look() {
    m_looking = true;
    ++m_looks;
    auto promise = std::make_shared<QPromise<bool>>();
    auto *done = new QFutureWatcher<bool>(this);
    connect(done, &QFutureWatcher<bool>::finished, this, [this, done] {
        done->deleteLater();
        m_looking = false;
        const bool finished = done->future().resultCount() > 0 && done->future().result();
        if (std::exchange(m_lookAgain, false))
            look();
        else if (finished)
            deleteLater();
        else if (m_looks < kLooks)
            QTimer::singleShot(kFirstPauseMs << (m_looks - 1), this, [this] {
                if (!m_looking)
                    look();
            });
    });
    done->setFuture(promise->future());
    promise->start();
    QThreadPool::globalInstance()->start([promise, consider = m_consider] {
        promise->addResult(consider());
        promise->finish();
    });
}

} // namespace merovantia
