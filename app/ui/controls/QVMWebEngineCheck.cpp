#include "QVMWebEngineCheck.h"

#include "core/DevLog.h"
#include "core/DevLogWarning.h"

#include "platform/AppPaths.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QProcess>
#include <QSaveFile>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <memory>

#include <dlfcn.h>
#include <unistd.h>

namespace {

QString describeFile(const QString &path) {
    const QFileInfo file(path);
    return path + QLatin1Char(' ') +
           (file.exists() ? QString::number(file.size()) + QLatin1Char(' ') +
                                QString::number(file.lastModified().toMSecsSinceEpoch())
                          : QStringLiteral("missing"));
}

} // namespace

QVMWebEngineCheck &QVMWebEngineCheck::shared() {
    static QVMWebEngineCheck *check = new QVMWebEngineCheck;
    return *check;
}

void QVMWebEngineCheck::setCommand(const QString &program, const QStringList &arguments) {
    m_program = program;
    m_arguments = arguments;
}

QString QVMWebEngineCheck::rememberedPath() {
    return QDir(platform::AppPaths::ensurePrivate(platform::AppPaths::caches()))
        .filePath(QStringLiteral("web-engine-started"));
}

QString QVMWebEngineCheck::startConditions() {
    QStringList conditions{QStringLiteral("Qt ") + QString::fromLatin1(qVersion()),
                           QStringLiteral("uid %1 %2").arg(getuid()).arg(geteuid())};
    for (const char *name :
         {"QTWEBENGINE_DISABLE_SANDBOX", "QTWEBENGINE_CHROMIUM_FLAGS", "QTWEBENGINEPROCESS_PATH",
          "QTWEBENGINE_RESOURCES_PATH", "QTWEBENGINE_LOCALES_PATH", "QTWEBENGINE_DICTIONARIES_PATH"})
        conditions.append(QString::fromLatin1(name) + QLatin1Char('=') + qEnvironmentVariable(name));
    // The engine's library as it is loaded here, and what it looks for beside Qt.
    Dl_info library{};
    if (dladdr(reinterpret_cast<const void *>(&QWebEngineProfile::staticMetaObject), &library) &&
        library.dli_fname)
        conditions.append(describeFile(QString::fromLocal8Bit(library.dli_fname)));
    conditions.append(describeFile(QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath) +
                                   QStringLiteral("/QtWebEngineProcess")));
    conditions.append(
        describeFile(QLibraryInfo::path(QLibraryInfo::DataPath) + QStringLiteral("/resources")));
    return conditions.join(QLatin1Char('\n'));
}

void QVMWebEngineCheck::whenKnown(QObject *context, std::function<void(bool ready)> then) {
    if (m_state == State::Unknown && m_program.isEmpty())
        m_state = State::Ready;
    if (m_state == State::Unknown) {
        QFile remembered(rememberedPath());
        if (remembered.open(QIODevice::ReadOnly) &&
            QString::fromUtf8(remembered.readAll()) == startConditions()) {
            DevLog(QStringLiteral("[web] the web engine started before as it would now: not checked again"));
            m_state = State::Ready;
        }
    }
    if (m_state == State::Ready || m_state == State::Failed) {
        then(m_state == State::Ready);
        return;
    }
    QPointer<QObject> guard(context);
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(this, &QVMWebEngineCheck::known, context, [guard, then, connection](bool ready) {
        disconnect(*connection);
        if (guard)
            then(ready);
    });
    if (m_state == State::Unknown)
        start();
}

void QVMWebEngineCheck::start() {
    m_state = State::Checking;
    auto *process = new QProcess(this);
    m_process = process;
    process->setProcessChannelMode(QProcess::MergedChannels);
    // Its own display is not needed to start the engine, and no GL driver is loaded for it.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process->setProcessEnvironment(environment);
    auto elapsed = std::make_shared<QElapsedTimer>();
    elapsed->start();
    connect(process, &QProcess::finished, this,
            [this, process, elapsed](int code, QProcess::ExitStatus status) {
                const bool ready = status == QProcess::NormalExit && code == 0;
                const QList<QByteArray> lines = process->readAll().trimmed().split('\n');
                process->deleteLater();
                if (ready) {
                    DevLog(QStringLiteral("[web] the web engine starts (checked in %@ ms)"),
                           QString::number(elapsed->elapsed()));
                    QSaveFile remembered(rememberedPath());
                    if (remembered.open(QIODevice::WriteOnly)) {
                        remembered.write(startConditions().toUtf8());
                        remembered.commit();
                    }
                }
                finish(ready, QString::fromLocal8Bit(lines.last()));
            });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        process->deleteLater();
        finish(false, process->errorString());
    });
    // An engine that hangs at its start cannot show pages either.
    QTimer::singleShot(kCheckTimeoutMs, process, [process] { process->kill(); });
    process->start(m_program, m_arguments);
}

void QVMWebEngineCheck::finish(bool ready, const QString &why) {
    if (m_state != State::Checking)
        return;
    m_state = ready ? State::Ready : State::Failed;
    if (!ready)
        DevLogWarning(QStringLiteral("[web] the web engine does not start, so web pages are not shown: %@"),
                      why);
    emit known(ready);
}

int QVMWebEngineCheck::startEngineHere() {
    // The engine starts with its first page, and ends this process there when it cannot.
    QWebEngineProfile profile;
    { QWebEnginePage page(&profile); }
    QCoreApplication::processEvents();
    return 0;
}
