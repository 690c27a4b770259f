#include "app/core/ModelTestStore.h"

#include "core/models/QVRemoteSettings.h"
#include "core/settings/QVSettingsService.h"
#include "startup/QVRatingPrompt.h"

#include "support/EventLoop.h"

#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {

using Choice = QVRatingPromptPresenter::Choice;

// Keeps the answer callback so the test answers as a user would.
class FakePresenter : public QVRatingPromptPresenter {
public:
    void present(const Texts &texts, std::function<void(Choice)> done) override {
        ++shown;
        lastTexts = texts;
        pending = std::move(done);
    }
    void choose(Choice choice) {
        ASSERT_TRUE(pending);
        auto done = std::move(pending);
        pending = nullptr;
        done(choice);
    }
    int shown = 0;
    Texts lastTexts;
    std::function<void(Choice)> pending;
};

const char *const kNotifications[] = {
    QVRatingPrompt::kDidPromptNotification,
    QVRatingPrompt::kDidAttemptToRateNotification,
    QVRatingPrompt::kDidDeclineNotification,
    QVRatingPrompt::kDidRequestReminderNotification,
};

class QVRatingPromptTest : public ModelStoreTest {
protected:
    void SetUp() override {
        ModelStoreTest::SetUp();
        platform::UserDefaults::setStorageFile(dir.filePath(QStringLiteral("defaults.ini")));
        for (const char *name : kNotifications)
            tokens << platform::NotificationCenter::defaultCenter().addObserver(
                QString::fromLatin1(name),
                [this, name](const QVariantMap &) { posted << QString::fromLatin1(name); });
        prompt = makePrompt(QStringLiteral("2.5"));
    }
    void TearDown() override {
        for (const auto token : tokens)
            platform::NotificationCenter::defaultCenter().removeObserver(token);
        platform::UserDefaults::setStorageFile({});
        ModelStoreTest::TearDown();
    }

    std::unique_ptr<QVRatingPrompt> makePrompt(const QString &version) {
        auto made = std::make_unique<QVRatingPrompt>();
        made->setPresenter(presenter);
        made->setApplicationVersion(version);
        made->setUrlOpener([this](const QUrl &url) {
            opened << url;
            return true;
        });
        return made;
    }
    // Events until the prompt shows (at most 10).
    int eventsUntilShown(QVRatingPrompt &target) {
        const int before = presenter->shown;
        for (int i = 1; i <= 10; ++i) {
            target.logEvent(false);
            if (presenter->shown > before)
                return i;
        }
        return 0;
    }

    std::shared_ptr<FakePresenter> presenter = std::make_shared<FakePresenter>();
    std::unique_ptr<QVRatingPrompt> prompt;
    QStringList posted;
    QList<QUrl> opened;
    QList<platform::NotificationCenter::Token> tokens;
};

TEST_F(QVRatingPromptTest, ThirdEventPromptsOnceAndTheCountSurvivesARestart) {
    prompt->logEvent(false);
    prompt->logEvent(false);
    EXPECT_EQ(presenter->shown, 0);
    EXPECT_EQ(makePrompt(QStringLiteral("2.5"))->eventCount(), 2u); // read back from the user defaults

    prompt->logEvent(false);
    EXPECT_EQ(presenter->shown, 1);
    EXPECT_EQ(posted, QStringList{QString::fromLatin1(QVRatingPrompt::kDidPromptNotification)});
    EXPECT_FALSE(presenter->lastTexts.rate.isEmpty());
    EXPECT_FALSE(presenter->lastTexts.rate.startsWith(QLatin1String("_loc_")));

    prompt->logEvent(false); // already on screen: not a second dialog
    EXPECT_EQ(presenter->shown, 1);
}

TEST_F(QVRatingPromptTest, DeferredEventsCountWithoutPrompting) {
    for (int i = 0; i < 5; ++i)
        prompt->logEvent(true);
    EXPECT_EQ(presenter->shown, 0);
    EXPECT_EQ(prompt->eventCount(), 5u);
    prompt->promptIfAllCriteriaMet();
    EXPECT_EQ(presenter->shown, 1);
}

