// Shows the photo and web-page windows over loopback pages and a drawn
// picture, light and dark, and saves screenshots of the screen for a look at
// them; also prints the order in which Tab walks each window's controls.
//   QT_QPA_PLATFORM=xcb panes_window_sample <output folder> [light|dark] [keys]
// With "keys" (xcb and xdotool) it also walks each window with real key presses
// and saves a screenshot at each step worth a look.
#include "core/settings/QVSettingsService.h"
#include "panes/photo/QVMPhotoRecognitionController.h"
#include "panes/web/QVMWebPageController.h"
#include "platform/BackendConfig.h"
#include "support/EventLoop.h"
#include "support/FakeBackend.h"
#include "ui/controls/QVMWebView.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QScrollArea>
#include <QStyleFactory>
#include <QTextStream>
#include <QTimer>

namespace {

QPalette darkPalette() {
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2e));
    palette.setColor(QPalette::WindowText, Qt::white);
    palette.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x20));
    palette.setColor(QPalette::AlternateBase, QColor(0x33, 0x33, 0x36));
    palette.setColor(QPalette::Text, Qt::white);
    palette.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3e));
    palette.setColor(QPalette::ButtonText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, QColor(0x3a, 0x3a, 0x3e));
    palette.setColor(QPalette::ToolTipText, Qt::white);
    palette.setColor(QPalette::Highlight, QColor(0x3d, 0x7a, 0xd6));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::PlaceholderText, QColor(0xb0, 0xb0, 0xb0));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x9a, 0x9a, 0x9a));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x9a, 0x9a, 0x9a));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x9a, 0x9a, 0x9a));
    return palette;
}

QImage sign(const QString &text, const QColor &ink) {
    QImage image(640, 360, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(0xf4, 0xe9, 0xc8));
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(72);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(ink);
    painter.drawText(image.rect(), Qt::AlignCenter, text);
    return image;
}

// Answers every picture with the picture redrawn in German, after a moment.
class SampleTranslator : public QVMPhotoTranslator {
public:
    void translate(const QImage &, const QVLanguageRealm &, const QVLanguageRealm &, Progress progress,
                   Success success, Failure) override {
        progress(0.5);
        QTimer::singleShot(1500, [success] {
            success(sign(QStringLiteral("HALLO WELT"), Qt::darkBlue), QStringLiteral("HELLO WORLD"),
                    QStringLiteral("HALLO WELT"));
        });
    }
    void cancel() override {}
};

void shoot(QWidget *window, const QString &path) {
    window->raise();
    window->activateWindow();
    qvtest::spin(300);
    QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    const QRect frame = window->frameGeometry();
    QPixmap shot = screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    if (shot.isNull() || shot.toImage().allGray())
        shot = window->grab();
    shot.save(path);
    QTextStream(stdout) << "saved " << path << "\n";
}

void printTabOrder(QWidget *window, const QString &name) {
    QTextStream out(stdout);
    out << name << " Tab order:";
    QWidget *start = QApplication::focusWidget();
    QWidget *current = start;
    for (int i = 0; i < 14 && current; ++i) {
        out << " ["
            << (current->accessibleName().isEmpty() ? current->metaObject()->className()
                                                    : current->accessibleName())
            << "]";
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(current, &tab);
        qvtest::spin(30);
        current = QApplication::focusWidget();
        if (current == start)
            break;
    }
    out << "\n";
    Q_UNUSED(window)
}

