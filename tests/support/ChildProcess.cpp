#include "ChildProcess.h"

#include <QCoreApplication>
#include <QProcessEnvironment>

namespace qvtest {

std::unique_ptr<QProcess> startChildTest(const QString &fullTestName, const QVariantMap &environment) {
    auto child = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (auto it = environment.cbegin(); it != environment.cend(); ++it)
        env.insert(it.key(), it.value().toString());
    child->setProcessEnvironment(env);
    child->start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--gtest_filter=") + fullTestName,
                  QStringLiteral("--gtest_also_run_disabled_tests"), QStringLiteral("--gtest_brief=1")});
    return child;
}

QByteArray finishChild(QProcess &child, int timeoutMs) {
    if (!child.waitForFinished(timeoutMs)) {
        child.kill();
        child.waitForFinished(3000);
        qWarning("child test did not finish in %d ms", timeoutMs);
        return {};
    }
    const QByteArray output = child.readAllStandardOutput();
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        qWarning("child test failed (exit %d): %s %s", child.exitCode(), output.constData(),
                 child.readAllStandardError().constData());
        return {};
    }
    return output;
}

} // namespace qvtest
