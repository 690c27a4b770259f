#include "ui/foundation/QVMUtils.h"
#include "UiTestSupport.h"
#include "core/localization/QVLocalizedString.h"
#include "platform/NetworkStatus.h"
#include "platform/UserDefaults.h"
#include "support/EventLoop.h"
#include "ui/window/QVGeneralWindowController.h"

#include <QCoreApplication>
#include <QMainWindow>
#include <QTextDocument>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(QVMUtils, NetworkAvailabilityFollowsTheStatus) {
    auto &network = platform::NetworkStatus::shared();
    network.setOverride(platform::NetworkStatus::NotReachable);
    EXPECT_FALSE(QVMUtils::isNetworkAvailable());
    network.setOverride(platform::NetworkStatus::ReachableViaWiFi);
    EXPECT_TRUE(QVMUtils::isNetworkAvailable());
    network.setOverride(platform::NetworkStatus::ReachableViaOther);
    EXPECT_TRUE(QVMUtils::isNetworkAvailable());
    network.setOverride(std::nullopt);
}

TEST(QVMUtils, SharedDefaultsIsTheStandardObjectAndDeviceNameIsNeverEmpty) {
    EXPECT_EQ(&QVMUtils::sharedDefaults(), &platform::UserDefaults::standard());
    EXPECT_FALSE(QVMUtils::getDeviceName().isEmpty());
}

TEST(QVMUtils, VersionIsTheApplicationsOrTheBuildsShortVersion) {
    const QString saved = QCoreApplication::applicationVersion();
    QCoreApplication::setApplicationVersion(QString());
    EXPECT_EQ(QVMUtils::getAppVersionFromBundle(), QStringLiteral(QV_SHORT_VERSION));
    QCoreApplication::setApplicationVersion(QStringLiteral("2.5"));
    EXPECT_EQ(QVMUtils::getAppVersionFromBundle(), QStringLiteral("2.5"));
    QCoreApplication::setApplicationVersion(saved);
}

TEST(QVGeneralWindowController, WindowIsTitledWithTheShortVersion) {
    QVGeneralWindowController controller;
    ASSERT_NE(controller.window(), nullptr);
    EXPECT_EQ(controller.window()->windowTitle(),
              QStringLiteral("Quorvalde Translator v ") + QVMUtils::getAppVersionFromBundle());
    EXPECT_TRUE(controller.window()->windowTitle().startsWith(QStringLiteral("Quorvalde Translator v 1.")));
}

namespace {

struct TextCase {
    const char *input;
    const char *expected;
};

} // namespace

TEST(QVMUtils, ValidateEmailNeedsOneAtANameAndADottedHost) {
    const struct {
        const char *text;
        bool valid;
    } cases[] = {
        {"", false},
        {"user.example.com", false},      // no "@"
        {"user@localhost", false},        // no "." after the "@"
        {"user@mail@example.com", false}, // two "@"
        {"user@example.com", true},
        {"first.last@mail.example.co.uk", true},
        {"@example.com", false},  // nobody to write to
        {"user@example.", false}, // the host ends with a dot
        {"user@.com", false},
        {"user@example..com", false},
        {"us er@example.com", false},
        {"user@example.com\n", false},
        {"user@exa\rmple.com", false},                   // would split the header it goes in
        {"user\x01@example.com", false},                 // a control character
        {"user\u2028@example.com", false},               // a line separator outside ASCII
        {"<user@example.com>", false},
        {"a,b@example.com", false}, // a second address in one header
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(QVMUtils::validateEmail(QString::fromUtf8(c.text)), c.valid);
    }
}

