#include "QVMServicesMenu.h"

#include "core/DevLog.h"
#include "core/localization/QVLocalizedString.h"

#include <QApplication>
#include <QDBusMessage>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <algorithm>

QVMServicesMenu &QVMServicesMenu::sharedInstance() {
    static QVMServicesMenu *menu = new QVMServicesMenu;
    return *menu;
}

void QVMServicesMenu::setDelegate(QObject *owner, Delegate delegate) {
    m_owner = owner;
    m_delegate = owner ? std::move(delegate) : Delegate();
}

QString QVMServicesMenu::checkPasteboard(const QString &text) {
    const QString key =
        QString::fromLatin1(text.toUtf8().size() > kMaximumBytes ? kTooLongMessage : kNoStringMessage);
    if (!text.trimmed().isEmpty() && text.toUtf8().size() <= kMaximumBytes)
        return {};
    const QString localized = QVLocalizedString(key);
    return localized.isEmpty() || localized.startsWith(QLatin1String("_loc_")) ? key : localized;
}

void QVMServicesMenu::setBufferString(const QString &text, int type) {
    if (text.isEmpty())
        return;
    m_bufferString = text;
    if (hasDelegate())
        m_delegate(text, type);
}

void QVMServicesMenu::receive(const char *entry, const QString &text, int type) {
    DevLog(QString::fromLatin1(entry));
    const QString error = checkPasteboard(text);
    if (!error.isEmpty()) {
        if (calledFromDBus())
            sendErrorReply(QString::fromLatin1(kNoTextError), error);
        return;
    }
    handOver(entry, [this, text, type] { setBufferString(text, type); });
}

void QVMServicesMenu::showTranslate(const QString &text) {
    receive("showTranslate", text, 0);
}

void QVMServicesMenu::showTranslateInAgent(const QString &text) {
    receive("showTranslateInAgent", text, 1);
}

void QVMServicesMenu::translateWebPagePasteboardUrl() {
    DevLog(QStringLiteral("translateWebPagePasteboardUrl"));
    handOver("translateWebPagePasteboardUrl", [this] {
        if (translateWebPageAction)
            translateWebPageAction();
    });
}

void QVMServicesMenu::showAgent() {
    DevLog(QStringLiteral("showAgent"));
    handOver("showAgent", [this] {
        if (showAgentAction)
            showAgentAction();
    });
}

void QVMServicesMenu::handOver(const char *entry, std::function<void()> action) {
    if (!calledFromDBus()) {
        action();
        return;
    }
    // What the call asks for may show a dialog and run its loop: the caller, which waits for the
    // reply, must not wait for that.
    const QByteArray name(entry);
    const auto same =
        std::find_if(m_waiting.begin(), m_waiting.end(), [&](const Waiting &w) { return w.entry == name; });
    if (same != m_waiting.end())
        same->action = std::move(action);
    else
        m_waiting.append({name, std::move(action)});
    queueRun();
}

void QVMServicesMenu::queueRun() {
    if (m_runQueued || m_waiting.isEmpty())
        return;
    m_runQueued = true;
    QTimer::singleShot(0, this, &QVMServicesMenu::runHandedOver);
}

void QVMServicesMenu::runHandedOver() {
    m_runQueued = false;
    while (!m_waiting.isEmpty()) {
        // A second box over the first would only hide it: the calls wait until it is closed.
        if (QWidget *box = QApplication::activeModalWidget()) {
            DevLog(QStringLiteral("[services] a call waits for the open dialog"));
            box->raise();
            box->activateWindow();
            if (m_watchedBox != box) {
                if (m_watchedBox)
                    m_watchedBox->removeEventFilter(this);
                m_watchedBox = box;
                box->installEventFilter(this);
                connect(box, &QObject::destroyed, this, &QVMServicesMenu::queueRun, Qt::UniqueConnection);
            }
            return;
        }
        const Waiting next = m_waiting.takeFirst();
        next.action();
    }
}

bool QVMServicesMenu::eventFilter(QObject *watched, QEvent *event) {
    // Closed: the calls waiting for the box run from the event loop, not inside its hiding.
    if (event->type() == QEvent::Hide && watched == m_watchedBox) {
        watched->removeEventFilter(this);
        m_watchedBox = nullptr;
        queueRun();
    }
    return QObject::eventFilter(watched, event);
}

bool QVMServicesMenu::registerProvider(QDBusConnection connection) {
    unregisterProvider();
    if (!connection.isConnected()) {
        DevLog(QStringLiteral("[services] no session bus: the Services entries are not offered"));
        return false;
    }
    m_registered = connection.registerObject(QString::fromLatin1(kObjectPath), this,
                                             QDBusConnection::ExportScriptableSlots);
    if (m_registered)
        m_connection = connection;
    else
        DevLog(QStringLiteral("[services] %@ is taken"), QString::fromLatin1(kObjectPath));
    return m_registered;
}

void QVMServicesMenu::unregisterProvider() {
    if (m_registered)
        m_connection.unregisterObject(QString::fromLatin1(kObjectPath));
    m_registered = false;
}
