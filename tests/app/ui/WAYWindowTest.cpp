#include "UiTestSupport.h"
#include "WindowChecks.h"
#include "support/EventLoop.h"

#include "ui/controls/CustomSliderCell.h"
#include "ui/controls/WAYWindow.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLayout>
#include <QPointer>
#include <QToolButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

// Counts the messages it gets; may send one back while it runs.
class RecordingDelegate : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void windowDidResize(WAYWindow *window) {
        order.append(QStringLiteral("delegate"));
        if (echo)
            window->delegateProxy().forwardInvocation("windowDidResize", window);
    }
    Q_INVOKABLE bool windowShouldClose(WAYWindow *) { return allowClose; }
    QStringList order;
    bool echo = false;
    bool allowClose = true;
};

// The window's own handler, observed through a subclass.
class CountingWindow : public WAYWindow {
    Q_OBJECT
public:
    Q_INVOKABLE void windowDidResize(WAYWindow *window) {
        if (order)
            order->append(QStringLiteral("window"));
        WAYWindow::windowDidResize(window);
    }
    QStringList *order = nullptr;
};

} // namespace

TEST(WAYWindowTest, TitleBarNeverDropsBelowTheDefaultAndTheWindowGrowsByTheDifference) {
    const double standard = WAYWindow::defaultTitleBarHeight();
    ASSERT_GT(standard, 0.0);
    struct Case {
        const char *name;
        QList<double> heights;
        double bar, accessory;
        int growth;
    } cases[] = {
        {"below the default", {standard - 10}, standard, 0.0, int(standard)},
        {"44 then 50", {44.0, 50.0}, 50.0, 50.0 - standard, 50},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        WAYWindow window;
        window.resize(400, 300);
        EXPECT_EQ(window.titleBarHeight(), 0.0);
        QList<int> heights;
        for (double height : c.heights) {
            window.setTitleBarHeight(height);
            heights.append(window.height());
        }
        EXPECT_DOUBLE_EQ(window.titleBarHeight(), c.bar);
        EXPECT_DOUBLE_EQ(window.accessoryHeight(), c.accessory);
        EXPECT_EQ(window.height(), 300 + c.growth);
        EXPECT_EQ(window.titleBarView()->height(), qRound(c.bar));
        if (c.heights.size() == 2) {
            EXPECT_EQ(heights.at(1) - heights.at(0), 6);
        }
    }
}

TEST(WAYWindowTest, ButtonsSitSideBySideCentredOrBelowTheTopMargin) {
    WAYWindow window;
    window.resize(400, 300);
    window.setTitleBarHeight(44.0);
    window.setTrafficLightButtonsLeftMargin(10.0);
    window.setTrafficLightButtonsTopMargin(4.0);
    struct Case {
        bool centred;
        int y;
    } cases[] = {{false, 44 - WAYWindow::kButtonSize - 4}, {true, 22 - WAYWindow::kButtonSize / 2}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.centred);
        window.setCenterTrafficLightButtons(c.centred);
        const QList<QToolButton *> buttons = window.standardButtons();
        ASSERT_EQ(buttons.size(), 3);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(buttons.at(i)->x(), 10 + i * (WAYWindow::kButtonSize + 6));
            EXPECT_EQ(buttons.at(i)->y(), c.y);
        }
    }
    QStringList names;
    for (QToolButton *button : window.standardButtons()) {
        names << button->accessibleName();
        EXPECT_EQ(button->toolTip(), button->accessibleName());
    }
    EXPECT_EQ(names, QStringList({"Close", "Minimise", "Maximise"}));
    EXPECT_FALSE(WAYWindow::supportsVibrantAppearances());
}

