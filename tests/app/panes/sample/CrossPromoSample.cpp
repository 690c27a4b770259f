// Shows the cross-promotion alert with a picture in the light and the dark
// appearance through the desktop's message box, and saves each as a PNG:
//   panes_crosspromo_sample <output folder>
#include "core/localization/QVLocalizedString.h"
#include "services/graphics/QVMStyleService.h"
#include "ui/foundation/QVMAlertPresenter.h"
#include "ui/style/QVMAppearance.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPainter>
#include <QTimer>

namespace {

// A stand-in for a promoted application's picture, larger than the alert shows it.
QImage samplePicture() {
    QImage picture(256, 256, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 256, 256);
    fill.setColorAt(0, QColor(0x1e, 0x88, 0xe5));
    fill.setColorAt(1, QColor(0x3949ab));
    painter.setBrush(fill);
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(8, 8, 240, 240), 48, 48);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(150);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(picture.rect(), Qt::AlignCenter, QStringLiteral("Aa"));
    return picture;
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QVMAppearance::install();
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());
    const QImage picture = samplePicture();
    for (const bool dark : {false, true}) {
        QVMStyleService::shared().setDesktopColorScheme(dark ? QVMStyleService::ColorScheme::Dark
                                                             : QVMStyleService::ColorScheme::Light);
        const QString file = out.filePath(dark ? QStringLiteral("crosspromo-alert-dark.png")
                                               : QStringLiteral("crosspromo-alert-light.png"));
        QTimer poll;
        poll.setInterval(50);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            poll.stop();
            box->grab().save(file);
            box->buttons().value(0)->click();
        });
        poll.start();
        // Markup from the backend must show as typed.
        QVMMessageBoxPresenter().runModal(
            {QStringLiteral("Word Cards <b>Pro</b>"),
             QStringLiteral("Learn the words you translate with cards & spaced repetition."),
             {QVLocalizedString(QStringLiteral("_loc_download")),
              QVLocalizedString(QStringLiteral("_loc_cancel"))},
             picture});
    }
    return 0;
}
