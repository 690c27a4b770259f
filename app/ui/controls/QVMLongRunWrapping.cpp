#include "ui/controls/QVMLongRunWrapping.h"

#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextDocument>
#include <QTextEdit>
#include <QVariant>

#include <algorithm>
#include <memory>

namespace QVMLongRunWrapping {

namespace {

constexpr const char *kSwitchedProperty = "qvWrapsAnywhereForLongRun";

// Marks a block that holds a run too long for any line. The document deletes a block's mark
// with the block (typed away, pasted over, undone), so the view's count of marked blocks stays
// true without a look at any block an edit did not touch.
class LongRunMark : public QTextBlockUserData {
public:
    explicit LongRunMark(std::shared_ptr<int> count) : m_count(std::move(count)) { ++*m_count; }
    ~LongRunMark() override { --*m_count; }

private:
    std::shared_ptr<int> m_count;
};

bool holdsLongRun(const QTextBlock &block) {
    return block.length() > kLongestWordWrappedRun &&
           longestUnbreakableRun(block.text()) > kLongestWordWrappedRun;
}

// Looks again at the blocks the change left behind, from its start to the end of what it added.
void markChangedBlocks(QTextDocument *document, int position, int added, const std::shared_ptr<int> &count) {
    QTextBlock last = document->findBlock(position + added);
    if (!last.isValid())
        last = document->lastBlock();
    for (QTextBlock block = document->findBlock(position); block.isValid(); block = block.next()) {
        const bool marked = dynamic_cast<LongRunMark *>(block.userData()) != nullptr;
        const bool longRun = holdsLongRun(block);
        if (longRun && !marked && !block.userData())
            block.setUserData(new LongRunMark(count));
        else if (!longRun && marked)
            block.setUserData(nullptr);
        if (block == last)
            break;
    }
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
    auto count = std::make_shared<int>(0);
    QTextDocument *document = view->document();
    // Before the document's layout hears of the change: the new mode is the one it lays out with.
    QObject::connect(document, &QTextDocument::contentsChange, view,
                     [view, document, count](int position, int, int added) {
                         // Kept up to date whatever the mode, so a mode given back finds the count right.
                         markChangedBlocks(document, position, added, count);
                         const QTextOption::WrapMode mode = view->wordWrapMode();
                         // Only a mode this watcher set goes back; one the view's owner set since stays.
                         bool switched = view->property(kSwitchedProperty).toBool();
                         if (switched && mode != QTextOption::WrapAnywhere) {
                             switched = false;
                             view->setProperty(kSwitchedProperty, false);
                         }
                         if (mode != QTextOption::WrapAtWordBoundaryOrAnywhere && !switched)
                             return;
                         const bool longRun = *count > 0;
                         if (longRun == switched)
                             return;
                         view->setProperty(kSwitchedProperty, longRun);
                         view->setWordWrapMode(longRun ? QTextOption::WrapAnywhere
                                                       : QTextOption::WrapAtWordBoundaryOrAnywhere);
                     });
}

} // namespace QVMLongRunWrapping
