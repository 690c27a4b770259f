#pragma once
#include <QLabel>
#include <QList>
#include <QWidget>

// The kinds a language's packages hold, as small drawn icons: text model (2),
// text recognition (4) and dictionary (5). Other codes are skipped.
class QVMOptionsTableCellView : public QWidget {
    Q_OBJECT
public:
    explicit QVMOptionsTableCellView(QWidget *parent = nullptr);
    void showTypes(const QList<uint> &types);

    QLabel *opennmtImageView() const { return m_opennmt; }
    QLabel *tesseractImageView() const { return m_tesseract; }
    QLabel *wordnetImageView() const { return m_wordnet; }

protected:
    void changeEvent(QEvent *event) override;

private:
    QLabel *makeIcon(const QString &key, QChar glyph);
    void redraw();
    QLabel *m_opennmt;
    QLabel *m_tesseract;
    QLabel *m_wordnet;
};
