#pragma once

#include <QLineEdit>

// A text field whose insertion point takes the field's text colour (the
// popover language list's search field on its dark or light background).
class QVTextField : public QLineEdit {
    Q_OBJECT
public:
    explicit QVTextField(QWidget *parent = nullptr);

    QColor textColor() const;
    // The text and the insertion point: the line edit draws its insertion
    // point with the text colour of its palette.
    void setTextColor(const QColor &color);
};
