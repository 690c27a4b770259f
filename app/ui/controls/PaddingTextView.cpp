#include "ui/controls/PaddingTextView.h"

#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "services/graphics/QVMStyleService.h"
#include "ui/controls/QVMLongRunWrapping.h"
#include "ui/style/QVMColor.h"

#include <QDropEvent>
#include <QMimeData>
#include <QPointer>
#include <QTextBlock>
#include <QTextCursor>

namespace {

QStringList droppedFilePaths(const QMimeData *mime) {
    QStringList paths;
    if (!mime || !mime->hasUrls())
        return paths;
    for (const QUrl &url : mime->urls()) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    return paths;
}

} // namespace

PaddingTextView::PaddingTextView(QWidget *parent) : QTextEdit(parent) {
    const QPointF origin = textContainerOrigin();
    // The right margin keeps the container as wide as the inset on both sides made it.
    const int right = int(kTextContainerInset.width() * 2 - origin.x());
    setViewportMargins(int(origin.x()), int(origin.y()), right, int(kTextContainerInset.height()));
    document()->setDocumentMargin(0);
    // The margins are painted like the text area, not with the parent's colour.
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    setAcceptDrops(true);
    QVMLongRunWrapping::attach(this);
}

// Files go to the delegate and insert nothing; text dropped from anywhere goes in where it lands, as
// a paste does (the paste notification follows). Any other drag is refused.
void PaddingTextView::dragEnterEvent(QDragEnterEvent *event) {
    if (!droppedFilePaths(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else if (event->mimeData() && event->mimeData()->hasText())
        QTextEdit::dragEnterEvent(event);
    else
        event->ignore();
}

void PaddingTextView::dragMoveEvent(QDragMoveEvent *event) {
    if (!droppedFilePaths(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else if (event->mimeData() && event->mimeData()->hasText())
        QTextEdit::dragMoveEvent(event);
    else
        event->ignore();
}

void PaddingTextView::dropEvent(QDropEvent *event) {
    const QStringList paths = droppedFilePaths(event->mimeData());
    if (paths.isEmpty() && event->mimeData() && event->mimeData()->hasText()) {
        QTextEdit::dropEvent(event);
        return;
    }
    // Never the base class's drop of files: nothing is inserted, and the source keeps what it dragged.
    event->setDropAction(Qt::IgnoreAction);
    event->ignore();
    if (!paths.isEmpty())
        emit textViewWasDraggedFile(paths.last(), this);
}

// A switch of the colour scheme repaints the marks in the new scheme's colours.
void PaddingTextView::changeEvent(QEvent *event) {
    QTextEdit::changeEvent(event);
    if (event->type() != QEvent::PaletteChange || extraSelections().isEmpty())
        return;
    const QColor background = QVMStyleService::isDarkMode() ? QVMColor::textSelectionDarkColor()
                                                            : QVMColor::textSelectionLightColor();
    QList<QTextEdit::ExtraSelection> selections = extraSelections();
    for (QTextEdit::ExtraSelection &selection : selections) {
        const QColor was = selection.format.background().color();
        if (was != QVMColor::textSelectionDarkColor() && was != QVMColor::textSelectionLightColor())
            continue;
        selection.format.setBackground(background);
        selection.format.setForeground(QVMColor::inkOn(background));
    }
    setExtraSelections(selections);
}

void PaddingTextView::focusInEvent(QFocusEvent *event) {
    QTextEdit::focusInEvent(event);
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason)
        emit textViewDidBecomeFirstResponder(this);
}

void PaddingTextView::focusOutEvent(QFocusEvent *event) {
    QTextEdit::focusOutEvent(event);
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason)
        emit textViewDidResignFirstResponder(this);
}

void PaddingTextView::insertFromMimeData(const QMimeData *source) {
    // Posted later so observers read the view with the pasted text in it.
    QPointer<PaddingTextView> self(this);
    platform::dispatchAsyncMain([self] {
        if (!self)
            return;
        platform::NotificationCenter::defaultCenter().post(
            QString::fromLatin1(kPasteNotification),
            {{QString::fromLatin1(kObjectKey), QVariant::fromValue(static_cast<QObject *>(self.data()))}});
    });
    QTextEdit::insertFromMimeData(source);
}

bool PaddingTextView::shouldChangeTextInRange(int location, int length) {
    Q_UNUSED(location)
    Q_UNUSED(length)
    return true;
}

void PaddingTextView::highlightRange(int location, int length) {
    const int textLength = document()->characterCount() - 1;
    if (location < 0 || length < 0 || location > textLength || length > textLength - location)
        return;
    if (!shouldChangeTextInRange(location, length))
        return;
    QTextEdit::ExtraSelection selection;
    selection.cursor = QTextCursor(document());
    selection.cursor.setPosition(location);
    selection.cursor.setPosition(location + length, QTextCursor::KeepAnchor);
    const QColor background = QVMStyleService::isDarkMode() ? QVMColor::textSelectionDarkColor()
                                                            : QVMColor::textSelectionLightColor();
    selection.format.setBackground(background);
    // The panel's own text colour may not read on the mark (white on yellow after a switch to dark).
    selection.format.setForeground(QVMColor::inkOn(background));
    QList<QTextEdit::ExtraSelection> selections = extraSelections();
    selections.append(selection);
    setExtraSelections(selections);
    emit highlightChanged();
}

void PaddingTextView::unhighlight() {
    const int textLength = document()->characterCount() - 1;
    if (!shouldChangeTextInRange(0, textLength))
        return;
    setExtraSelections({});
    // Backgrounds that came in with pasted rich text go too.
    QList<QTextFragment> coloured;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().hasProperty(QTextFormat::BackgroundBrush))
                coloured.append(it.fragment());
        }
    }
    if (!coloured.isEmpty()) {
        QTextCursor cursor(document());
        cursor.beginEditBlock();
        for (const QTextFragment &fragment : std::as_const(coloured)) {
            QTextCharFormat format = fragment.charFormat();
            format.clearBackground();
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(format);
        }
        cursor.endEditBlock();
    }
    emit highlightChanged();
}

QList<QPair<int, int>> PaddingTextView::highlightedRanges() const {
    QList<QPair<int, int>> ranges;
    for (const QTextEdit::ExtraSelection &selection : extraSelections())
        ranges.append({selection.cursor.selectionStart(),
                       selection.cursor.selectionEnd() - selection.cursor.selectionStart()});
    return ranges;
}
