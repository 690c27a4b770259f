#include "ui/style/QVMAppearance.h"

#include "services/graphics/QVMStyleService.h"
#include "ui/style/QVMColor.h"

#include <QApplication>
#include <QStyle>

namespace {

struct Colours {
    QColor window, text, base, button, disabledText, placeholder, highlight, link, light, mid, dark;
};

Colours coloursFor(bool dark) {
    // Buttons: the style paints their face lighter than the palette says (a dark grey up to a
    // quarter lighter at the top of its gradient), so the dark face starts darker than the named
    // button colour for white text to stay readable on all of it.
    if (dark)
        return {QVMColor::windowBackgroundDarkColor(),
                QColor(Qt::white),
                QVMColor::panelBackgroundDarkColor(),
                QColor(0x4a, 0x4a, 0x4a),
                QColor(0xba, 0xba, 0xba),
                QColor(0xbd, 0xbd, 0xbd),
                QColor(0x1d, 0x5f, 0x94),
                QColor(0x8c, 0xc8, 0xff),
                QColor(0x6e, 0x6e, 0x6e),
                QColor(0x3a, 0x3a, 0x3a),
                QColor(0x2a, 0x2a, 0x2a)};
    return {QVMColor::windowBackgroundLightColor(),
            QColor(Qt::black),
            QColor(Qt::white),
            QVMColor::buttonColor(),
            QColor(0x66, 0x66, 0x66),
            QColor(0x6b, 0x6b, 0x6b),
            QColor(0x1d, 0x5f, 0x94),
            QColor(0x1d, 0x5f, 0x94),
            QColor(Qt::white),
            QColor(0xc8, 0xc8, 0xc8),
            QColor(0xa0, 0xa0, 0xa0)};
}

} // namespace

QVMAppearance::QVMAppearance(QObject *parent) : QObject(parent) {
    QCoreApplication::instance()->installEventFilter(this);
    connect(&QVMStyleService::shared(), &QVMStyleService::desktopColorSchemeChanged, this,
            &QVMAppearance::apply);
}

void QVMAppearance::install() {
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    if (!app)
        return;
    static QVMAppearance *installed = nullptr;
    if (!installed)
        installed = new QVMAppearance(app);
    installed->apply();
}

// While the desktop states a scheme the application's palette is ours; when it
// states none, the palette it had before (the desktop theme's) comes back, with
// its texts made readable (a theme's placeholder is often its text at half opacity).
void QVMAppearance::apply() {
    const QVMStyleService::ColorScheme scheme = QVMStyleService::shared().desktopColorScheme();
    if (!m_owned) {
        m_original = QApplication::palette();
        m_owned = true;
    }
    const QPalette wanted = scheme == QVMStyleService::ColorScheme::NoPreference
                                ? readablePalette(m_original)
                                : palette(scheme == QVMStyleService::ColorScheme::Dark);
    if (QApplication::palette() != wanted) {
        m_applying = true;
        QApplication::setPalette(wanted);
        m_applying = false;
    }
}

// The desktop theme set a palette of its own while ours was in place: that one is what
// comes back when the desktop states no scheme, and ours stays while it states one.
bool QVMAppearance::eventFilter(QObject *watched, QEvent *event) {
    if (watched == QCoreApplication::instance() && event->type() == QEvent::ApplicationPaletteChange &&
        m_owned && !m_applying) {
        m_original = QApplication::palette();
        m_owned = false;
        apply();
    }
    return QObject::eventFilter(watched, event);
}

QPalette QVMAppearance::readablePalette(const QPalette &palette) {
    static constexpr struct {
        QPalette::ColorRole text, background;
    } kPairs[] = {
        {QPalette::WindowText, QPalette::Window},
        {QPalette::Text, QPalette::Base},
        {QPalette::PlaceholderText, QPalette::Base},
        {QPalette::ButtonText, QPalette::Button},
        {QPalette::HighlightedText, QPalette::Highlight},
        {QPalette::ToolTipText, QPalette::ToolTipBase},
        {QPalette::Link, QPalette::Base},
        {QPalette::LinkVisited, QPalette::Base},
    };
    QPalette readable = palette;
    // Greyed texts too: moved only as far as reading asks, they still look out of use.
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        for (const auto &pair : kPairs) {
            const QColor text = palette.color(group, pair.text);
            const QColor mended = QVMColor::readableOn(text, palette.color(group, pair.background));
            if (mended != text)
                readable.setColor(group, pair.text, mended);
        }
    }
    return readable;
}

QPalette QVMAppearance::palette(bool dark) {
    const Colours c = coloursFor(dark);
    QPalette palette = QApplication::style() ? QApplication::style()->standardPalette() : QPalette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool disabled = group == QPalette::Disabled;
        const QColor ink = disabled ? c.disabledText : c.text;
        palette.setColor(group, QPalette::Window, c.window);
        palette.setColor(group, QPalette::WindowText, ink);
        palette.setColor(group, QPalette::Base, c.base);
        palette.setColor(group, QPalette::AlternateBase, c.window);
        palette.setColor(group, QPalette::Text, ink);
        palette.setColor(group, QPalette::Button, c.button);
        palette.setColor(group, QPalette::ButtonText, ink);
        palette.setColor(group, QPalette::BrightText, c.text);
        palette.setColor(group, QPalette::PlaceholderText, c.placeholder);
        palette.setColor(group, QPalette::Highlight, c.highlight);
        palette.setColor(group, QPalette::HighlightedText, QColor(Qt::white));
        palette.setColor(group, QPalette::Link, c.link);
        palette.setColor(group, QPalette::LinkVisited, c.link);
        palette.setColor(group, QPalette::ToolTipBase, c.base);
        palette.setColor(group, QPalette::ToolTipText, c.text);
        palette.setColor(group, QPalette::Light, c.light);
        palette.setColor(group, QPalette::Midlight, c.button);
        palette.setColor(group, QPalette::Mid, c.mid);
        palette.setColor(group, QPalette::Dark, c.dark);
        palette.setColor(group, QPalette::Shadow, c.dark);
    }
    return palette;
}
