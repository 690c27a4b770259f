// Shows, light and dark, the alerts of an address nothing opens (a translation of a million
// characters shared by e-mail) and of an address refused, through the desktop's message box,
// and saves each as a PNG. The alert waits `seconds` first, for a screenshot of the screen:
//   panes_link_alerts_sample <output folder> [seconds]
#include "services/graphics/QVMStyleService.h"
#include "ui/foundation/QVMLinkOpener.h"
#include "ui/foundation/QVMUtils.h"
#include "ui/style/QVMAppearance.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTimer>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QVMAppearance::install();
    QVMUtils::setAlertPresenter(std::make_shared<QVMMessageBoxPresenter>());
    QVMLinkOpener::setOpener([](const QUrl &) { return false; });
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());
    const int waitMs = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() * 1000 : 0;
    QString translation;
    while (translation.size() < 1000000)
        translation += QStringLiteral("Die Übersetzung eines sehr langen Textes geht immer weiter. ");
    const struct {
        const char *name;
        QUrl address;
        QString toCopy;
    } alerts[] = {
        {"email-long", QUrl(QStringLiteral("mailto:?body=x")), translation},
        {"refused", QUrl(QStringLiteral("file:///etc/passwd")), {}},
    };
    for (const bool dark : {false, true}) {
        QVMStyleService::shared().setDesktopColorScheme(dark ? QVMStyleService::ColorScheme::Dark
                                                             : QVMStyleService::ColorScheme::Light);
        for (const auto &alert : alerts) {
            const QString file =
                out.filePath(QStringLiteral("%1-%2.png")
                                 .arg(QString::fromLatin1(alert.name),
                                      dark ? QStringLiteral("dark") : QStringLiteral("light")));
            QTimer poll;
            poll.setInterval(50);
            QObject::connect(&poll, &QTimer::timeout, [&] {
                auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                if (!box || !box->isVisible())
                    return;
                poll.stop();
                QTimer::singleShot(waitMs, box, [box, file] {
                    box->grab().save(file);
                    box->buttons().constLast()->click();
                });
            });
            poll.start();
            QVMLinkOpener::open(alert.address, alert.toCopy);
        }
    }
    return 0;
}