TEST(QVMUtils, PathStringMakesALoadableAddressOrNothing) {
    const TextCase cases[] = {
        {"www.example.com", "http://www.example.com"},
        {"example.com", "http://www.example.com"}, // the same as behind "www."
        {"example.com/a?b=1", "http://www.example.com/a?b=1"},
        {"http://example.com/page", "http://example.com/page"},
        {"https://example.com", "https://example.com"},
        {"http://www.example.com", "http://www.example.com"},
        {"https://www.example.com", "https://www.example.com"},
        {"HTTPS://Example.com", "HTTPS://Example.com"},
        {"WWW.example.com", "http://WWW.example.com"},
        {"  example.com\n", "http://www.example.com"},
        {"", ""},
        {"   ", ""},
        {"ftp://example.com/file", ""},
        {"file:///etc/passwd", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(QVMUtils::pathStringWithString(QString::fromUtf8(c.input)), QString::fromUtf8(c.expected));
    }
}

TEST(QVMUtils, PlainToolTipShowsOutsideTextAsTyped) {
    const char *texts[] = {"<b>bold</b>",
                           "<img src=\"file:///etc/hostname\">",
                           "a <i>b</i> & c",
                           "x < y & <p>",
                           "dog",
                           "Gaeilge (\u00c9ire)",
                           ""};
    for (const char *raw : texts) {
        SCOPED_TRACE(raw);
        const QString text = QString::fromUtf8(raw);
        const QString tip = QVMUtils::plainToolTip(text);
        // As the tooltip renders it: markup when it looks like markup.
        QTextDocument shown;
        if (Qt::mightBeRichText(tip))
            shown.setHtml(tip);
        else
            shown.setPlainText(tip);
        EXPECT_EQ(shown.toPlainText(), text);
    }
}

TEST(QVMUtils, ImageNameAndSystemVersionStrings) {
    EXPECT_EQ(QVMUtils::getImageNameJPG(QStringLiteral("intro_slide_0")),
              QStringLiteral("intro_slide_0.jpg"));
    EXPECT_EQ(QVMUtils::getImageNameJPG(QString()), QStringLiteral(".jpg"));

    const QStringList parts = QVMUtils::getOSVersion().split(QLatin1Char('.'));
    ASSERT_EQ(parts.size(), 3) << QVMUtils::getOSVersion().toStdString();
    for (const QString &part : parts) {
        bool number = false;
        EXPECT_GE(part.toLong(&number), 0);
        EXPECT_TRUE(number) << part.toStdString();
    }
    EXPECT_EQ(parts.at(1).toLong(), QVMUtils::getOSMinorVersion());
}

TEST(QVMUtils, SafeObjectAtIndexGivesNothingPastTheEnd) {
    const QList<QString> list{QStringLiteral("a"), QStringLiteral("b")};
    EXPECT_EQ(safeObjectAtIndex(list, 1), std::optional<QString>(QStringLiteral("b")));
    EXPECT_FALSE(safeObjectAtIndex(list, 2).has_value()); // index equal to the count
    EXPECT_FALSE(safeObjectAtIndex(list, -1).has_value());
    EXPECT_FALSE(safeObjectAtIndex(QList<int>(), 0).has_value());
}

TEST(QVMUtilsAlerts, EachAnswerCallsOnlyItsOwnHandler) {
    const struct {
        int answer;
        int expectedHandler; // 0 none, else 1..3
    } cases[] = {
        {QVMAlertPresenter::kFirstButtonReturn, 1},
        {QVMAlertPresenter::kSecondButtonReturn, 2},
        {QVMAlertPresenter::kThirdButtonReturn, 3},
        {0, 0},
        {1003, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.answer);
        uitest::ScopedAlerts alerts;
        alerts->answers = {c.answer};
        QList<int> called;
        QVMUtils::showAlertWithTitle(
            QStringLiteral("Title"), QStringLiteral("Message"), QStringLiteral("One"), [&] { called << 1; },
            QStringLiteral("Two"), [&] { called << 2; }, QStringLiteral("Three"), [&] { called << 3; });
        ASSERT_EQ(alerts->shown.size(), 1);
        EXPECT_EQ(alerts->shown.first().title, QStringLiteral("Title"));
        EXPECT_EQ(alerts->shown.first().message, QStringLiteral("Message"));
        EXPECT_EQ(alerts->shown.first().buttons,
                  QStringList({QStringLiteral("One"), QStringLiteral("Two"), QStringLiteral("Three")}));
        EXPECT_EQ(called, c.expectedHandler ? QList<int>{c.expectedHandler} : QList<int>{});
    }
}

TEST(QVMUtilsAlerts, MissingTitlesAddNoButtonAndMissingHandlersDoNothing) {
    uitest::ScopedAlerts alerts;
    // Only a second title: it is the alert's one button and answers with its own handler.
    alerts->answers = {QVMAlertPresenter::kFirstButtonReturn};
    QList<int> called;
    QVMUtils::showAlertWithTitle(
        QStringLiteral("T"), QString(), QString(), [&] { called << 1; }, QStringLiteral("Close"),
        [&] { called << 2; });
    ASSERT_EQ(alerts->shown.size(), 1);
    EXPECT_EQ(alerts->shown.first().buttons, QStringList{QStringLiteral("Close")});
    EXPECT_EQ(called, QList<int>{2});

    // A button without a handler only closes the alert.
    alerts->answers = {QVMAlertPresenter::kSecondButtonReturn};
    QVMUtils::showAlertWithTitle(QStringLiteral("T"), QString(), QStringLiteral("A"), [&] { called << 1; },
                                 QStringLiteral("B"), {});
    EXPECT_EQ(called, QList<int>{2});
}

TEST(QVMUtilsAlerts, ErrorAlertHasTheErrorTitleAndOneOkButton) {
    uitest::ScopedAlerts alerts;
    QVMUtils::showErrorAlertWithMessage(QStringLiteral("The file is damaged"));
    ASSERT_EQ(alerts->shown.size(), 1);
    const QString title = QVLocalizedString(QStringLiteral("_loc_alert_title_error"));
    const QString ok = QVLocalizedString(QStringLiteral("_loc_button_ok"));
    EXPECT_NE(title, QStringLiteral("_loc_alert_title_error")); // the tables hold the key
    EXPECT_EQ(alerts->shown.first().title, title);
    EXPECT_EQ(alerts->shown.first().message, QStringLiteral("The file is damaged"));
    EXPECT_EQ(alerts->shown.first().buttons, QStringList{ok});
}

TEST(QVMUtilsAlerts, AlertFromAWorkerThreadRunsOnTheMainThreadAndWaitsForTheAnswer) {
    uitest::ScopedAlerts alerts;
    alerts->answers = {QVMAlertPresenter::kFirstButtonReturn};
    std::atomic<bool> handled{false};
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        QVMUtils::showAlertWithTitle(QStringLiteral("T"), QString(), QStringLiteral("OK"),
                                     [&] { handled = true; });
        returned = true;
    });
    EXPECT_TRUE(qvtest::waitUntil([&] { return returned.load(); }));
    worker.join();
    EXPECT_TRUE(handled.load());
    EXPECT_TRUE(alerts->ranOnMainThread);
}

