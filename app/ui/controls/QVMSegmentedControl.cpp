#include "ui/controls/QVMSegmentedControl.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QToolButton>

QVMSegmentedControl::QVMSegmentedControl(TrackingMode mode, const QStringList &labels, QWidget *parent)
    : QWidget(parent), m_mode(mode) {
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < labels.size(); ++i) {
        auto *button = new QToolButton(this);
        button->setText(labels.at(i));
        button->setToolTip(labels.at(i));
        button->setAccessibleName(labels.at(i));
        button->setCheckable(true);
        button->setAutoRaise(false);
        // The control decides the new state; the button's own toggle would race it.
        connect(button, &QToolButton::clicked, this, [this, i, button] {
            button->setChecked(!button->isChecked());
            click(i);
        });
        connect(button, &QToolButton::toggled, this, [this, button] { paintSegment(button); });
        layout->addWidget(button);
        m_segments.append(button);
        paintSegment(button);
    }
    if (m_mode == SelectOne && !m_segments.isEmpty())
        m_segments.first()->setChecked(true);
}

bool QVMSegmentedControl::isSelectedForSegment(int segment) const {
    return segment >= 0 && segment < m_segments.size() && m_segments.at(segment)->isChecked();
}

void QVMSegmentedControl::setSelected(bool selected, int segment) {
    if (segment < 0 || segment >= m_segments.size())
        return;
    if (m_mode == SelectOne) {
        if (!selected)
            return; // one segment always stays selected
        for (int i = 0; i < m_segments.size(); ++i)
            m_segments.at(i)->setChecked(i == segment);
        return;
    }
    m_segments.at(segment)->setChecked(selected);
}

int QVMSegmentedControl::selectedSegment() const {
    if (m_lastClicked >= 0)
        return m_lastClicked;
    for (int i = 0; i < m_segments.size(); ++i) {
        if (m_segments.at(i)->isChecked())
            return i;
    }
    return -1;
}

QToolButton *QVMSegmentedControl::segmentButton(int segment) const {
    return segment >= 0 && segment < m_segments.size() ? m_segments.at(segment) : nullptr;
}

void QVMSegmentedControl::click(int segment) {
    if (segment < 0 || segment >= m_segments.size())
        return;
    if (m_mode == SelectOne)
        setSelected(true, segment);
    else
        m_segments.at(segment)->setChecked(!m_segments.at(segment)->isChecked());
    m_lastClicked = segment;
    emit segmentClicked(segment);
}

void QVMSegmentedControl::paintSegment(QToolButton *button) {
    const QPalette own = palette();
    QPalette colours = own;
    if (button->isChecked()) {
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            colours.setColor(group, QPalette::Button, own.color(group, QPalette::Highlight));
            colours.setColor(group, QPalette::ButtonText, own.color(group, QPalette::HighlightedText));
        }
    }
    button->setPalette(colours);
}

void QVMSegmentedControl::changeEvent(QEvent *event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        for (QToolButton *button : std::as_const(m_segments))
            paintSegment(button);
}
