#include "ui/controls/QVMSpinner.h"
#include "UiTestSupport.h"
#include "core/localization/QVLocalizedString.h"
#include "support/EventLoop.h"
#include "ui/controls/QVMProgressHUD.h"
#include "ui/style/QVMColor.h"

#include <QFontMetricsF>
#include <QGraphicsDropShadowEffect>
#include <QPushButton>
#include <QWidget>
#include <gtest/gtest.h>

#include <thread>

namespace {

// Lets every queued show and hide run.
void settle() {
    qvtest::spin(20);
}

class SpinnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        view.resize(400, 300);
        view.show();
    }
    QVMProgressOverlay *overlay() const { return QVMProgressOverlay::HUDForView(&view); }
    QWidget view;
};

} // namespace

TEST_F(SpinnerTest, OneCallersShowsAndHidesPairUpPerView) {
    const struct {
        const char *name;
        QList<bool> calls; // true show, false hide
        bool overlayLeft;
    } cases[] = {
        {"show", {true}, true},
        {"show, show, hide", {true, true, false}, false},
        {"show then hide at once", {true, false}, false},
        {"hide without show", {false}, false},
        {"show, hide, show", {true, false, true}, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        for (const bool show : c.calls) {
            if (show)
                QVMSpinner::showSpinner(&view);
            else
                QVMSpinner::hideSpinner(&view);
        }
        EXPECT_EQ(overlay(), nullptr); // nothing happens before the main loop turns
        settle();
        EXPECT_EQ(overlay() != nullptr, c.overlayLeft);
        QVMSpinner::hideSpinner(&view);
        settle();
        ASSERT_EQ(overlay(), nullptr);
    }
}

TEST_F(SpinnerTest, OneTasksHideLeavesAnotherTasksSpinner) {
    QObject download, translation;
    QVMSpinner::showSpinner(&view, &download);
    QVMSpinner::showSpinner(&view, &translation);
    settle();
    QVMProgressOverlay *shown = overlay();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->color(), QVMColor::spinerColor());
    EXPECT_EQ(shown->mode(), QVMProgressOverlay::Indeterminate);

    QVMSpinner::hideSpinner(&view, &download);
    QVMSpinner::hideSpinner(&view, &download); // a second hide of the same task changes nothing
    settle();
    EXPECT_EQ(overlay(), shown);
    QVMSpinner::hideSpinner(&view, &translation);
    settle();
    EXPECT_EQ(overlay(), nullptr);
}

TEST_F(SpinnerTest, ATaskDestroyedWithoutHidingReleasesTheView) {
    auto *task = new QObject;
    QObject other;
    QVMSpinner::showSpinner(&view, task);
    settle();
    ASSERT_NE(overlay(), nullptr);
    QVMSpinner::showSpinner(&view, &other);
    settle();
    delete task;
    settle();
    EXPECT_NE(overlay(), nullptr); // the other task still shows it
    QObject *gone = new QObject;
    QVMSpinner::hideSpinner(&view, &other);
    QVMSpinner::showSpinner(&view, gone);
    delete gone; // before its queued show ran
    settle();
    EXPECT_EQ(overlay(), nullptr);
}

TEST_F(SpinnerTest, SpinnerCallsFromWorkerThreadsRunOnTheMainThread) {
    std::thread worker([this] {
        QVMSpinner::showSpinner(&view);
        QVMSpinner::showSpinner(&view);
    });
    worker.join();
    ASSERT_TRUE(qvtest::waitUntil([this] { return overlay() != nullptr; }));
    EXPECT_EQ(overlay()->thread(), view.thread());
    std::thread hider([this] { QVMSpinner::hideSpinner(&view); });
    hider.join();
    EXPECT_TRUE(qvtest::waitUntil([this] { return overlay() == nullptr; }));
}

