#include "ui/controls/QVMLongRunWrapping.h"

#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextDocument>
#include <QTextEdit>
#include <QVariant>

#include <algorithm>

namespace QVMLongRunWrapping {

namespace {

constexpr const char *kSwitchedProperty = "qvWrapsAnywhereForLongRun";

bool holdsLongRun(const QTextDocument *document) {
    if (document->characterCount() <= kLongestWordWrappedRun)
        return false;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block.length() > kLongestWordWrappedRun &&
            longestUnbreakableRun(block.text()) > kLongestWordWrappedRun)
            return true;
    }
    return false;
}

} // namespace

int longestUnbreakableRun(const QString &text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Line, text);
    int longest = 0;
    int start = 0;
    for (qsizetype at = finder.toNextBoundary(); at != -1; at = finder.toNextBoundary()) {
        longest = std::max(longest, int(at) - start);
        start = int(at);
    }
    return longest;
}

void attach(QTextEdit *view) {
    if (!view)
        return;
    // Before the document's layout hears of the change: the new mode is the one it lays out with.
    QObject::connect(view->document(), &QTextDocument::contentsChange, view, [view] {
        const QTextOption::WrapMode mode = view->wordWrapMode();
        // Only a mode this watcher set goes back; one the view's owner set since stays.
        bool switched = view->property(kSwitchedProperty).toBool();
        if (switched && mode != QTextOption::WrapAnywhere) {
            switched = false;
            view->setProperty(kSwitchedProperty, false);
        }
        if (mode != QTextOption::WrapAtWordBoundaryOrAnywhere && !switched)
            return;
        const bool longRun = holdsLongRun(view->document());
        if (longRun == switched)
            return;
        view->setProperty(kSwitchedProperty, longRun);
        view->setWordWrapMode(longRun ? QTextOption::WrapAnywhere
                                      : QTextOption::WrapAtWordBoundaryOrAnywhere);
    });
}

} // namespace QVMLongRunWrapping
