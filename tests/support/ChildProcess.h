#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QVariantMap>

#include <memory>

namespace qvtest {

// Runs one test of this same test binary in a child process, for behaviour between
// processes (two launches at once, two writers of one file). The child's test is a
// DISABLED_ one, so ordinary runs skip it; it reads what the parent passed from its
// environment.
//
//   // in the child:  TEST(MintChild, DISABLED_Mint) { const QString root = qEnvironmentVariable("ROOT"); ...
//   } auto child = qvtest::startChildTest("MintChild.DISABLED_Mint", {{"ROOT", dir.path()}}); const
//   QByteArray out = qvtest::finishChild(*child);
std::unique_ptr<QProcess> startChildTest(const QString &fullTestName, const QVariantMap &environment = {});

// Waits for the child; its standard output when it ran its test and passed, else empty
// (with the reason on stderr of this process).
QByteArray finishChild(QProcess &child, int timeoutMs = 30000);

} // namespace qvtest
