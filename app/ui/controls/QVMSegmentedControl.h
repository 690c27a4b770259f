#pragma once

#include <QList>
#include <QWidget>

class QToolButton;

// A row of segments, as the toolbar's panel and layout controls use them.
// SelectOne keeps exactly one segment selected (a click selects it);
// SelectAny lets each segment be on or off (a click toggles it). Every click
// emits segmentClicked after the selection changed; setSelected emits nothing.
// Selected segments show in the palette's highlight colours, so on and off
// read the same way round in light and dark.
//
//   auto *panels = new QVMSegmentedControl(QVMSegmentedControl::SelectAny, {"From", "To", "History"});
//   connect(panels, &QVMSegmentedControl::segmentClicked, this, &Window::onPanels);
class QVMSegmentedControl : public QWidget {
    Q_OBJECT
public:
    enum TrackingMode { SelectOne, SelectAny };

    QVMSegmentedControl(TrackingMode mode, const QStringList &labels, QWidget *parent = nullptr);

    int segmentCount() const { return int(m_segments.size()); }
    bool isSelectedForSegment(int segment) const;
    void setSelected(bool selected, int segment);
    // The segment clicked last, else the first selected one; -1 when none.
    int selectedSegment() const;
    QToolButton *segmentButton(int segment) const;
    // Clicks a segment as the user would (tests, keyboard).
    void click(int segment);

signals:
    void segmentClicked(int segment);

protected:
    void changeEvent(QEvent *event) override;

private:
    // A selected segment is drawn in the highlight colours, the others as plain
    // buttons, in light and dark alike.
    void paintSegment(QToolButton *button);

    TrackingMode m_mode;
    QList<QToolButton *> m_segments;
    int m_lastClicked = -1;
};
