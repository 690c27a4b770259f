#pragma once

#include <QColor>
#include <QPointF>

class QWidget;

// A blurred shadow around a child widget, painted by its parent from a small image made once
// per colour and radius. A graphics effect would instead render and blur the widget with all
// its children at each of their repaints (a list scrolling inside it, the first frame).
namespace QVMSoftShadow {

// `offset` moves the shadow as a widget's y does (downwards). The view keeps its parent.
void attach(QWidget *view, qreal blurRadius, const QPointF &offset, const QColor &colour);

} // namespace QVMSoftShadow