// Real key presses through the X server, as a keyboard user's.
bool press(const QStringList &keys) {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return false;
    const bool ok =
        QProcess::execute(QStringLiteral("xdotool"), QStringList{"key", "--delay", "60"} + keys) == 0;
    qvtest::spin(300);
    return ok;
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    const bool dark = argc > 2 && QByteArray(argv[2]) == "dark";
    const bool keys = argc > 3 && QByteArray(argv[3]) == "keys";
    const QString suffix = dark ? QStringLiteral("dark") : QStringLiteral("light");
    QDir().mkpath(folder);
    if (dark)
        QApplication::setPalette(darkPalette());
    QVSettingsService::defaultSettings();

    qvtest::FakeBackend backend;
    platform::BackendConfig::overrideHost("QV_API_HOST", backend.baseUrl());
    const QByteArray style = dark ? "background:#1e1e20;color:#f0f0f0" : "background:#ffffff;color:#111";
    backend.route("GET", "/source",
                  qvtest::FakeReply::bytes(
                      "<html><body style=\"font:16px DejaVu Sans;" + style +
                          "\"><h1>Opening hours</h1><p>The library opens at nine in the "
                          "morning and closes at six.</p><p>Books can be returned at any "
                          "time through the slot by the door.</p><div style=\"height:2400px\"></div>"
                          "<p>Closed on public holidays.</p></body></html>",
                      "text/html"));
    backend.route(
        "GET", "/translated",
        qvtest::FakeReply::bytes("<html><body style=\"font:16px DejaVu Sans;" + style +
                                     "\"><h1>&Ouml;ffnungszeiten</h1><p>Die Bibliothek &ouml;ffnet um "
                                     "neun Uhr morgens und schlie&szlig;t um sechs.</p><p>B&uuml;cher "
                                     "k&ouml;nnen jederzeit durch den Schlitz an der T&uuml;r "
                                     "zur&uuml;ckgegeben werden.</p><div style=\"height:2400px\"></div>"
                                     "<p>An Feiertagen geschlossen.</p></body></html>",
                                 "text/html"));
    backend.route(
        "POST", "/translateWebpageAPI/",
        qvtest::FakeReply::jsonMap({{"result", backend.url(QStringLiteral("/translated")).toString()}}));

    // The web window, side by side.
    auto *web = new QVMWebPageController;
    web->view()->move(20, 20);
    web->view()->resize(1200, 700);
    web->view()->show();
    qvtest::spin(200);
    web->addressField()->setText(backend.url(QStringLiteral("/source")).toString());
    web->translate();
    int shown = 0;
    QObject::connect(web, &QVMWebPageController::pageShown, [&shown](bool) { ++shown; });
    qvtest::waitUntil([&] { return shown >= 2; }, 20000);
    web->addressField()->setFocus();
    shoot(web->view(), folder + QStringLiteral("/web-%1.png").arg(suffix));
    printTabOrder(web->view(), QStringLiteral("web"));
    if (keys) {
        // Tab to the original page, then to its end: the translation follows.
        press({"Tab", "Tab", "Tab"});
        press({"End"});
        shoot(web->view(), folder + QStringLiteral("/web-keys-end-%1.png").arg(suffix));
        press({"Tab"});
        shoot(web->view(), folder + QStringLiteral("/web-keys-translated-focus-%1.png").arg(suffix));
        web->addressField()->setFocus();
    }
    web->addressField()->setText(QStringLiteral("ftp://example.org"));
    web->translate();
    shoot(web->view(), folder + QStringLiteral("/web-error-%1.png").arg(suffix));
    web->view()->close();
    qvtest::spin(200);

    // The photo window while it works, then with the translation.
    const QString picture = QDir(folder).filePath(QStringLiteral("hello.png"));
    sign(QStringLiteral("HELLO WORLD"), Qt::black).save(picture);
    QVMPhotoRecognitionController::setTranslatorFactory([] { return std::make_unique<SampleTranslator>(); });
    QPointer<QVMPhotoRecognitionController> photo = new QVMPhotoRecognitionController;
    photo->setUrl(QUrl::fromLocalFile(picture));
    photo->view()->move(20, 20);
    photo->view()->show();
    qvtest::spin(500);
    shoot(photo->view(), folder + QStringLiteral("/photo-working-%1.png").arg(suffix));
    qvtest::waitUntil([&] { return !photo->translatedText().isEmpty(); }, 10000);
    shoot(photo->view(), folder + QStringLiteral("/photo-%1.png").arg(suffix));
    printTabOrder(photo->view(), QStringLiteral("photo"));
    if (keys) {
        // The picture first: zoom in twice, pan with the arrows, then Tab on to the buttons.
        photo->scrollView()->setFocus();
        press({"ctrl+plus", "ctrl+plus", "ctrl+plus", "Right", "Right", "Down"});
        shoot(photo->view(), folder + QStringLiteral("/photo-keys-zoomed-%1.png").arg(suffix));
        press({"Tab", "Tab"});
        shoot(photo->view(), folder + QStringLiteral("/photo-keys-copy-focus-%1.png").arg(suffix));
        press({"Escape"});
        QTextStream(stdout) << "photo closed by Escape: " << (photo.isNull() ? "yes" : "no") << "\n";
    }
    if (photo)
        photo->view()->close();
    QFile::remove(picture);
    qvtest::spin(200);
    return 0;
}
