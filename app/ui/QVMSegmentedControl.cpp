#include "QVMSegmentedControl.h"

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
        layout->addWidget(button);
        m_segments.append(button);
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
