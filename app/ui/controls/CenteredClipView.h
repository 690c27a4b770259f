#pragma once

#include <QScrollArea>

// A scroll area that keeps a document smaller than itself centred; a document
// at least as large in a dimension scrolls in it as usual.
class CenteredClipView : public QScrollArea {
    Q_OBJECT
public:
    explicit CenteredClipView(QWidget *parent = nullptr);
};
