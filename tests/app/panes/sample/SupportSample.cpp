// Renders the support request form light and dark, set up (a wrong address
// showing its notice) and not set up, and saves each as a PNG for a look:
//   panes_support_sample <output folder>
#include "core/QVStoreConfiguration.h"
#include "panes/support/QVMSupportRequestController.h"
#include "services/graphics/QVMStyleService.h"
#include "services/support/QVSupportMailConfiguration.h"
#include "startup/QVStoreMigration.h"
#include "ui/style/QVMAppearance.h"

#include "platform/AppPaths.h"
#include "platform/store/Store.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

void shoot(const QString &folder, bool dark, bool configured, const QString &address, const char *name) {
    if (configured) {
        qputenv(QVSupportMailConfiguration::kUrlVariable, "smtps://mail.example.org:465");
        qputenv(QVSupportMailConfiguration::kUserVariable, "robot@example.org");
        qputenv(QVSupportMailConfiguration::kPasswordVariable, "pw");
        qputenv(QVSupportMailConfiguration::kMailboxVariable, "help@example.org");
    } else {
        for (const char *name :
             {QVSupportMailConfiguration::kUrlVariable, QVSupportMailConfiguration::kUserVariable,
              QVSupportMailConfiguration::kPasswordVariable, QVSupportMailConfiguration::kMailboxVariable})
            qunsetenv(name);
    }
    QVMStyleService::shared().setDesktopColorScheme(dark ? QVMStyleService::ColorScheme::Dark
                                                         : QVMStyleService::ColorScheme::Light);
    QVMSupportRequestController form;
    form.view()->resize(480, 400);
    form.view()->show();
    QApplication::processEvents();
    form.emailField()->setText(address);
    form.messageView()->setPlainText(QStringLiteral("The translation of my document stops at page 3.\n"));
    emit form.emailField()->editingFinished();
    QApplication::processEvents();
    const QString path = QDir(folder).filePath(
        QStringLiteral("support-%1-%2.png").arg(QLatin1String(name), dark ? "dark" : "light"));
    form.view()->grab().save(path);
    QTextStream(stdout) << "saved " << path << "\n";
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(folder);
    QTemporaryDir home;
    platform::AppPaths::setRoot(home.path());
    if (QVStoreConfiguration::configureDefaultStore(QVStoreMigration::migrationBlock()))
        return 1;
    QVMAppearance::install();
    for (bool dark : {false, true}) {
        shoot(folder, dark, true, QStringLiteral("ann@example.com"), "ready");
        shoot(folder, dark, true, QStringLiteral("ann@localhost"), "wrong-address");
        shoot(folder, dark, false, QStringLiteral("ann@example.com"), "not-set-up");
    }
    platform::ObjectStore::resetDefaultStore();
    platform::AppPaths::setRoot(QString());
    return 0;
}