TEST_F(SpinnerTest, ProgressOverlaysAreRefusedOverAnExistingOverlay) {
    QVMProgressOverlay *progress = QVMSpinner::showProgress(&view);
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(progress->mode(), QVMProgressOverlay::DeterminateHorizontalBar);
    EXPECT_EQ(progress->labelText(), QVLocalizedString(QStringLiteral("_loc_loading")));
    EXPECT_EQ(progress->geometry(), view.rect());
    view.resize(500, 320);
    EXPECT_EQ(progress->geometry(), view.rect()); // follows the view
    QVMSpinner::hideProgress(&view);
    settle();
    EXPECT_EQ(overlay(), nullptr);

    QObject spinnerTask, progressTask;
    QVMSpinner::showSpinner(&view, &spinnerTask);
    settle();
    QVMProgressOverlay *spinner = overlay();
    ASSERT_NE(spinner, nullptr);
    EXPECT_EQ(QVMSpinner::showProgressWithCancel(&view, &progressTask), nullptr);
    EXPECT_EQ(QVMSpinner::showProgress(&view, &progressTask), nullptr);
    QVMSpinner::hideProgress(&view, &progressTask); // it was given nothing, so it removes nothing
    settle();
    EXPECT_EQ(overlay(), spinner);
    EXPECT_EQ(spinner->mode(), QVMProgressOverlay::Indeterminate);
}

TEST_F(SpinnerTest, CloseButtonSitsRightOfTheLabelAndRunsOnlyItsAction) {
    QVMProgressHUD *hud = QVMSpinner::showProgressWithCancel(&view, &view);
    ASSERT_NE(hud, nullptr);
    EXPECT_EQ(QVMProgressOverlay::HUDForView(&view), hud);
    EXPECT_EQ(hud->margin(), 40);
    EXPECT_EQ(hud->offset(), QPointF(0, 0));
    ASSERT_NE(hud->button(), nullptr);
    EXPECT_FALSE(hud->button()->icon().isNull());

    const QFontMetricsF metrics(hud->labelFont());
    const struct {
        QString label;
        qreal expectedShift; // left edge right of the centred position
    } cases[] = {
        {QStringLiteral("Wait"), 40 + 64 - 20},
        {QString(40, QLatin1Char('W')),
         40 + metrics.horizontalAdvance(QString(40, QLatin1Char('W'))) / 2 - 16},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label.toStdString());
        hud->setLabelText(c.label);
        const QRect button = hud->button()->geometry();
        const qreal centred = (hud->width() - button.width()) / 2.0;
        EXPECT_NEAR(button.x() - centred, c.expectedShift, 1.0);
        EXPECT_NEAR(button.y(), (hud->height() - button.height()) / 2.0 - 40, 1.0);
    }
    EXPECT_LT(metrics.horizontalAdvance(QStringLiteral("Wait")), 128);

    hud->button()->click(); // no action: the overlay stays
    settle();
    EXPECT_EQ(QVMProgressOverlay::HUDForView(&view), hud);
    int pressed = 0;
    hud->setButtonAction([&] { ++pressed; });
    hud->button()->click();
    EXPECT_EQ(pressed, 1);
    settle();
    EXPECT_EQ(QVMProgressOverlay::HUDForView(&view),
              hud); // the action decides, the overlay does not hide itself
}

TEST_F(SpinnerTest, ShadowHasTheRadiusColourOpacityAndOffset) {
    QWidget first, second;
    QVMSpinner::addShadow(&first);
    QVMSpinner::addShadowOffset(&second, QPointF(4, -3));
    const struct {
        QWidget *widget;
        QPointF offset;
    } cases[] = {{&first, QPointF(2, -2)}, {&second, QPointF(4, 3)}};
    for (const auto &c : cases) {
        auto *shadow = qobject_cast<QGraphicsDropShadowEffect *>(c.widget->graphicsEffect());
        ASSERT_NE(shadow, nullptr);
        EXPECT_EQ(shadow->blurRadius(), 5.0);
        EXPECT_EQ(shadow->offset(), c.offset); // upwards on screen for a positive y
        EXPECT_EQ(shadow->color().red(), 64);
        EXPECT_EQ(shadow->color().green(), 64);
        EXPECT_EQ(shadow->color().blue(), 64);
        EXPECT_NEAR(shadow->color().alphaF(), 0.32, 0.01);
    }
}
