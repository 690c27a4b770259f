#include "ui/controls/CenteredClipView.h"

CenteredClipView::CenteredClipView(QWidget *parent) : QScrollArea(parent) {
    setAlignment(Qt::AlignCenter);
}
