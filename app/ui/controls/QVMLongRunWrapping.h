#pragma once

#include <QString>

class QTextEdit;

// Qt's usual wrapping (at word ends, anywhere only when a word is wider than the line) looks for
// the word's end again on every line, so a paragraph holding a run of thousands of characters with
// no place to break costs time growing with the square of it: 30 ms to lay out 10,000. While a
// view's text holds such a run it wraps anywhere: the run breaks where it broke before, in a tenth
// of the time; other words may then break inside. Views set to another wrapping keep it.
//
//   QVMLongRunWrapping::attach(view); // in the view's constructor
namespace QVMLongRunWrapping {

// A run this long cannot fit a line of any of our views.
constexpr int kLongestWordWrappedRun = 1000;

// Watches the view's document from now on; follows no document set later.
void attach(QTextEdit *view);

// The longest stretch of the text with no line-break opportunity inside it.
int longestUnbreakableRun(const QString &text);

} // namespace QVMLongRunWrapping
