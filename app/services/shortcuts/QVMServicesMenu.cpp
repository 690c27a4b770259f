#include "QVMServicesMenu.h"

#include "core/DevLog.h"
#include "core/localization/QVLocalizedString.h"

#include <QDBusMessage>

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
    setBufferString(text, type);
}

void QVMServicesMenu::showTranslate(const QString &text) {
    receive("showTranslate", text, 0);
}

void QVMServicesMenu::showTranslateInAgent(const QString &text) {
    receive("showTranslateInAgent", text, 1);
}

void QVMServicesMenu::translateWebPagePasteboardUrl() {
    DevLog(QStringLiteral("translateWebPagePasteboardUrl"));
    if (translateWebPageAction)
        translateWebPageAction();
}

void QVMServicesMenu::showAgent() {
    DevLog(QStringLiteral("showAgent"));
    if (showAgentAction)
        showAgentAction();
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
