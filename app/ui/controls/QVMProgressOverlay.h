#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QPointer>
#include <QWidget>

class QTimer;

// A work-in-progress overlay covering one view: a rounded bezel in the middle
// with a busy spinner or a progress bar and a label. A view has at most one
// (HUDForView finds it); it follows the view's size. Main thread only.
// QVMSpinner adds and removes overlays for its callers.
class QVMProgressOverlay : public QWidget {
    Q_OBJECT
public:
    enum Mode { Indeterminate = 0, Determinate = 1, DeterminateHorizontalBar = 2 };

    explicit QVMProgressOverlay(QWidget *view);

    static QVMProgressOverlay *HUDForView(const QWidget *view);
    // A new overlay of this class over the view (the caller checks HUDForView first).
    static QVMProgressOverlay *showHUDAddedTo(QWidget *view);
    // Removes the view's overlay; false when it had none.
    static bool hideHUDForView(QWidget *view);

    Mode mode() const { return m_mode; }
    void setMode(Mode mode);
    QString labelText() const { return m_labelText; }
    void setLabelText(const QString &text);
    QFont labelFont() const { return m_labelFont; }
    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    qreal margin() const { return m_margin; }
    void setMargin(qreal margin);
    QPointF offset() const { return m_offset; }
    void setOffset(const QPointF &offset);
    float progress() const { return m_progress; }
    void setProgress(float progress);

    // The bezel's rectangle in the overlay.
    QRectF bezelRect() const;

    // Who asked for the overlay to stay; it goes when the last one lets go or is destroyed.
    void addOwner(QObject *owner);
    // False when the owner held no claim.
    bool removeOwner(QObject *owner);
    bool hasOwners() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    static QVMProgressOverlay *attach(QVMProgressOverlay *overlay);
    // Placement of extra controls after the overlay's own geometry changed.
    virtual void layoutOverlay() {}
    void resizeEvent(QResizeEvent *event) override;

private:
    QSizeF indicatorSize() const;
    void updateSpinning();
    void ownerDestroyed(QObject *owner);

    Mode m_mode = Indeterminate;
    QString m_labelText;
    QFont m_labelFont;
    QColor m_color;
    qreal m_margin = 20;
    QPointF m_offset;
    float m_progress = 0;
    int m_spinnerStep = 0;
    QTimer *m_spinnerTimer;
    QList<QPointer<QObject>> m_owners;
};