TEST(WAYWindowTest, DelegateHearsEachMessageOnceAfterTheWindowAndAnEchoIsDropped) {
    struct Case {
        const char *name;
        bool echo;
    } cases[] = {{"echo", true}, {"plain", false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QStringList order;
        CountingWindow window;
        window.order = &order;
        RecordingDelegate delegate;
        delegate.echo = c.echo;
        window.setDelegate(&delegate);
        EXPECT_EQ(window.delegate(), &delegate);
        window.show();
        order.clear();
        delegate.order.clear();
        window.resize(320, 200);
        window.resize(330, 210);
        EXPECT_EQ(order, QStringList({"window", "window"}));
        EXPECT_EQ(delegate.order, QStringList({"delegate", "delegate"}));
        EXPECT_TRUE(window.delegateProxy().respondsToSelector("windowDidResize"));
        EXPECT_FALSE(window.delegateProxy().respondsToSelector("windowDidMiniaturize"));
        EXPECT_FALSE(window.delegateProxy().isForwarding("windowDidResize"));
    }
    // The delegate's answer decides whether the window closes.
    WAYWindow window;
    RecordingDelegate delegate;
    delegate.allowClose = false;
    window.setDelegate(&delegate);
    window.show();
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible());
    delegate.allowClose = true;
    EXPECT_TRUE(window.close());
}

TEST(WAYWindowTest, ReplacingTheContentViewKeepsEveryChildAtItsFrame) {
    uitest::ScopedCrashReporter reporter;
    WAYWindow window;
    window.resize(300, 200);
    auto *content = new QWidget;
    window.setContentView(content);
    auto *placed = new QLabel(QStringLiteral("placed"), content);
    placed->setGeometry(12, 60, 80, 20);
    auto *laidOut = new QWidget; // under a layout: moved, with a warning
    auto *layout = new QVBoxLayout;
    content->setLayout(layout);
    layout->addWidget(laidOut);
    content->layout()->activate();
    const QRect laidOutFrame = laidOut->geometry();
    QPointer<QWidget> old(content);

    QWidget *replacement = window.replaceSubviewWithViewOfClass<QWidget>(content);
    EXPECT_EQ(window.contentView(), replacement);
    EXPECT_EQ(placed->parentWidget(), replacement);
    EXPECT_EQ(placed->geometry(), QRect(12, 60, 80, 20));
    EXPECT_EQ(laidOut->parentWidget(), replacement);
    EXPECT_EQ(laidOut->geometry(), laidOutFrame);
    EXPECT_EQ(
        reporter.countLines(QStringLiteral("WARNING: [WAYWindow replaceSubview:withView:resizing:] does "
                                           "not work yet with NSView instances, that use auto-layout.")),
        1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(old.isNull());
}

TEST(CustomSliderCellTest, FillGrowsWithTheValueAndEqualBoundsFillNothing) {
    struct Case {
        const char *name;
        double value, minimum, maximum, width;
    } cases[] = {
        {"equal bounds", 5, 5, 5, 0}, {"below the range", -1, 0, 1, 0}, {"half", 0.5, 0, 1, 46},
        {"full", 100, 0, 100, 92},    {"above the range", 2, 0, 1, 92},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_DOUBLE_EQ(CustomSliderCell::filledWidth(100, c.value, c.minimum, c.maximum), c.width);
    }
    const QRectF bar = CustomSliderCell::barRect(QRectF(0, 0, 120, 21));
    EXPECT_DOUBLE_EQ(bar.height(), 5.0);
    EXPECT_DOUBLE_EQ(bar.center().y(), 10.5);
}

#include "WAYWindowTest.moc"

TEST(WAYWindowBorder, ALineSetsTheWindowApartInBothSchemesOverItsContent) {
    WAYWindow window;
    window.resize(300, 200);
    auto *content = new QWidget;
    content->setAutoFillBackground(true);
    window.setContentView(content);
    window.show();
    qvtest::spin(5);
    for (const bool dark : {false, true}) {
        SCOPED_TRACE(dark);
        window.setPalette(WAYWindow::appearancePalette(dark));
        qvtest::spin(5);
        const QImage shot = window.grab().toImage();
        const QColor base = window.palette().color(QPalette::Base);
        for (const QPoint edge : {QPoint(0, 100), QPoint(299, 100), QPoint(150, 199), QPoint(150, 0)}) {
            SCOPED_TRACE(edge.x() * 1000 + edge.y());
            EXPECT_GE(uitest::contrastRatio(shot.pixelColor(edge), base), WAYWindow::kBorderContrast);
        }
        // Inside, the content shows as it was.
        EXPECT_EQ(shot.pixelColor(150, 100), content->palette().color(content->backgroundRole()));
    }
}
