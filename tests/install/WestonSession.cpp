#include "WestonSession.h"

#include "support/EventLoop.h"

#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>

namespace qvtest {

WestonSession::WestonSession() : m_socket(QStringLiteral("qv-wayland-0")) {
    if (!m_runtime.isValid())
        return;
    QFile::setPermissions(m_runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    m_compositor.setProcessEnvironment(environment);
    m_compositor.setProcessChannelMode(QProcess::MergedChannels);
    m_compositor.setStandardOutputFile(m_runtime.filePath(QStringLiteral("weston.log")));
    m_compositor.start(QStringLiteral("weston"),
                       {QStringLiteral("--backend=headless-backend.so"),
                        QStringLiteral("--socket=") + m_socket, QStringLiteral("--idle-time=0")});
    if (!m_compositor.waitForStarted(10000))
        return;
    // Ready once its socket is there to connect to.
    m_running = waitUntil(
                    [this] {
                        return QFileInfo(m_runtime.filePath(m_socket)).exists() ||
                               m_compositor.state() != QProcess::Running;
                    },
                    30000) &&
                m_compositor.state() == QProcess::Running;
}

WestonSession::~WestonSession() {
    if (m_compositor.state() == QProcess::NotRunning)
        return;
    m_compositor.terminate();
    if (!m_compositor.waitForFinished(5000)) {
        m_compositor.kill();
        m_compositor.waitForFinished(2000);
    }
}

QVariantMap WestonSession::childEnvironment() const {
    return {{QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path()},
            {QStringLiteral("WAYLAND_DISPLAY"), m_socket},
            {QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland")},
            {QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland")}};
}

QString WestonSession::log() const {
    QFile file(m_runtime.filePath(QStringLiteral("weston.log")));
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
}

} // namespace qvtest
