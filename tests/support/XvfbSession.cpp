#include "XvfbSession.h"

#include "EventLoop.h"

#include <QProcessEnvironment>
#include <QVariantMap>

namespace qvtest {

XvfbSession::XvfbSession(Tray tray) : m_server(std::make_unique<QProcess>()) {
    // -displayfd 1: the server chooses a free display and writes its number on standard output.
    m_server->start(QStringLiteral("Xvfb"),
                    {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                     QStringLiteral("0"), QStringLiteral("1280x800x24"), QStringLiteral("-nolisten"),
                     QStringLiteral("tcp")});
    if (!m_server->waitForStarted(5000))
        return;
    if (!waitUntil([this] { return m_server->canReadLine(); }, 10000))
        return;
    const QString number = QString::fromLatin1(m_server->readLine().trimmed());
    if (number.isEmpty())
        return;
    m_display = QLatin1Char(':') + number;
    if (tray == WithTray)
        startTray();
}

bool XvfbSession::startTray() {
    if (m_display.isEmpty() || hasTray())
        return hasTray();
    m_tray = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    m_tray->setProcessEnvironment(env);
    m_tray->start(QStringLiteral("trayer"),
                  {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                   QStringLiteral("right"), QStringLiteral("--height"), QStringLiteral("30")});
    if (!m_tray->waitForStarted(5000))
        m_tray.reset();
    return hasTray();
}

XvfbSession::~XvfbSession() {
    for (QProcess *process : {m_tray.get(), m_server.get()}) {
        if (process && process->state() != QProcess::NotRunning) {
            process->terminate();
            if (!process->waitForFinished(5000)) {
                process->kill();
                process->waitForFinished(2000);
            }
        }
    }
}

QVariantMap XvfbSession::childEnvironment() const {
    return {{QStringLiteral("DISPLAY"), m_display},
            {QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb")},
            {QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("x11")}};
}

} // namespace qvtest
