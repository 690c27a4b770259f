// GoogleTest main for suites that need Qt: one QApplication for the whole binary,
// offscreen unless the caller chose a platform.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    // Web views share one GL context with the widgets; Qt needs this before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorvalde-translator-tests"));
    QApplication::setOrganizationName(QStringLiteral("Quorvalde"));
    return RUN_ALL_TESTS();
}
