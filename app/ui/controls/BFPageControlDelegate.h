#pragma once

#include <QtGlobal>

class BFPageControl;

// Told when the user picks a dot of a BFPageControl (never when the page is set in code).
class BFPageControlDelegate {
public:
    virtual ~BFPageControlDelegate() = default;
    virtual void pageControl(BFPageControl *pageControl, qint64 didSelectPageAtIndex) {
        Q_UNUSED(pageControl)
        Q_UNUSED(didSelectPageAtIndex)
    }
};
