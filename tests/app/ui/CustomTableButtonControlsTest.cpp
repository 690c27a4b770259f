#include "UiTestSupport.h"
#include "services/graphics/QVMStyleService.h"
#include "ui/controls/CustomButton.h"
#include "ui/controls/QVMCustomGridTableView.h"
#include "ui/controls/QVMCustomSelectionColorTableView.h"
#include "ui/controls/QVMOffsetImageButtonCell.h"
#include "ui/style/QVMColor.h"

#include <QHeaderView>
#include <QPixmap>
#include <QStandardItemModel>
#include <gtest/gtest.h>

namespace {

// Leaves the desktop's colour scheme as the test found it.
class ScopedColorScheme {
public:
    explicit ScopedColorScheme(QVMStyleService::ColorScheme scheme)
        : m_old(QVMStyleService::shared().desktopColorScheme()) {
        QVMStyleService::shared().setDesktopColorScheme(scheme);
    }
    ~ScopedColorScheme() { QVMStyleService::shared().setDesktopColorScheme(m_old); }

private:
    QVMStyleService::ColorScheme m_old;
};

QStandardItemModel *modelWithRows(int rows, QObject *parent) {
    auto *model = new QStandardItemModel(rows, 2, parent);
    for (int row = 0; row < rows; ++row)
        model->setItem(row, 0, new QStandardItem(QString()));
    return model;
}

} // namespace

TEST(CustomTableButtonControls, GridStopsAtTheLastRow) {
    struct Case {
        int rows;
        int expectedBottom; // -1: no grid at all
    };
    const Case cases[] = {{0, -1}, {1, 19}, {3, 59}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.rows);
        QVMCustomGridTableView table;
        table.horizontalHeader()->hide();
        table.verticalHeader()->hide();
        table.verticalHeader()->setDefaultSectionSize(20);
        table.verticalHeader()->setMinimumSectionSize(20);
        table.horizontalHeader()->setDefaultSectionSize(60);
        table.setModel(modelWithRows(c.rows, &table));
        table.resize(200, 200);
        const QRect area = table.gridArea();
        if (c.expectedBottom < 0) {
            EXPECT_TRUE(area.isEmpty());
        } else {
            EXPECT_EQ(area.bottom(), c.expectedBottom);
            EXPECT_EQ(area.right(), 119);
        }
        // Drawn: nothing in the line colour below the rows.
        const QImage shot = table.viewport()->grab().toImage();
        const QColor line = table.palette().color(QPalette::Mid);
        const int below = c.expectedBottom + 2;
        EXPECT_EQ(uitest::countPixels(shot, QRect(0, below, shot.width(), shot.height() - below), line, 2),
                  0);
        if (c.rows > 0) {
            EXPECT_GT(uitest::countPixels(shot, QRect(0, c.expectedBottom, 120, 1), line, 2), 50);
        }
    }
}

TEST(CustomTableButtonControls, ImageSitsThreeLowerAndFourShorter) {
    const struct {
        QRect frame;
        QRect expected;
    } cases[] = {
        {QRect(0, 0, 20, 20), QRect(0, 3, 20, 16)},
        {QRect(5, 7, 30, 10), QRect(5, 10, 30, 6)},
        {QRect(0, 0, 10, 2), QRect(0, 3, 10, 0)}, // never a negative height
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.frame.height());
        EXPECT_EQ(QVMOffsetImageButtonCell::imageRectForFrame(c.frame), c.expected);
    }
}

TEST(CustomTableButtonControls, SelectionColourFollowsTheAppearance) {
    for (const bool dark : {false, true}) {
        SCOPED_TRACE(dark);
        ScopedColorScheme scheme(dark ? QVMStyleService::ColorScheme::Dark
                                      : QVMStyleService::ColorScheme::Light);
        QVMCustomSelectionColorTableView table;
        const QColor expected = dark ? QVMColor::cellSelectionDarkColor() : QVMColor::cellSelectionColor();
        EXPECT_EQ(table.palette().color(QPalette::Active, QPalette::Highlight), expected);
        // A later change of the appearance repaints the selection.
        QVMStyleService::shared().setDesktopColorScheme(dark ? QVMStyleService::ColorScheme::Light
                                                             : QVMStyleService::ColorScheme::Dark);
        const QColor swapped = dark ? QVMColor::cellSelectionColor() : QVMColor::cellSelectionDarkColor();
        EXPECT_EQ(table.palette().color(QPalette::Active, QPalette::Highlight), swapped);
        // Text on the selection stays readable.
        const QColor text = table.palette().color(QPalette::Active, QPalette::HighlightedText);
        EXPECT_GT(qAbs(text.lightnessF() - swapped.lightnessF()), 0.4);
    }
}

TEST(CustomTableButtonControls, ButtonPaintsItsBackgroundOnlyWhenSet) {
    CustomButton plain(QStringLiteral("History"));
    QPushButton reference(QStringLiteral("History"));
    plain.resize(100, 30);
    reference.resize(100, 30);
    // Without a background colour it draws as a plain button.
    EXPECT_EQ(plain.grab().toImage(), reference.grab().toImage());

    const QColor fill(12, 120, 200);
    plain.setBGColor(fill);
    plain.setCornerRadius(10);
    plain.setTextColor(QColor(Qt::white));
    const QImage shot = plain.grab().toImage();
    EXPECT_GT(uitest::countPixels(shot, shot.rect(), fill, 2), 1500);
    // Rounded: the corner pixel is not filled.
    EXPECT_NE(shot.pixelColor(0, 0), fill);
    EXPECT_EQ(plain.palette().color(QPalette::ButtonText), QColor(Qt::white));
    plain.clearBGColor();
    const QImage cleared = plain.grab().toImage();
    EXPECT_EQ(uitest::countPixels(cleared, cleared.rect(), fill, 2), 0);
}
