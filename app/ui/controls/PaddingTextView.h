#pragma once

#include <QList>
#include <QPair>
#include <QPointF>
#include <QSizeF>
#include <QTextEdit>

// The source and result text view of the main translation view.
// - Text sits 2 points from the left, 20 from the right and 2 from the top and
//   bottom (an inset of 11 x 2 with the text moved 9 points left).
// - A drop of files hands the last path to textViewWasDraggedFile and inserts
//   nothing; a drop of text (from this program or another) inserts it where it
//   lands and is announced as a paste is; any other drop is refused.
// - Focus changes are announced (not for context menus or window switches).
// - Every paste posts "NSTextViewPasteNotification" (user info "object": the
//   view) one main-loop turn later, after the pasted text is in.
// - highlightRange gives a range inside the text the highlight background
//   (dark or light appearance colour); highlights add up until unhighlight.
//   They are drawn over the text, not stored in it, so undo never sees them.
//
//   connect(view, &PaddingTextView::textViewWasDraggedFile, this, &Main::openDroppedFile);
//   view->unhighlight();
//   view->highlightRange(sentence.start, sentence.length);
class PaddingTextView : public QTextEdit {
    Q_OBJECT
public:
    explicit PaddingTextView(QWidget *parent = nullptr);

    static constexpr const char *kPasteNotification = "NSTextViewPasteNotification";
    static constexpr const char *kObjectKey = "object";

    static constexpr QSizeF kTextContainerInset{11.0, 2.0};
    static constexpr qreal kOriginShift = 9.0;
    // Where the text's first line starts in the viewport's frame: the inset moved left.
    static QPointF textContainerOrigin() {
        return QPointF(kTextContainerInset.width() - kOriginShift, kTextContainerInset.height());
    }

    // Nothing when the range reaches past the text or the view refuses the change.
    void highlightRange(int location, int length);
    // Removes every highlight and every background colour of the text.
    void unhighlight();
    // Highlighted ranges (location, length), in the order they were added.
    QList<QPair<int, int>> highlightedRanges() const;

signals:
    void textViewDidBecomeFirstResponder(PaddingTextView *textView);
    void textViewDidResignFirstResponder(PaddingTextView *textView);
    void textViewWasDraggedFile(const QString &path, PaddingTextView *textView);
    void highlightChanged();

protected:
    // Whether the range may change its attributes; a subclass may refuse.
    virtual bool shouldChangeTextInRange(int location, int length);

    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
};
