#include "ui/controls/BFPageControl.h"
#include "ui/controls/BFPageControlDelegate.h"

#include "support/EventLoop.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

class RecordingDelegate : public BFPageControlDelegate {
public:
    void pageControl(BFPageControl *, qint64 index) override { reported.append(index); }
    QList<qint64> reported;
};

class PageControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        control.resize(200, 50);
        control.setDelegate(&delegate);
        control.show();
    }
    // The dots on screen, left to right.
    QList<BFPageControlCell *> dots() const {
        QList<BFPageControlCell *> shown;
        for (BFPageControlCell *cell : control.findChildren<BFPageControlCell *>())
            if (cell->isVisibleTo(&control))
                shown.append(cell);
        std::sort(shown.begin(), shown.end(), [](auto *a, auto *b) { return a->x() < b->x(); });
        return shown;
    }
    // The rectangle the dots cover, in the control's coordinates.
    QRect row() const {
        QRect covered;
        for (BFPageControlCell *cell : dots())
            covered |= QRect(cell->mapTo(&control, QPoint(0, 0)), cell->size());
        return covered;
    }
    QColor colourAtDot(int index) {
        const QImage shot = control.grab().toImage();
        const QRect dot(dots().at(index)->mapTo(&control, QPoint(0, 0)), dots().at(index)->size());
        return shot.pixelColor(int(dot.center().x() * shot.devicePixelRatio()),
                               int(dot.center().y() * shot.devicePixelRatio()));
    }

    RecordingDelegate delegate;
    BFPageControl control;
};

} // namespace

TEST_F(PageControlTest, DotRowIsCentredAndNothingShowsWithoutPages) {
    struct Case {
        const char *name;
        qint64 pages;
        bool hidesForSinglePage;
        qint64 askedPage;
        QRect row;
        qint64 current;
    } cases[] = {
        {"no pages show nothing and keep page 0", 0, false, 3, QRect(), 0},
        {"a negative page count is no pages", -2, false, 0, QRect(), 0},
        {"one page hidden when asked", 1, true, 0, QRect(), 0},
        {"one page shown otherwise", 1, false, 0, QRect(95, 20, 10, 10), 0},
        {"five pages: 5 x 10 + 4 x 5 across, centred", 5, false, 7, QRect(65, 20, 70, 10), 4},
        {"a page below the first is the first", 5, false, -1, QRect(65, 20, 70, 10), 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        control.setHidesForSinglePage(c.hidesForSinglePage);
        control.setNumberOfPages(c.pages);
        control.setCurrentPage(c.askedPage);
        EXPECT_EQ(row(), c.row);
        EXPECT_EQ(control.currentPage(), c.current);
        EXPECT_EQ(control.sizeHint(), c.pages > 0 ? QSize(int(c.pages) * 15 - 5, 10) : QSize(0, 0));
        for (int i = 0; i < dots().size(); ++i)
            EXPECT_EQ(dots().at(i)->isChecked(), i == c.current) << "dot " << i;
    }
    EXPECT_TRUE(delegate.reported.isEmpty());
}

TEST_F(PageControlTest, OnlyTheUsersChoiceOfADotIsReported) {
    control.setNumberOfPages(5);
    struct Case {
        const char *name;
        std::function<void()> act;
        QList<qint64> reported;
        qint64 current;
    } cases[] = {
        {"setting the page in code", [&] { control.setCurrentPage(2); }, {}, 2},
        {"a click on the fourth dot", [&] { QTest::mouseClick(dots().at(3), Qt::LeftButton); }, {3}, 3},
        {"a click on the current dot keeps it selected",
         [&] { QTest::mouseClick(dots().at(3), Qt::LeftButton); },
         {3},
         3},
        {"Space on a focused dot",
         [&] {
             dots().at(1)->setFocus();
             QTest::keyClick(dots().at(1), Qt::Key_Space);
         },
         {1},
         1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        delegate.reported.clear();
        c.act();
        EXPECT_EQ(delegate.reported, c.reported);
        EXPECT_EQ(control.currentPage(), c.current);
        for (int i = 0; i < dots().size(); ++i)
            EXPECT_EQ(dots().at(i)->isChecked(), i == c.current) << "dot " << i;
    }
}

TEST_F(PageControlTest, ColoursRedrawAtOnceWhileSizesWaitForTheNextUpdate) {
    control.setNumberOfPages(5);
    control.setCurrentPage(0);
    struct Case {
        const char *name;
        std::function<void()> change;
        QRect row;
        QColor current;
    } cases[] = {
        {"a new margin alone moves nothing", [&] { control.setIndicatorMargin(20); }, QRect(65, 20, 70, 10),
         control.selectedColor()},
        {"the next update takes it", [&] { control.updateCurrentPageDisplay(); }, QRect(35, 20, 130, 10),
         control.selectedColor()},
        {"a new selected colour shows at once", [&] { control.setSelectedColor(Qt::red); },
         QRect(35, 20, 130, 10), QColor(Qt::red)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        c.change();
        EXPECT_EQ(row(), c.row);
        EXPECT_EQ(colourAtDot(0), c.current);
    }
}
