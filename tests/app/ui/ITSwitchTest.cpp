#include "ui/controls/ITSwitch.h"
#include "ui/foundation/QVMUtils.h"

#include "platform/UserDefaults.h"
#include "support/EventLoop.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class ITSwitchTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::UserDefaults::setStorageFile(dir.filePath(QStringLiteral("defaults.ini")));
        button.resize(40, 20);
        button.show();
    }
    void TearDown() override { platform::UserDefaults::setStorageFile({}); }

    void mouse(QEvent::Type type, qreal x) {
        QMouseEvent event(type, QPointF(x, 10), button.mapToGlobal(QPointF(x, 10)), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&button, &event);
    }

    QTemporaryDir dir;
    ITSwitch button;
};

} // namespace

TEST_F(ITSwitchTest, KnobFollowsPressAndStateAtTheGoldenRatio) {
    struct Case {
        const char *name;
        bool checked, pressed;
        double width, x;
    } cases[] = {
        {"off at rest", false, false, 38 / ITSwitch::kRestRatio, 1.0},
        {"off pressed", false, true, 38 / ITSwitch::kPressedRatio, 1.0},
        {"on at rest", true, false, 38 / ITSwitch::kRestRatio, 40 - 38 / ITSwitch::kRestRatio - 1.0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        button.setChecked(c.checked);
        if (c.pressed)
            mouse(QEvent::MouseButtonPress, 5);
        const QRectF knob = button.rectForKnob();
        EXPECT_DOUBLE_EQ(knob.height(), 18.0);
        EXPECT_NEAR(knob.width(), c.width, 1e-9);
        EXPECT_NEAR(knob.x(), c.x, 1e-9);
        EXPECT_DOUBLE_EQ(knob.y(), 1.0);
        if (c.pressed)
            mouse(QEvent::MouseButtonRelease, 50); // off the control: still a release
        button.setChecked(false);
    }
    EXPECT_NEAR(38 / ITSwitch::kRestRatio, 23.49, 0.01);
    EXPECT_NEAR(38 / ITSwitch::kPressedRatio, 27.54, 0.01);
}

TEST_F(ITSwitchTest, OnlyAReleaseOnTheOtherSideChangesTheStateAndSendsTheAction) {
    struct Case {
        const char *name;
        bool enabled;
        QList<std::pair<QEvent::Type, qreal>> events;
        bool checked;
        int actions;
    } cases[] = {
        {"disabled click", false, {{QEvent::MouseButtonPress, 5}, {QEvent::MouseButtonRelease, 5}}, false, 0},
        {"drag right and back",
         true,
         {{QEvent::MouseButtonPress, 5},
          {QEvent::MouseMove, 35},
          {QEvent::MouseMove, 4},
          {QEvent::MouseButtonRelease, 4}},
         false,
         0},
        {"click", true, {{QEvent::MouseButtonPress, 5}, {QEvent::MouseButtonRelease, 5}}, true, 1},
        {"drag right",
         true,
         {{QEvent::MouseButtonPress, 5}, {QEvent::MouseMove, 30}, {QEvent::MouseButtonRelease, 30}},
         true,
         1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        button.setChecked(false);
        button.setEnabled(c.enabled);
        QSignalSpy actions(&button, &ITSwitch::clicked);
        for (const auto &[type, x] : c.events)
            mouse(type, x);
        EXPECT_EQ(button.isChecked(), c.checked);
        EXPECT_EQ(actions.size(), c.actions);
        EXPECT_FALSE(button.isActive());
        EXPECT_FALSE(button.hasDragged());
    }
    // The knob settles with the overshoot, and a disabled switch is drawn at half strength.
    EXPECT_TRUE(button.isAnimating());
    qvtest::waitUntil([&] { return !button.isAnimating(); });
    EXPECT_EQ(button.knobRect(), button.rectForKnob());
}

TEST_F(ITSwitchTest, KeysChangeTheStateOnlyTowardsTheirSide) {
    struct Case {
        const char *name;
        bool before;
        Qt::Key key;
        bool after;
        int actions;
    } cases[] = {
        {"left when off", false, Qt::Key_Left, false, 0},  {"right when on", true, Qt::Key_Right, true, 0},
        {"right when off", false, Qt::Key_Right, true, 1}, {"left when on", true, Qt::Key_Left, false, 1},
        {"space", false, Qt::Key_Space, true, 1},
    };
    EXPECT_EQ(button.focusPolicy(), Qt::StrongFocus);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        button.setChecked(c.before);
        QSignalSpy actions(&button, &ITSwitch::clicked);
        QTest::keyClick(&button, c.key);
        EXPECT_EQ(button.isChecked(), c.after);
        EXPECT_EQ(actions.size(), c.actions);
    }
}

TEST_F(ITSwitchTest, StateSetInCodeReachesTheBoundDefaultWithoutTheAction) {
    const QString key = QStringLiteral("TransliterationSetting");
    QVMUtils::sharedDefaults().setBool(true, key);
    button.bindToDefaultsKey(key);
    EXPECT_TRUE(button.isChecked()); // the stored value shows
    QSignalSpy actions(&button, &ITSwitch::clicked);
    QSignalSpy written(&QVMUtils::sharedDefaults(), &platform::UserDefaults::changed);
    struct Case {
        bool value;
        int writes;
    } cases[] = {{true, 0}, {false, 1}, {true, 2}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value);
        button.setChecked(c.value);
        EXPECT_EQ(QVMUtils::sharedDefaults().boolForKey(key), c.value);
        EXPECT_EQ(written.size(), c.writes);
    }
    EXPECT_EQ(actions.size(), 0);
    // A user's change is written as well.
    QTest::keyClick(&button, Qt::Key_Left);
    EXPECT_FALSE(QVMUtils::sharedDefaults().boolForKey(key));
    EXPECT_EQ(actions.size(), 1);
}

TEST_F(ITSwitchTest, AccessibleCheckBoxFollowsTheStateAndPressSendsTheAction) {
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(&button);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::CheckBox);
    for (bool checked : {true, false}) {
        SCOPED_TRACE(checked);
        button.setChecked(checked);
        EXPECT_EQ(bool(accessible->state().checked), checked);
    }
    QAccessibleActionInterface *press = accessible->actionInterface();
    ASSERT_NE(press, nullptr);
    QSignalSpy actions(&button, &ITSwitch::clicked);
    ASSERT_TRUE(press->actionNames().contains(QAccessibleActionInterface::pressAction()));
    press->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(button.isChecked());
    EXPECT_TRUE(bool(accessible->state().checked));
    EXPECT_EQ(actions.size(), 1);
    // Disabled, nothing acts.
    button.setEnabled(false);
    press->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(button.isChecked());
    EXPECT_EQ(actions.size(), 1);
}
