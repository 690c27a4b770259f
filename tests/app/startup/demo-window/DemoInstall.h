#pragma once
// Installs the demo package into a home with the demo tool, as scripts/run does; the
// failure's text otherwise.
#include <QProcess>
#include <QString>
#include <QStringList>

inline QString runDemoTool(const QString &home, const QStringList &arguments) {
    QProcess installer;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QV_HOME"), home);
    installer.setProcessEnvironment(environment);
    installer.start(QStringLiteral(DEMO_TOOL), arguments);
    if (!installer.waitForFinished(120000))
        return QStringLiteral("the demo tool did not finish");
    return installer.exitCode() == 0 ? QString() : QString::fromLocal8Bit(installer.readAllStandardError());
}

inline QString installDemoPackage(const QString &home) {
    return runDemoTool(home, {QStringLiteral("install"), QStringLiteral("--archive"),
                              QStringLiteral(DEMO_FIXTURE "/de.zip")});
}
