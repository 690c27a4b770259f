// GoogleTest main for suites that need Qt: one QApplication for the whole binary,
// offscreen unless the caller chose a platform.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Each test process gets a home of its own inside the runner's: cases run side by side,
    // and one that clears a setting or the store must not pull it from under another.
    const QString runnerHome = qEnvironmentVariable("QV_HOME", QDir::tempPath());
    QDir().mkpath(runnerHome);
    QTemporaryDir home(QDir(runnerHome).filePath(QStringLiteral("case-XXXXXX")));
    if (home.isValid())
        qputenv("QV_HOME", QFile::encodeName(home.path()));
    ::testing::InitGoogleTest(&argc, argv);
    // As the program makes it: no attribute of the tests' own (the web module makes the GL
    // context web views share when it loads, startup/QVWebModule.cpp).
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorvalde-translator-tests"));
    QApplication::setOrganizationName(QStringLiteral("Quorvalde"));
    return RUN_ALL_TESTS();
}
