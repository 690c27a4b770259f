#pragma once

#include <QImage>
#include <QLabel>

// The photo window's picture at any zoom. It paints only the part that shows,
// scaled as it paints, so a zoomed photograph never becomes a second, larger
// copy in memory and a zoom step never stalls the window.
//
//   auto *picture = new QVMPhotoImageView;
//   picture->setImage(photo);                 // once per picture
//   picture->resize(photo.size() * 2);        // 200 %
class QVMPhotoImageView : public QLabel {
    Q_OBJECT
public:
    explicit QVMPhotoImageView(QWidget *parent = nullptr);

    void setImage(const QImage &image);
    QImage image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_image;
};