TEST(QVMUtilsImages, RoundImageKeepsTheCircleRestingOnTheBottomEdge) {
    const QImage empty;
    EXPECT_TRUE(QVMUtils::roundedImageWithImage(empty).isNull());
    const QImage zero(0, 0, QImage::Format_ARGB32);
    EXPECT_EQ(QVMUtils::roundedImageWithImage(zero).size(), QSize(0, 0));

    // 200 x 100: the visible part is the circle of diameter 100 starting at x 50.
    const QImage wide = QVMUtils::roundedImageWithImage(uitest::solidImage(200, 100, Qt::red));
    ASSERT_EQ(wide.size(), QSize(200, 100));
    const struct {
        QPoint point;
        bool opaque;
    } wideCases[] = {{{100, 50}, true},  {{52, 50}, true}, {{147, 50}, true}, {{10, 50}, false},
                     {{190, 50}, false}, {{52, 3}, false}, {{147, 97}, false}};
    for (const auto &c : wideCases) {
        SCOPED_TRACE(QStringLiteral("%1,%2").arg(c.point.x()).arg(c.point.y()).toStdString());
        EXPECT_EQ(wide.pixelColor(c.point).alpha() == 255, c.opaque);
        EXPECT_EQ(wide.pixelColor(c.point).alpha() == 0, !c.opaque);
    }
    // 100 x 200: the circle sits on the bottom half, the top half is transparent.
    const QImage tall = QVMUtils::roundedImageWithImage(uitest::solidImage(100, 200, Qt::blue));
    EXPECT_EQ(tall.pixelColor(50, 150).alpha(), 255);
    EXPECT_EQ(tall.pixelColor(50, 50).alpha(), 0);
    EXPECT_EQ(tall.pixelColor(50, 150), QColor(Qt::blue));
}

TEST(QVMUtilsImages, TintReplacesTheColourWhereOpaqueAndKeepsTheAlpha) {
    QImage source(4, 1, QImage::Format_ARGB32);
    source.setPixelColor(0, 0, QColor(255, 0, 0, 255));
    source.setPixelColor(1, 0, QColor(0, 0, 255, 128));
    source.setPixelColor(2, 0, QColor(0, 0, 0, 0));
    source.setPixelColor(3, 0, QColor(10, 200, 10, 255));

    const QImage tinted = QVMUtils::image(source, QColor(0, 255, 0));
    EXPECT_EQ(tinted.pixelColor(0, 0), QColor(0, 255, 0, 255));
    EXPECT_NEAR(tinted.pixelColor(1, 0).alpha(), 128, 1);
    EXPECT_NEAR(tinted.pixelColor(1, 0).green(), 255, 2);
    EXPECT_EQ(tinted.pixelColor(1, 0).blue(), 0);
    EXPECT_EQ(tinted.pixelColor(2, 0).alpha(), 0);
    EXPECT_EQ(tinted.pixelColor(3, 0), QColor(0, 255, 0, 255));
    // The source is untouched, and no colour gives a plain copy.
    EXPECT_EQ(source.pixelColor(0, 0), QColor(255, 0, 0, 255));
    const QImage plain = QVMUtils::image(source, QColor());
    EXPECT_EQ(plain.pixelColor(3, 0), QColor(10, 200, 10, 255));
}