TEST_F(QVRatingPromptTest, EachAnswerPostsItsNotificationAndDecidesWhetherToAskAgain) {
    struct Case {
        const char *name;
        Choice choice;
        const char *notification;
        bool asksAgainThisVersion;
    };
    const Case cases[] = {
        {"rate", Choice::Rate, QVRatingPrompt::kDidAttemptToRateNotification, false},
        {"decline", Choice::Decline, QVRatingPrompt::kDidDeclineNotification, false},
        {"remind", Choice::Remind, QVRatingPrompt::kDidRequestReminderNotification, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        platform::UserDefaults::setStorageFile(dir.filePath(QString::fromLatin1(c.name) + ".ini"));
        prompt = makePrompt(QStringLiteral("2.5"));
        posted.clear();
        ASSERT_EQ(eventsUntilShown(*prompt), 3);
        presenter->choose(c.choice);
        EXPECT_EQ(posted.last(), QString::fromLatin1(c.notification));

        // What the launch code does on the reminder: the count starts again.
        prompt->setEventCount(0);
        EXPECT_EQ(eventsUntilShown(*prompt) == 3, c.asksAgainThisVersion);
        if (presenter->pending)
            presenter->choose(Choice::Remind);

        auto nextVersion = makePrompt(QStringLiteral("2.6"));
        nextVersion->setEventCount(0);
        EXPECT_EQ(eventsUntilShown(*nextVersion), 3);
        presenter->choose(Choice::Remind);
    }
}

TEST_F(QVRatingPromptTest, RateOpensTheConfiguredRatingPageOnly) {
    struct Case {
        const char *name;
        QString appStoreLink;
        QString storeLink;
        QString expected;
    };
    const Case cases[] = {
        {"store page", "https://store.example/app/quorvalde", "https://maker.example/store",
         "https://store.example/app/quorvalde"},
        {"fallback link", "", "https://maker.example/store", "https://maker.example/store"},
        {"nothing usable", "javascript:alert(1)", "", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QVSettingsService::changeSettings(
            [&](platform::Transaction &tx, const QVTranslateSettings &settings) {
                QVRemoteSettings remote = QVRemoteSettings::createWithDefaults(tx);
                remote.setAppStoreLink(tx, c.appStoreLink);
                remote.setStoreLink(tx, c.storeLink);
                settings.setRemoteSettings(tx, remote);
            });
        platform::UserDefaults::setStorageFile(dir.filePath(QString::fromLatin1(c.name) + ".ini"));
        opened.clear();
        prompt->setEventCount(0);
        ASSERT_EQ(eventsUntilShown(*prompt), 3);
        presenter->choose(Choice::Rate);
        if (c.expected.isEmpty()) {
            EXPECT_TRUE(opened.isEmpty());
        } else {
            EXPECT_EQ(opened, QList<QUrl>{QUrl(c.expected)});
        }
    }
}

TEST_F(QVRatingPromptTest, DesktopDialogIsNonModalAndAnswersThroughItsButtons) {
    prompt->setPresenter(nullptr);
    prompt->setEventCount(3);
    prompt->promptIfAllCriteriaMet();
    QMessageBox *box = nullptr;
    ASSERT_TRUE(qvtest::waitUntil([&] {
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (auto *candidate = qobject_cast<QMessageBox *>(widget); candidate && candidate->isVisible())
                box = candidate;
        return box != nullptr;
    }));
    EXPECT_EQ(box->windowModality(), Qt::NonModal);
    EXPECT_EQ(box->buttons().size(), 3);
    QPushButton *decline = nullptr;
    for (QAbstractButton *button : box->buttons())
        if (box->buttonRole(button) == QMessageBox::RejectRole)
            decline = qobject_cast<QPushButton *>(button);
    ASSERT_NE(decline, nullptr);
    decline->click();
    ASSERT_TRUE(qvtest::waitUntil([&] { return posted.size() == 2; }));
    EXPECT_EQ(posted.last(), QString::fromLatin1(QVRatingPrompt::kDidDeclineNotification));
    EXPECT_FALSE(prompt->isPromptVisible());
}

} // namespace
