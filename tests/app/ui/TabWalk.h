#pragma once

// Walks a window with the Tab key as a keyboard user does, from the widget
// that has the focus, and gives the accessible name of each stop (the class
// name when a stop has none), until the walk comes back to where it started.
//
//   window->show(); field->setFocus();
//   EXPECT_EQ(uitest::tabWalk(window), (QStringList{"Address", "Translate", "Close"}));
//
// Web pages take Tab in their own process and hand the focus on a moment
// later, so each step waits for the focus to move.

#include "support/EventLoop.h"

#include <QApplication>
#include <QKeyEvent>
#include <QStringList>
#include <QWidget>

namespace uitest {

inline QString stopName(const QWidget *widget) {
    if (!widget)
        return QStringLiteral("<nothing>");
    return widget->accessibleName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                              : widget->accessibleName();
}

inline QStringList tabWalk(QWidget *window, int limit = 16) {
    window->activateWindow();
    qvtest::spin(20);
    QWidget *start = QApplication::focusWidget();
    QStringList stops;
    QWidget *current = start;
    for (int i = 0; i < limit && current; ++i) {
        stops << stopName(current);
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(current, &tab);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(current, &release);
        QWidget *before = current;
        qvtest::waitUntil([before] { return QApplication::focusWidget() != before; }, 2000);
        current = QApplication::focusWidget();
        if (current == start || current == before)
            break;
    }
    return stops;
}

} // namespace uitest
