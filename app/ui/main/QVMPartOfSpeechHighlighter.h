#pragma once

#include "ui/adapters/QVMGeneralServices.h"

#include <QSyntaxHighlighter>

// Colours a panel's text by ranges computed elsewhere (off the interface
// thread), without touching the text itself: no undo step, the cursor stays.
// The colours hold only while the document's text is the text they were made
// for; after any edit the text shows plain until the next setColors.
//
//   highlighter->setColors(text, spans);      // spans over text's UTF-16 positions
//   highlighter->clearColors();
class QVMPartOfSpeechHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    explicit QVMPartOfSpeechHighlighter(QTextDocument *document);

    void setColors(const QString &text, const QList<QVMColorSpan> &spans);
    void clearColors();
    QString coloredText() const { return m_text; }
    // The colour asked for at a position; invalid where nothing is coloured.
    QColor colorAt(int position) const;
    // The background the text lies on: each colour is shown in the shade of it that
    // reads there (contrast 4.5:1), so a red word stays readable on a dark panel.
    void setBackground(const QColor &background);
    QColor background() const { return m_background; }

protected:
    void highlightBlock(const QString &text) override;

private:
    bool textMatches();

    QString m_text;
    QList<QVMColorSpan> m_spans;
    int m_checkedRevision = -1;
    bool m_matches = false;
    QColor m_background = Qt::white;
};
