#include "support/EventLoop.h"

#include "panes/offline/QVMActionDownloadTableCellView.h"
#include "panes/offline/QVMOptionsTableCellView.h"

#include <QTest>
#include <cmath>
#include <gtest/gtest.h>

TEST(QVMActionDownloadTableCellViewTest, OnlyADownloadingCellWithATapActionReactsToAClick) {
    struct Case {
        uint status;
        bool withTap;
        int runs;
    };
    const QList<Case> cases = {{0, true, 0}, {2, true, 0}, {3, true, 0}, {1, false, 0}, {1, true, 1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "status " << c.status << " tap " << c.withTap);
        QVMActionDownloadTableCellView cell;
        cell.resize(cell.sizeHint());
        cell.setIndicatorStatus(c.status);
        int runs = 0;
        uint seen = 99;
        if (c.withTap)
            cell.setActionForTap([&](QVMActionDownloadTableCellView *from, uint status) {
                EXPECT_EQ(from, &cell);
                seen = status;
                ++runs;
            });
        QTest::mouseClick(&cell, Qt::LeftButton, {}, QPoint(cell.width() / 2, cell.height() / 2));
        EXPECT_EQ(runs, c.runs);
        if (c.runs) {
            EXPECT_EQ(seen, 1u);
        }
    }
}

TEST(QVMActionDownloadTableCellViewTest, StatesShowTheirControlAndStatusesAboveThreeChangeNothing) {
    struct Case {
        uint status;
        bool action, remove;
    };
    const QList<Case> cases = {{0, true, false}, {1, false, false}, {2, false, false}, {3, false, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.status);
        QVMActionDownloadTableCellView cell;
        cell.setIndicatorStatus(c.status);
        cell.setIndicatorStatus(7);
        EXPECT_EQ(cell.actionButton()->isVisibleTo(&cell), c.action);
        EXPECT_EQ(cell.deleteButton()->isVisibleTo(&cell), c.remove);
        EXPECT_FALSE(cell.closeButton()->isVisibleTo(&cell));
    }
}

TEST(QVMActionDownloadTableCellViewTest, UnpackingKeepsOneTimerThatEndsOutsideItsState) {
    QVMActionDownloadTableCellView cell;
    cell.setIndicatorStatus(QVMActionDownloadTableCellView::Unpacking);
    cell.setIndicatorStatus(QVMActionDownloadTableCellView::Unpacking);
    qvtest::spin(10);
    EXPECT_EQ(cell.findChildren<QTimer *>().size(), 1);
    ASSERT_TRUE(qvtest::waitUntil([&] { return cell.progress() == 1.0; }, 3000)); // the tick fills the ring
    cell.setIndicatorStatus(QVMActionDownloadTableCellView::NotDownloaded);
    ASSERT_NE(cell.timer(), nullptr);
    ASSERT_TRUE(qvtest::waitUntil([&] { return cell.timer() == nullptr; }, 3000));
    cell.setIndicatorStatus(QVMActionDownloadTableCellView::Unpacking);
    cell.setIndicatorStatus(QVMActionDownloadTableCellView::Installed);
    EXPECT_EQ(cell.timer(), nullptr);
}

TEST(QVMActionDownloadTableCellViewTest, RingNamesTheLanguageAndItsProgress) {
    QVMActionDownloadTableCellView cell;
    cell.setLanguageName("German");
    cell.setIndicatorStatus(QVMActionDownloadTableCellView::Downloading);
    cell.setProgress(0.42f, false);
    EXPECT_EQ(cell.accessibleName(), "Downloading German, 42 %");
    EXPECT_EQ(cell.actionButton()->accessibleName(), "Download German");
}

TEST(QVMOptionsTableCellViewTest, ShowsOneIconPerKnownKind) {
    struct Case {
        QList<uint> types;
        bool text, ocr, dictionary;
    };
    const QList<Case> cases = {{{3}, false, false, false},
                               {{}, false, false, false},
                               {{2, 5}, true, false, true},
                               {{4, 1, 4}, false, true, false}};
    QVMOptionsTableCellView cell;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.types.size());
        cell.showTypes(c.types);
        EXPECT_EQ(cell.opennmtImageView()->isVisibleTo(&cell), c.text);
        EXPECT_EQ(cell.tesseractImageView()->isVisibleTo(&cell), c.ocr);
        EXPECT_EQ(cell.wordnetImageView()->isVisibleTo(&cell), c.dictionary);
    }
    EXPECT_FALSE(cell.wordnetImageView()->toolTip().isEmpty());
}

namespace {

double luminance(const QColor &c) {
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double contrast(const QColor &a, const QColor &b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

TEST(QVMOptionsTableCellViewTest, BadgeLettersStayReadableInLightAndDark) {
    struct Case {
        const char *name;
        QColor base, text;
    };
    const QList<Case> cases = {{"light", Qt::white, Qt::black},
                               {"dark", QColor(0x2b, 0x2b, 0x2d), Qt::white}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QVMOptionsTableCellView cell;
        QPalette palette = cell.palette();
        palette.setColor(QPalette::Base, c.base);
        palette.setColor(QPalette::Text, c.text);
        cell.setPalette(palette); // follows the change as it happens
        const QImage badge = cell.opennmtImageView()->pixmap().toImage();
        ASSERT_FALSE(badge.isNull());
        const QColor background = badge.pixelColor(badge.width() / 2, 4);
        double best = 1.0;
        for (int y = 0; y < badge.height(); ++y)
            for (int x = 0; x < badge.width(); ++x)
                if (badge.pixelColor(x, y).alpha() == 255)
                    best = std::max(best, contrast(background, badge.pixelColor(x, y)));
        EXPECT_GE(best, 4.5);
        EXPECT_GE(contrast(background, c.base), 4.5); // the badge stands out from the list
    }
}
