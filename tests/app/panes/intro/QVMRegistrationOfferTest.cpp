#include "IntroTestSupport.h"
#include "WindowChecks.h"
#include "panes/intro/QVMRegistrationOfferViewController.h"

#include <QPushButton>
#include <QTest>

namespace {

class RegistrationOfferTest : public introtest::IntroTest {
protected:
    // The offer as the main view shows it after a translation that reaches the interval.
    QPointer<QVMRegistrationOfferViewController> showOffer() {
        if (!general) {
            write([](platform::Transaction &tx) {
                QVRemoteSettings remote = QVRemoteSettings::createWithDefaults(tx);
                remote.setShowRegisterOfferInterval(tx, 1);
                QVSettingsService::defaultSettings().setRemoteSettings(tx, remote);
            });
            EXPECT_FALSE(QVSettingsService::changeSettings(
                [](platform::Transaction &tx, const QVTranslateSettings &s) {
                    s.setDayTranslationPassedCount(tx, 1);
                }));
            openWindow();
        }
        events.clear();
        EXPECT_TRUE(general->showRegistrationOfferIfNeeded());
        const QList<QVMBaseVC *> shown = general->presentedViewControllers();
        QPointer<QVMRegistrationOfferViewController> offer =
            shown.isEmpty() ? nullptr : qobject_cast<QVMRegistrationOfferViewController *>(shown.last());
        EXPECT_TRUE(offer);
        qvtest::spin(30);
        return offer;
    }
    QPushButton *button(QVMRegistrationOfferViewController *offer, const char *name) {
        return offer->view()->findChild<QPushButton *>(QString::fromLatin1(name));
    }
};

} // namespace

TEST_F(RegistrationOfferTest, OnlyRegisterRunsTheActionAndEveryWayOutClosesWithItsEvent) {
    const QString screen = QStringLiteral("Motivation Register screen");
    const QString closed = QStringLiteral("Motivation Register screen: Close");
    const QString registered = QStringLiteral("Motivation Register screen: Click Register");
    struct Case {
        const char *name;
        bool withoutAction;
        std::function<void(QVMRegistrationOfferViewController *)> leave;
        int actions;
        QString event;
    } cases[] = {
        {"Escape", false, [](auto *offer) { QTest::keyClick(offer->view(), Qt::Key_Escape); }, 0, closed},
        {"the window manager's close", false, [](auto *offer) { offer->view()->close(); }, 0, closed},
        {"Close", false, [&](auto *offer) { QTest::mouseClick(button(offer, "offerClose"), Qt::LeftButton); },
         0, closed},
        {"Register without an action", true,
         [&](auto *offer) { QTest::mouseClick(button(offer, "offerRegister"), Qt::LeftButton); }, 0,
         registered},
        {"Register clicked twice", false,
         [&](auto *offer) {
             QTest::mouseClick(button(offer, "offerRegister"), Qt::LeftButton);
             QTest::mouseClick(button(offer, "offerRegister"), Qt::LeftButton);
         },
         1, registered},
        {"Return on the Close button", false,
         [&](auto *offer) { QTest::keyClick(button(offer, "offerClose"), Qt::Key_Return); }, 1, registered},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        panestest::NotificationCounter actions(QVMGeneralViewController::kRegistrationOfferAction);
        QPointer<QVMRegistrationOfferViewController> offer = showOffer();
        ASSERT_TRUE(offer);
        if (c.withoutAction)
            offer->setProperty("registrationAction", QVariant::fromValue(QVMAction()));
        QPointer<QWidget> window = offer->view();
        c.leave(offer);
        qvtest::spin(30);
        EXPECT_EQ(actions.count, c.actions);
        EXPECT_EQ(introtest::joined(events), introtest::joined({screen, c.event}));
        EXPECT_TRUE(!window || !window->isVisible());
        EXPECT_TRUE(general->presentedViewControllers().isEmpty());
    }
}

TEST_F(RegistrationOfferTest, HasNoTitleBarAndIsReadableAndNamed) {
    QPointer<QVMRegistrationOfferViewController> offer = showOffer();
    ASSERT_TRUE(offer);
    const Qt::WindowFlags flags = offer->view()->window()->windowFlags();
    EXPECT_FALSE(flags & (Qt::WindowCloseButtonHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(offer->view()->isVisible());
    uitest::expectEveryControlNamed(offer->view());
    uitest::expectReadableInBothPalettes(offer->view());
}
