// Renders a sample window of the interface foundation in the light and the
// dark appearance and saves each as a PNG, for looking at text and colours:
//   ui_palette_sample <output folder>
#include "core/localization/DJLocalizationSystem.h"
#include "services/graphics/QVMStyleService.h"
#include "ui/controls/PaddingTextView.h"
#include "ui/controls/QVMProgressHUD.h"
#include "ui/controls/QVMSpinner.h"
#include "ui/controls/QVTextField.h"
#include "ui/controls/TextViewWithPlaceHolder.h"
#include "ui/foundation/QVMLocalization.h"
#include "ui/style/QVMColor.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QPalette paletteFor(bool dark) {
    QPalette palette;
    const QColor window =
        dark ? QVMColor::windowBackgroundDarkColor() : QVMColor::windowBackgroundLightColor();
    const QColor panel = dark ? QVMColor::panelBackgroundDarkColor() : QColor(Qt::white);
    const QColor text = dark ? QColor(Qt::white) : QColor(Qt::black);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, panel);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, dark ? QVMColor::buttonDarkColor() : QVMColor::buttonColor());
    palette.setColor(QPalette::ButtonText, text);
    return palette;
}

QWidget *swatch(const QString &name, const QColor &colour, bool dark) {
    auto *label = new QLabel(name);
    const QColor ink = colour.lightness() < 128 ? Qt::white : Qt::black;
    label->setStyleSheet(QStringLiteral("background:%1; color:%2; padding:4px; border:1px solid %3;")
                             .arg(colour.name(QColor::HexArgb), ink.name(), dark ? "#666" : "#bbb"));
    return label;
}

QWidget *sampleWindow(bool dark) {
    auto *window = new QWidget;
    window->setAutoFillBackground(true);
    window->setPalette(paletteFor(dark));
    window->resize(900, 560);
    auto *layout = new QVBoxLayout(window);

    auto *title = new QLabel;
    QVMLocalization::setLocKey(title, QStringLiteral("_loc_settings_title"));
    QFont big = title->font();
    big.setPointSize(16);
    big.setBold(true);
    title->setFont(big);
    layout->addWidget(title);

    auto *panels = new QHBoxLayout;
    auto *source = new PaddingTextView;
    source->setPlainText(
        QStringLiteral("The quick brown fox jumps over the lazy dog. A second sentence follows."));
    source->highlightRange(4, 15);
    auto *result = new TextViewWithPlaceHolder;
    result->setPlaceHolderString(QStringLiteral("Translation"));
    for (QWidget *panel : {static_cast<QWidget *>(source), static_cast<QWidget *>(result)}) {
        panel->setMinimumHeight(150);
        panels->addWidget(panel);
    }
    layout->addLayout(panels);

    auto *controls = new QHBoxLayout;
    auto *save = new QPushButton;
    QVMLocalization::setLocKey(save, QStringLiteral("_loc_menu_save"));
    auto *close = new QPushButton;
    QVMLocalization::setLocKey(close, QStringLiteral("_loc_close"));
    auto *search = new QVTextField;
    search->setPlaceholderText(QStringLiteral("Search"));
    search->setTextColor(dark ? QColor(Qt::white) : QColor(Qt::black));
    auto *parts = new QComboBox;
    parts->addItems({QStringLiteral("Noun"), QStringLiteral("Verb")});
    QVMSpinner::addShadow(save);
    controls->addWidget(save);
    controls->addWidget(close);
    controls->addWidget(search);
    controls->addWidget(parts);
    layout->addLayout(controls);

    const struct {
        const char *name;
        QColor colour;
    } colours[] = {
        {"windowBackground",
         dark ? QVMColor::windowBackgroundDarkColor() : QVMColor::windowBackgroundLightColor()},
        {"cellSelection", dark ? QVMColor::cellSelectionDarkColor() : QVMColor::cellSelectionColor()},
        {"textSelection", dark ? QVMColor::textSelectionDarkColor() : QVMColor::textSelectionLightColor()},
        {"customGray", dark ? QVMColor::customDarkGrayColor() : QVMColor::customLightGrayColor()},
        {"panelBackgroundDark", QVMColor::panelBackgroundDarkColor()},
        {"tabBackgroundDark", QVMColor::tabBackgroundDarkColor()},
        {"customPink", QVMColor::customPinkColor()},
        {"customBlue", QVMColor::customBlueColor()},
        {"lexicalMeaningBlue", QVMColor::lexicalMeaningBlueColor()},
        {"lexicalMeaningRed", QVMColor::lexicalMeaningRedColor()},
        {"lexicalMeaningGreen", QVMColor::lexicalMeaningGreenColor()},
        {"tatoebaMain", QVMColor::tatoebaMainColor()},
    };
    auto *grid = new QGridLayout;
    int index = 0;
    for (const auto &c : colours) {
        grid->addWidget(swatch(QString::fromLatin1(c.name), c.colour, dark), index / 4, index % 4);
        ++index;
    }
    layout->addLayout(grid);

    auto *work = new QLabel;
    work->setMinimumHeight(150);
    work->setAutoFillBackground(true);
    layout->addWidget(work);
    window->show();
    if (QVMProgressHUD *hud = QVMSpinner::showProgressWithCancel(work)) {
        hud->setProgress(0.4f);
        hud->setColor(QVMColor::spinerColor());
    }
    return window;
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    app.setStyle(QStringLiteral("Fusion"));
    DJLocalizationSystem::shared().setLanguage(QStringLiteral("en"));
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(folder);
    int failures = 0;
    for (const bool dark : {false, true}) {
        QVMStyleService::shared().setDesktopColorScheme(dark ? QVMStyleService::ColorScheme::Dark
                                                             : QVMStyleService::ColorScheme::Light);
        QWidget *window = sampleWindow(dark);
        QApplication::processEvents();
        const QString path = QDir(folder).filePath(dark ? QStringLiteral("ui-palette-dark.png")
                                                        : QStringLiteral("ui-palette-light.png"));
        if (!window->grab().save(path))
            ++failures;
        delete window;
    }
    return failures;
}
