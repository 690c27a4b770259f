#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class QProcess;

// Whether web views may be made in this process. A web engine that cannot start (its helper
// program or resources missing, a sandbox it cannot have) ends the process it starts in, so
// before the first web view the engine is started in a process of its own, the program itself
// with a command that does only that; web views are made here only when it started. An engine
// that started is remembered with what its start depends on (the user, the web engine's
// environment, its library, helper program and resources), and is not checked again while those
// stay as they were. Without a command (a program that links the web views itself) the engine is
// taken to start. Main thread only.
//
//   QVMWebEngineCheck::shared().setCommand(program, {"--check-web-engine"});   // once, at load
//   QVMWebEngineCheck::shared().whenKnown(this, [this](bool ready) {
//       if (ready) addWebView(); else showNoWebView();
//   });
class QVMWebEngineCheck : public QObject {
    Q_OBJECT
public:
    enum class State { Unknown, Checking, Ready, Failed };

    static QVMWebEngineCheck &shared();

    void setCommand(const QString &program, const QStringList &arguments);
    State state() const { return m_state; }

    // Runs `then` once the answer is known, at once when it already is; not at all once `context`
    // is gone. The first call starts the check.
    void whenKnown(QObject *context, std::function<void(bool ready)> then);

    // The check's side: starts the engine in this process, up to its first page; 0 when it did.
    static int startEngineHere();

    // What an engine's start depends on here, as one text.
    static QString startConditions();

    // How long the check's process may take before the engine counts as not starting.
    static constexpr int kCheckTimeoutMs = 30000;

signals:
    void known(bool ready);

private:
    QVMWebEngineCheck() = default;
    void start();
    void finish(bool ready, const QString &why);
    static QString rememberedPath();

    QString m_program;
    QStringList m_arguments;
    State m_state = State::Unknown;
    QPointer<QProcess> m_process;
};
