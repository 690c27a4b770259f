#pragma once

// Checks every window test can run over a whole widget tree:
//
//   uitest::expectReadableInBothPalettes(window);   // text/background contrast >= 4.5:1, light and dark
//   uitest::expectEveryControlNamed(window);        // tooltip and accessible name on every control
//
// The contrast check switches the appearance through QVMStyleService (as the
// desktop would, live), so a window must follow QEvent::PaletteChange to pass.

#include "services/graphics/QVMStyleService.h"
#include "support/EventLoop.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cmath>

namespace uitest {

// The WCAG 2 contrast ratio of two opaque colours (1 to 21).
inline double contrastRatio(const QColor &a, const QColor &b) {
    const auto luminance = [](const QColor &colour) {
        const auto channel = [](double value) {
            return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
               0.0722 * channel(colour.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

struct ColourPair {
    QString where; // class and object name of the widget, and the roles
    QColor text, background;
};

// The background a widget's text lands on: its own or its nearest ancestor's filled background.
inline QColor backgroundBehind(const QWidget *widget) {
    for (const QWidget *w = widget; w; w = w->parentWidget()) {
        if (w->autoFillBackground() || w->isWindow() || qobject_cast<const QAbstractScrollArea *>(w))
            return w->palette().color(QPalette::Active, w->backgroundRole());
    }
    return widget->palette().color(QPalette::Active, QPalette::Window);
}

// The colours a text view's own formats draw with: coloured words (a highlighter's or the
// document's), and marks laid over ranges, each on the background it lands on.
inline QList<ColourPair> textColourPairs(const QTextEdit *edit, const QString &where) {
    QList<ColourPair> pairs;
    const QPalette p = edit->palette();
    const QColor base = p.color(QPalette::Active, QPalette::Base);
    const QColor text = p.color(QPalette::Active, QPalette::Text);
    const auto add = [&](const QTextCharFormat &format, const QString &what) {
        const bool hasInk = format.foreground().style() != Qt::NoBrush;
        const bool hasPaper = format.background().style() != Qt::NoBrush;
        if (!hasInk && !hasPaper)
            return;
        pairs.append({where + QLatin1Char(' ') + what, hasInk ? format.foreground().color() : text,
                      hasPaper ? format.background().color() : base});
    };
    for (QTextBlock block = edit->document()->begin(); block.isValid(); block = block.next()) {
        if (block.layout())
            for (const QTextLayout::FormatRange &range : block.layout()->formats())
                add(range.format, QStringLiteral("word format"));
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment)
            add(fragment.fragment().charFormat(), QStringLiteral("character format"));
    }
    for (const QTextEdit::ExtraSelection &selection : edit->extraSelections())
        add(selection.format, QStringLiteral("mark"));
    return pairs;
}

// The text colour a widget's own style sheet sets ("color: #rrggbb"); invalid when none.
inline QColor styleSheetColour(const QWidget *widget) {
    static const QRegularExpression colour(QStringLiteral("(?:^|[;{\\s])color\\s*:\\s*([#\\w]+)"));
    const QRegularExpressionMatch match = colour.match(widget->styleSheet());
    return match.hasMatch() ? QColor(match.captured(1)) : QColor();
}

// Rich text of a label: links in the palette's link colour, and colours the text sets itself.
inline QList<ColourPair> richTextPairs(const QLabel *label, const QString &where) {
    QList<ColourPair> pairs;
    if (label->textFormat() == Qt::PlainText ||
        (label->textFormat() == Qt::AutoText && !Qt::mightBeRichText(label->text())))
        return pairs;
    const QColor background = backgroundBehind(label);
    QTextDocument document;
    document.setHtml(label->text());
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
            const QTextCharFormat format = fragment.fragment().charFormat();
            if (format.foreground().style() != Qt::NoBrush)
                pairs.append({where + QStringLiteral(" span"), format.foreground().color(), background});
            else if (format.isAnchor())
                pairs.append({where + QStringLiteral(" link"),
                              label->palette().color(QPalette::Active, QPalette::Link), background});
        }
    }
    return pairs;
}

// Every text/background pair the widgets under root draw with (enabled, not hidden ones).
inline QList<ColourPair> colourPairs(QWidget *root) {
    QList<ColourPair> pairs;
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    const auto name = [](const QWidget *w, const char *roles) {
        return QStringLiteral("%1 \"%2\" %3")
            .arg(QString::fromLatin1(w->metaObject()->className()), w->objectName(),
                 QString::fromLatin1(roles));
    };
    for (QWidget *w : std::as_const(widgets)) {
        const bool menu = qobject_cast<QMenu *>(w) != nullptr;
        if (!w->isEnabled() || (!menu && !w->isVisibleTo(root) && w != root))
            continue;
        const QPalette p = w->palette();
        const auto add = [&](const char *roles, QPalette::ColorRole text, const QColor &background) {
            pairs.append({name(w, roles), p.color(QPalette::Active, text), background});
        };
        if (auto *edit = qobject_cast<QTextEdit *>(w);
            edit || qobject_cast<QPlainTextEdit *>(w) || qobject_cast<QLineEdit *>(w)) {
            add("Text/Base", QPalette::Text, p.color(QPalette::Active, QPalette::Base));
            add("PlaceholderText/Base", QPalette::PlaceholderText, p.color(QPalette::Active, QPalette::Base));
            add("HighlightedText/Highlight", QPalette::HighlightedText,
                p.color(QPalette::Active, QPalette::Highlight));
            if (edit)
                pairs.append(textColourPairs(edit, name(w, "text")));
        } else if (auto *tool = qobject_cast<QToolButton *>(w);
                   tool && (tool->autoRaise() || qobject_cast<QToolBar *>(tool->parentWidget()))) {
            add("ButtonText/behind", QPalette::ButtonText, backgroundBehind(w->parentWidget()));
            if (tool->isChecked() || tool->isDown())
                add("ButtonText/Button", QPalette::ButtonText, p.color(QPalette::Active, QPalette::Button));
        } else if (qobject_cast<QAbstractButton *>(w) || qobject_cast<QComboBox *>(w)) {
            add("ButtonText/Button", QPalette::ButtonText, p.color(QPalette::Active, QPalette::Button));
        } else if (menu || qobject_cast<QMenuBar *>(w)) {
            add("WindowText/Window", QPalette::WindowText, p.color(QPalette::Active, QPalette::Window));
            add("ButtonText/Window", QPalette::ButtonText, p.color(QPalette::Active, QPalette::Window));
        } else if (auto *label = qobject_cast<QLabel *>(w)) {
            add("WindowText/behind", w->foregroundRole(), backgroundBehind(w));
            pairs.append(richTextPairs(label, name(w, "rich text")));
            // A style sheet's colour is what the label draws with, whatever its palette says.
            const QColor styled = styleSheetColour(label);
            if (styled.isValid())
                pairs.append({name(w, "style sheet color/behind"), styled, backgroundBehind(w)});
        }
    }
    return pairs;
}

// Every pair of the tree as it is now reaches the ratio.
inline void expectReadable(QWidget *root, const char *appearance, double minimum = 4.5) {
    const QList<ColourPair> pairs = colourPairs(root);
    EXPECT_FALSE(pairs.isEmpty()) << "nothing to check under the root";
    for (const ColourPair &pair : pairs) {
        const double ratio = contrastRatio(pair.text, pair.background);
        EXPECT_GE(ratio, minimum) << appearance << ": " << pair.where.toStdString() << " "
                                  << pair.text.name().toStdString() << " on "
                                  << pair.background.name().toStdString();
    }
}

// Switches the appearance live to light, then dark, checking the tree each time;
// leaves the appearance to the desktop again.
inline void expectReadableInBothPalettes(QWidget *root, double minimum = 4.5) {
    QVMStyleService &style = QVMStyleService::shared();
    const struct {
        QVMStyleService::ColorScheme scheme;
        const char *name;
    } appearances[] = {{QVMStyleService::ColorScheme::Light, "light"},
                       {QVMStyleService::ColorScheme::Dark, "dark"}};
    for (const auto &appearance : appearances) {
        SCOPED_TRACE(appearance.name);
        style.setDesktopColorScheme(appearance.scheme);
        qvtest::spin(20);
        expectReadable(root, appearance.name, minimum);
    }
    style.setDesktopColorScheme(QVMStyleService::ColorScheme::Light);
    style.setDesktopColorScheme(QVMStyleService::ColorScheme::NoPreference);
    qvtest::spin(10);
}

// Every button, pop-up and text control under root has an accessible name, and
// every button and pop-up a tooltip (text controls too with textTooltips).
inline void expectEveryControlNamed(QWidget *root, bool textTooltips = false) {
    int checked = 0;
    for (QWidget *w : root->findChildren<QWidget *>()) {
        const bool button = qobject_cast<QAbstractButton *>(w) || qobject_cast<QComboBox *>(w);
        const bool text = qobject_cast<QTextEdit *>(w) || qobject_cast<QLineEdit *>(w);
        // Qt's own parts (the toolbar's extension arrow, a combo box's line edit) are named by Qt.
        if ((!button && !text) || w->objectName().startsWith(QLatin1String("qt_")) ||
            qobject_cast<QComboBox *>(w->parentWidget()) || w->isHidden())
            continue;
        ++checked;
        const std::string what =
            std::string(w->metaObject()->className()) + " \"" + w->objectName().toStdString() + "\" text \"" +
            (qobject_cast<QAbstractButton *>(w) ? qobject_cast<QAbstractButton *>(w)->text() : QString())
                .toStdString() +
            "\"";
        EXPECT_FALSE(w->accessibleName().trimmed().isEmpty()) << what << " has no accessible name";
        if (button || textTooltips) {
            EXPECT_FALSE(w->toolTip().trimmed().isEmpty()) << what << " has no tooltip";
        }
    }
    EXPECT_GT(checked, 0) << "no control under the root";
}

} // namespace uitest
