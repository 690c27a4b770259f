#include "PanesTestSupport.h"

#include "panes/messages/QVMServerMessages.h"

#include "core/QVScreenPresentManager.h"
#include "core/settings/QVSettingsService.h"

using namespace panestest;

namespace {

const QString kChecked = QString::fromLatin1(QVMServerMessages::kLastCheckedKey);
const QString kShowed = QString::fromLatin1(QVRequestManager::kLastShowedServerMessageKey);

QVServerMessage message(qint64 id, const QString &title, const QString &text) {
    QVServerMessage m;
    m.idMessage = id;
    m.messageTitle = title;
    m.message = text;
    return m;
}

class ServerMessagesTest : public PanesTest {
protected:
    void SetUp() override {
        PanesTest::SetUp();
        setFlag(true);
        QVMServerMessages::setClock([this] { return clock; });
        QVMServerMessages::setFetch([this](const QString &language,
                                           QVRequestManager::ServerMessagesSuccess success,
                                           QVRequestManager::ErrorBlock failure) {
            languages << language;
            if (failing)
                failure(platform::Error(QStringLiteral("test"), 1, QStringLiteral("down")));
            else
                success(reply);
        });
        QVScreenPresentManager::shared().setScreenMode(QVScreenPresentManager::kWorkingMode);
        QVScreenPresentManager::shared().setPresented(false);
    }
    void TearDown() override {
        QVMServerMessages::setFetch({});
        QVMServerMessages::setClock({});
        QVScreenPresentManager::shared().setPresented(false);
        PanesTest::TearDown();
    }
    void setFlag(bool on) {
        const QVTranslateSettings settings = QVSettingsService::defaultSettings();
        write([&](platform::Transaction &tx) {
            QVRemoteSettings remote = settings.remoteSettings();
            if (!remote.isValid()) {
                remote = QVRemoteSettings(tx.create(QVRemoteSettings::storeClassName(),
                                                    {{"admobBannerId", QStringLiteral("test")}}));
                settings.setRemoteSettings(tx, remote);
            }
            remote.setShowServerMessages(tx, on);
        });
    }
    void check() {
        QVMServerMessages messages;
        messages.checkServerMessageIfNeed();
        qvtest::spin(5);
    }
    QDateTime storedCheck() const {
        return QDateTime::fromString(defaults().stringForKey(kChecked), Qt::ISODateWithMs);
    }

    QDateTime clock = QDateTime(QDate(2026, 1, 1), QTime(12, 0), Qt::UTC);
    QList<QVServerMessage> reply;
    bool failing = false;
    QStringList languages;
};

} // namespace

TEST_F(ServerMessagesTest, FetchesAtMostHourlyAndOnlyWhenTheFlagIsOn) {
    // Failure first: nothing stored, the next load tries again.
    failing = true;
    check();
    EXPECT_EQ(languages.size(), 1);
    EXPECT_FALSE(storedCheck().isValid());
    failing = false;
    check(); // nothing new: the date is stored
    ASSERT_EQ(storedCheck(), clock);
    const struct {
        const char *name;
        bool flag;
        int seconds;
        int fetches;
    } cases[] = {{"flag off", false, 7200, 0}, {"3600 s", true, 3600, 0}, {"3601 s", true, 3601, 1}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        setFlag(c.flag);
        defaults().setObject(QDateTime(QDate(2026, 1, 1), QTime(12, 0), Qt::UTC).toString(Qt::ISODateWithMs),
                             kChecked);
        clock = QDateTime(QDate(2026, 1, 1), QTime(12, 0), Qt::UTC).addSecs(c.seconds);
        languages.clear();
        check();
        EXPECT_EQ(languages.size(), c.fetches);
    }
}

TEST_F(ServerMessagesTest, ABusyScreenKeepsTheMessageUntilItIsFreedWithoutFetchingAgain) {
    reply = {message(9, QStringLiteral("News"), QStringLiteral("Text"))};
    QVScreenPresentManager::shared().setPresented(true);
    {
        // Gone before the screen is freed: nothing is shown by a dead owner.
        QVMServerMessages gone;
        gone.checkServerMessageIfNeed();
        qvtest::spin(5);
        EXPECT_TRUE(gone.isWaitingForScreen());
    }
    QVScreenPresentManager::shared().resetAfterCloseIfNeeded();
    qvtest::spin(5);
    EXPECT_TRUE(alerts->shown.isEmpty());

    defaults().removeObject(kChecked);
    languages.clear();
    QVScreenPresentManager::shared().setPresented(true);
    QVMServerMessages messages;
    messages.checkServerMessageIfNeed();
    qvtest::spin(5);
    EXPECT_TRUE(alerts->shown.isEmpty());
    EXPECT_EQ(storedCheck(), clock) << "the hourly limit applies to a held message";
    EXPECT_TRUE(messages.isWaitingForScreen());
    messages.checkServerMessageIfNeed(); // the window loads again within the hour
    qvtest::spin(5);
    EXPECT_EQ(languages.size(), 1);
    EXPECT_FALSE(defaults().objectForKey(kShowed).isValid());

    alerts->answers = {1000};
    QVScreenPresentManager::shared().resetAfterCloseIfNeeded(); // the other prompt closes
    qvtest::spin(5);
    ASSERT_EQ(alerts->shown.size(), 1);
    EXPECT_EQ(alerts->shown.at(0).title, QStringLiteral("News"));
    EXPECT_EQ(defaults().integerForKey(kShowed), 9);
    EXPECT_FALSE(messages.isWaitingForScreen());
    EXPECT_TRUE(messages.serverMessages().isEmpty());
}

TEST_F(ServerMessagesTest, OfTwoTheLowerIdIsShownAsPlainTextAndConfirmingStoresIt) {
    // Newest first, as the client hands them over; an empty one is skipped.
    reply = {message(12, QStringLiteral("<b>Newer</b>"), QStringLiteral("second")),
             message(11, QStringLiteral("Older & <i>wiser</i>"), QStringLiteral("<a href=x>first</a>")),
             message(10, QString(), QString())};
    alerts->answers = {1000};
    check();
    ASSERT_EQ(alerts->shown.size(), 1);
    EXPECT_EQ(alerts->shown.at(0).title, QStringLiteral("Older & <i>wiser</i>"));
    EXPECT_EQ(alerts->shown.at(0).message, QStringLiteral("<a href=x>first</a>"));
    EXPECT_EQ(alerts->shown.at(0).buttons, QStringList{QStringLiteral("OK")});
    EXPECT_EQ(defaults().integerForKey(kShowed), 11);
    EXPECT_EQ(storedCheck(), clock);
    EXPECT_FALSE(QVScreenPresentManager::shared().presented());
}

TEST_F(ServerMessagesTest, TheSplitViewAsksOncePerLoad) {
    installServerMessages();
    openWindow();
    EXPECT_EQ(languages.size(), 1);
}
