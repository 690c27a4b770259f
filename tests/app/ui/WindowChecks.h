#pragma once

// Checks every window test can run over a whole widget tree:
//
//   uitest::expectReadableInBothPalettes(window);   // text/background contrast >= 4.5:1, light and dark
//   uitest::expectEveryControlNamed(window);        // tooltip and accessible name on every control
//
// The contrast check switches the appearance through QVMStyleService (as the
// desktop would, live), so a window must follow QEvent::PaletteChange to pass.
// Placeholders count, translucent colours as they show, and a button's text is
// checked on the face the style really paints (lighter or darker than its palette).

#include "services/graphics/QVMStyleService.h"
#include "support/EventLoop.h"
#include "ui/controls/TextViewWithPlaceHolder.h"
#include "ui/style/QVMAppearance.h"
#include "ui/style/QVMColor.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionToolButton>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>

#include <gtest/gtest.h>

#include <cmath>

namespace uitest {

// The WCAG 2 contrast ratio (1 to 21), a translucent text colour taken as it shows.
inline double contrastRatio(const QColor &a, const QColor &b) {
    return QVMColor::contrastRatio(a, b);
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

// The face the style paints under a button's or pop-up's text, drawn without the text over the
// background behind the control, and where the text goes on it. Null for a control that paints
// itself (a subclass) or shows no face (flat, or raised only under the pointer).
inline QImage paintedFace(QWidget *w, QRect *textArea) {
    QStyle *style = w->style();
    QImage face(w->size(), QImage::Format_ARGB32_Premultiplied);
    face.fill(backgroundBehind(w->parentWidget() ? w->parentWidget() : w));
    QPainter painter(&face);
    const auto common = [w](QStyleOption &option) {
        option.initFrom(w);
        option.state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
    };
    if (w->metaObject() == &QPushButton::staticMetaObject) {
        auto *button = static_cast<QPushButton *>(w);
        if (button->isFlat() && !button->isChecked() && !button->isDown())
            return {};
        QStyleOptionButton option;
        common(option);
        option.features = button->isFlat() ? QStyleOptionButton::Flat : QStyleOptionButton::None;
        if (button->isDefault())
            option.features |= QStyleOptionButton::DefaultButton;
        option.state |= button->isDown() ? QStyle::State_Sunken : QStyle::State_Raised;
        if (button->isChecked())
            option.state |= QStyle::State_On;
        style->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, button);
        *textArea = style->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    } else if (w->metaObject() == &QToolButton::staticMetaObject) {
        auto *tool = static_cast<QToolButton *>(w);
        const bool pressed = tool->isChecked() || tool->isDown();
        if (tool->autoRaise() && !pressed)
            return {};
        QStyleOptionToolButton option;
        common(option);
        option.subControls = QStyle::SC_ToolButton;
        option.activeSubControls = QStyle::SC_None;
        option.toolButtonStyle = Qt::ToolButtonTextOnly;
        if (tool->autoRaise())
            option.state |= QStyle::State_AutoRaise;
        else
            option.state |= QStyle::State_Raised;
        if (tool->isDown())
            option.state |= QStyle::State_Sunken;
        if (tool->isChecked())
            option.state |= QStyle::State_On;
        style->drawComplexControl(QStyle::CC_ToolButton, &option, &painter, tool);
        *textArea = option.rect.adjusted(3, 3, -3, -3);
    } else if (w->metaObject() == &QComboBox::staticMetaObject &&
               !static_cast<QComboBox *>(w)->isEditable()) {
        auto *combo = static_cast<QComboBox *>(w);
        QStyleOptionComboBox option;
        common(option);
        option.editable = false;
        option.frame = combo->hasFrame();
        option.subControls = QStyle::SC_ComboBoxFrame | QStyle::SC_ComboBoxEditField;
        style->drawComplexControl(QStyle::CC_ComboBox, &option, &painter, combo);
        *textArea = style->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
    } else {
        return {};
    }
    return face;
}

// The colour of the painted face that the text reads worst on, across the middle of the text's
// area (a gradient face is lighter at one end); invalid when the style paints no face.
inline QColor worstFaceUnder(QWidget *w, const QColor &text) {
    QRect area;
    const QImage face = paintedFace(w, &area);
    area = area.intersected(face.rect());
    if (face.isNull() || area.isEmpty())
        return {};
    QColor worst;
    double lowest = 22;
    for (int y = area.top() + area.height() / 4; y <= area.bottom() - area.height() / 4; ++y) {
        for (int x = area.left(); x <= area.right(); x += 2) {
            const QColor pixel = face.pixelColor(x, y);
            const double ratio = contrastRatio(text, pixel);
            if (ratio < lowest) {
                lowest = ratio;
                worst = pixel;
            }
        }
    }
    return worst;
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
        const auto addFace = [&](const char *roles) {
            const QColor text = p.color(QPalette::Active, QPalette::ButtonText);
            const QColor face = worstFaceUnder(w, text);
            if (face.isValid())
                pairs.append({name(w, roles), text, face});
            return face.isValid();
        };
        if (auto *edit = qobject_cast<QTextEdit *>(w);
            edit || qobject_cast<QPlainTextEdit *>(w) || qobject_cast<QLineEdit *>(w)) {
            add("Text/Base", QPalette::Text, p.color(QPalette::Active, QPalette::Base));
            add("PlaceholderText/Base", QPalette::PlaceholderText, p.color(QPalette::Active, QPalette::Base));
            add("HighlightedText/Highlight", QPalette::HighlightedText,
                p.color(QPalette::Active, QPalette::Highlight));
            if (auto *hinted = qobject_cast<TextViewWithPlaceHolder *>(w))
                pairs.append({name(w, "hint/Base"), hinted->placeholder().color,
                              p.color(QPalette::Active, QPalette::Base)});
            if (edit)
                pairs.append(textColourPairs(edit, name(w, "text")));
        } else if (auto *tool = qobject_cast<QToolButton *>(w);
                   tool && (tool->autoRaise() || qobject_cast<QToolBar *>(tool->parentWidget()))) {
            add("ButtonText/behind", QPalette::ButtonText, backgroundBehind(w->parentWidget()));
            if ((tool->isChecked() || tool->isDown()) && !addFace("ButtonText/painted face"))
                add("ButtonText/Button", QPalette::ButtonText, p.color(QPalette::Active, QPalette::Button));
        } else if (qobject_cast<QAbstractButton *>(w) || qobject_cast<QComboBox *>(w)) {
            // What the style paints, where it paints; a control that paints itself by its palette.
            if (!addFace("ButtonText/painted face"))
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

// Switches the appearance live as the desktop would: light, dark, light again after the switch,
// then the desktop theme's own palette (no scheme stated); checks the tree each time and leaves
// the appearance to the desktop again. The application's palette is put in place as at start.
inline void expectReadableInBothPalettes(QWidget *root, double minimum = 4.5) {
    QVMAppearance::install();
    QVMStyleService &style = QVMStyleService::shared();
    const struct {
        QVMStyleService::ColorScheme scheme;
        const char *name;
    } appearances[] = {{QVMStyleService::ColorScheme::Light, "light"},
                       {QVMStyleService::ColorScheme::Dark, "dark"},
                       {QVMStyleService::ColorScheme::Light, "light after a live switch"},
                       {QVMStyleService::ColorScheme::NoPreference, "the desktop theme's palette"}};
    for (const auto &appearance : appearances) {
        SCOPED_TRACE(appearance.name);
        style.setDesktopColorScheme(appearance.scheme);
        qvtest::spin(20);
        expectReadable(root, appearance.name, minimum);
    }
    style.setDesktopColorScheme(QVMStyleService::ColorScheme::NoPreference);
    qvtest::spin(10);
}

// The tooltip a view shows over one of its rows, as a hovering pointer would ask for it: the
// widget under the pointer (a cell's own widget, or the list) is asked first, then its parents.
inline QString toolTipOverRow(QAbstractItemView *view, const QModelIndex &index) {
    const QPoint at = view->visualRect(index).center();
    QWidget *under = view->viewport()->childAt(at);
    QWidget *target = under ? under : view->viewport();
    const QPoint local = target->mapFrom(view->viewport(), at);
    QToolTip::hideText();
    QHelpEvent help(QEvent::ToolTip, local, target->mapToGlobal(local));
    QCoreApplication::sendEvent(target, &help);
    const QString shown = QToolTip::isVisible() ? QToolTip::text() : QString();
    QToolTip::hideText();
    return shown;
}

// Every control under root (buttons, pop-ups, text fields, sliders, spin boxes, lists) has an
// accessible name and a tooltip; a list's rows each show one when hovered (Qt shows only the
// rows' own tooltips over a list, never the list's).
inline void expectEveryControlNamed(QWidget *root) {
    int checked = 0;
    for (QWidget *w : root->findChildren<QWidget *>()) {
        const bool button = qobject_cast<QAbstractButton *>(w) || qobject_cast<QComboBox *>(w);
        const bool text =
            qobject_cast<QTextEdit *>(w) || qobject_cast<QLineEdit *>(w) || qobject_cast<QPlainTextEdit *>(w);
        const bool other = qobject_cast<QAbstractSlider *>(w) || qobject_cast<QAbstractSpinBox *>(w);
        auto *list = qobject_cast<QAbstractItemView *>(w);
        // Qt's own parts (the toolbar's extension arrow, a combo box's line edit and list, a
        // scroll bar) are named by Qt.
        if ((!button && !text && !other && !list) || qobject_cast<QScrollBar *>(w) ||
            w->objectName().startsWith(QLatin1String("qt_")) ||
            qobject_cast<QComboBox *>(w->parentWidget()) || w->isHidden() || !w->isVisibleTo(root))
            continue;
        ++checked;
        const std::string what =
            std::string(w->metaObject()->className()) + " \"" + w->objectName().toStdString() + "\" text \"" +
            (qobject_cast<QAbstractButton *>(w) ? qobject_cast<QAbstractButton *>(w)->text() : QString())
                .toStdString() +
            "\"";
        EXPECT_FALSE(w->accessibleName().trimmed().isEmpty()) << what << " has no accessible name";
        EXPECT_FALSE(w->toolTip().trimmed().isEmpty()) << what << " has no tooltip";
        if (!list || !list->model())
            continue;
        // The first rows on screen stand for the others.
        for (int row = 0, shown = 0; row < list->model()->rowCount(list->rootIndex()) && shown < 5; ++row) {
            const QModelIndex index = list->model()->index(row, 0, list->rootIndex());
            if (!list->visualRect(index).intersects(list->viewport()->rect()))
                continue;
            ++shown;
            EXPECT_FALSE(toolTipOverRow(list, index).trimmed().isEmpty())
                << what << " shows no tooltip over row " << row;
        }
    }
    EXPECT_GT(checked, 0) << "no control under the root";
}

} // namespace uitest
