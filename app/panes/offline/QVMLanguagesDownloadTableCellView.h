#pragma once
#include <QLabel>
#include <QWidget>

// A language's name beside its round flag inside a circular border.
class QVMLanguagesDownloadTableCellView : public QWidget {
    Q_OBJECT
public:
    explicit QVMLanguagesDownloadTableCellView(QWidget *parent = nullptr);
    QLabel *nameTextField() const { return m_name; }
    QLabel *pictureImageView() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QLabel *m_name;
    QLabel *m_picture;
};
