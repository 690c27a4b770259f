#include "app/core/ModelTestStore.h"
#include "app/core/RecordingCrashReporter.h"
#include "support/EventLoop.h"

#include "core/DevLogger.h"
#include "core/QVScreenPresentManager.h"
#include "core/models/QVCrossApp.h"
#include "core/models/QVLanguageRealm.h"
#include "core/models/QVUnknownWord.h"
#include "core/settings/QVSettingsService.h"
#include "panes/crosspromo/QVMacCrossPromoService.h"
#include "ui/QVMAlertPresenter.h"
#include "ui/QVMUtils.h"

#include "platform/CrashReporter.h"
#include "platform/UserDefaults.h"

#include <QDesktopServices>

namespace {

const QString kCrossApp = QVCrossApp::storeClassName();

struct Outcome {
    int calls = 0;
    bool saved = false;
};

Outcome save(const QVariantList &apps) {
    Outcome outcome;
    QVMacCrossPromoService::savePromoAppsWithData(apps, [&outcome](bool saved) {
        ++outcome.calls;
        outcome.saved = saved;
    });
    return outcome;
}

class QVMacCrossPromoServiceTest : public ModelStoreTest {
protected:
    void SetUp() override {
        ModelStoreTest::SetUp();
        platform::CrashReporter::setShared(reporter);
    }
    void TearDown() override {
        platform::CrashReporter::setShared(nullptr);
        ModelStoreTest::TearDown();
    }
    bool reported() {
        QMutexLocker lock(&reporter->mutex);
        for (const auto &record : reporter->records)
            if (record.userInfo.value(DevLogger::kMessageKey) == QVMacCrossPromoService::kSaveMessage)
                return true;
        return false;
    }
    std::shared_ptr<RecordingCrashReporter> reporter = std::make_shared<RecordingCrashReporter>();
};

TEST_F(QVMacCrossPromoServiceTest, CompletionSaysWhetherAnyEntryWasStored) {
    struct Case {
        const char *name;
        const char *json;
        bool saved;
        int stored;
    };
    const Case cases[] = {
        {"two entries", R"([{"index": "a", "title": "A"}, {"index": "b", "title": "B"}])", true, 2},
        {"empty list", "[]", false, 0},
        {"no primary keys", R"([{"title": "A"}, 7, "text"])", false, 0},
        {"one usable of three", R"([{"title": "A"}, {"index": "c"}, null])", true, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        write([](platform::Transaction &tx) { tx.removeAll(kCrossApp); });
        const Outcome outcome = save(jsonArray(c.json));
        EXPECT_EQ(outcome.calls, 1);
        EXPECT_EQ(outcome.saved, c.saved);
        EXPECT_EQ(count(kCrossApp), c.stored);
    }
    EXPECT_FALSE(reported());
}

TEST_F(QVMacCrossPromoServiceTest, SavingAgainUpdatesInPlaceAndKeepsTheShownMark) {
    ASSERT_TRUE(save(jsonArray(R"([{"index": "a", "title": "A"}])")).saved);
    write([](platform::Transaction &tx) {
        QVCrossApp(tx.store().objectForPrimaryKey(kCrossApp, QStringLiteral("a"))).setWasShown(tx, true);
    });
    ASSERT_TRUE(save(jsonArray(R"([{"index": "a", "title": "A2"}, {"index": "b"}])")).saved);
    EXPECT_EQ(count(kCrossApp), 2);
    const QVCrossApp a(store.objectForPrimaryKey(kCrossApp, QStringLiteral("a")));
    EXPECT_EQ(a.appName(), QStringLiteral("A2"));
    EXPECT_TRUE(a.wasShown());
    EXPECT_FALSE(QVCrossApp(store.objectForPrimaryKey(kCrossApp, QStringLiteral("b"))).wasShown());
}

TEST_F(QVMacCrossPromoServiceTest, SavingInsideAnOpenTransactionJoinsIt) {
    Outcome outcome;
    const platform::Error error = store.write([&](platform::Transaction &tx) {
        tx.createOrUpdate(QVLanguageRealm::storeClassName(), {{"localeIdentifier", "xx_XX"}});
        outcome = save(jsonArray(R"([{"index": "joined"}])"));
        // Visible inside the caller's transaction before it commits.
        EXPECT_TRUE(tx.store().objectForPrimaryKey(kCrossApp, QStringLiteral("joined")).isValid());
        throw std::runtime_error("caller gives up");
    });
    EXPECT_TRUE(error);
    EXPECT_TRUE(outcome.saved);
    // The caller's rollback takes the joined write with it.
    EXPECT_EQ(count(kCrossApp), 0);
}

TEST_F(QVMacCrossPromoServiceTest, FailureIsReportedAndAnswersNo) {
    // A store that does not hold the class: every write of an entry fails.
    platform::ObjectStore::resetDefaultStore();
    openStore(QStringLiteral("without-cross-apps.sqlite"), {QVUnknownWord::schema()});
    const Outcome outcome = save(jsonArray(R"([{"index": "a", "title": "A"}])"));
    EXPECT_EQ(outcome.calls, 1);
    EXPECT_FALSE(outcome.saved);
    EXPECT_TRUE(reported());
}

// Answers the prompt from a script (-1 makes the alert fail) and remembers what it showed.
class PromptAlerts : public QVMAlertPresenter {
public:
    int runModal(const Request &request) override {
        shown.append(request);
        heldWhileShown = QVScreenPresentManager::shared().presented();
        if (answer < 0)
            throw std::runtime_error("no window system");
        return answer;
    }
    QList<Request> shown;
    int answer = kSecondButtonReturn;
    bool heldWhileShown = false;
};

// Opens nothing: remembers the addresses handed to the desktop.
class OpenedLinks : public QObject {
    Q_OBJECT
public:
    OpenedLinks() {
        for (const char *scheme : {"http", "https", "itms-apps"})
            QDesktopServices::setUrlHandler(QLatin1String(scheme), this, "open");
    }
    ~OpenedLinks() override {
        for (const char *scheme : {"http", "https", "itms-apps"})
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    }
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl &url) { opened.append(url); }
};

enum class Picture { Arrives, Fails, NeverArrives };

class CrossPromoPromptTest : public QVMacCrossPromoServiceTest {
protected:
    void SetUp() override {
        QVMacCrossPromoServiceTest::SetUp();
        platform::UserDefaults::setStorageFile(dir.filePath(QStringLiteral("defaults.ini")));
        QVScreenPresentManager::shared().setScreenMode(QVScreenPresentManager::kWorkingMode);
        QVScreenPresentManager::shared().setPresented(false);
        QVMUtils::setAlertPresenter(alerts);
        QVMacCrossPromoService::setPictureWaitMs(kWaitMs);
        QVMacCrossPromoService::setPictureLoader(
            [this](const QUrl &url, const QVMRemoteImage::LoadCompletion &completion) {
                asked.append(url);
                if (picture == Picture::Arrives)
                    completion(image, {});
                else if (picture == Picture::Fails)
                    completion({}, platform::Error(QStringLiteral("test"), 1, QStringLiteral("gone")));
                else
                    late = completion;
            });
    }
    void TearDown() override {
        QVMacCrossPromoService::setPictureLoader({});
        QVMacCrossPromoService::setPictureWaitMs(0);
        QVMUtils::setAlertPresenter(nullptr);
        QVScreenPresentManager::shared().setPresented(false);
        platform::UserDefaults::setStorageFile({});
        QVMacCrossPromoServiceTest::TearDown();
    }
    void configure(qint64 every, qint64 day, bool repeat = false) {
        write([&](platform::Transaction &tx) {
            QVRemoteSettings remote = QVRemoteSettings::createWithDefaults(tx);
            remote.setCrossPromoEventCount(tx, every);
            remote.setCrossPromoRepeat(tx, repeat);
            QVTranslateSettings settings = QVSettingsService::defaultSettings();
            settings.setRemoteSettings(tx, remote);
            settings.setDayTranslationPassedCount(tx, day);
        });
    }
    // Entries in store order; each item: "index", "order", "showInPopup", "storeId".
    void storeApps(const char *json) {
        write([](platform::Transaction &tx) { tx.removeAll(kCrossApp); });
        QVariantList apps = jsonArray(json);
        for (QVariant &item : apps) {
            QVariantMap app = item.toMap();
            app.insert(QStringLiteral("title"), app.value(QStringLiteral("index")));
            app.insert(QStringLiteral("assetUrl"), QStringLiteral("https://cdn.example.invalid/a.png"));
            item = app;
        }
        ASSERT_TRUE(save(apps).saved);
    }
    void markAllShown() {
        write([](platform::Transaction &tx) {
            for (QVCrossApp app : tx.store().objects(kCrossApp).toList<QVCrossApp>())
                app.setWasShown(tx, true);
        });
    }
    QStringList shownMarks() const {
        QStringList marked;
        for (const QVCrossApp &app : store.objects(kCrossApp).toList<QVCrossApp>())
            if (app.wasShown())
                marked << app.appID();
        return marked;
    }
    // Runs the decision and lets the picture's wait and the alert happen.
    void decide() {
        QVMacCrossPromoService::crossPromoAction();
        qvtest::spin(kWaitMs * 3);
    }
    QStringList titles() const {
        QStringList shown;
        for (const QVMAlertPresenter::Request &request : alerts->shown)
            shown << request.title;
        return shown;
    }
    int lines(const char *line) {
        QMutexLocker lock(&reporter->mutex);
        return int(reporter->lines.count(QString::fromLatin1(line)));
    }

    static constexpr int kWaitMs = 30;
    std::shared_ptr<PromptAlerts> alerts = std::make_shared<PromptAlerts>();
    Picture picture = Picture::Arrives;
    QImage image = QImage(8, 8, QImage::Format_ARGB32);
    QList<QUrl> asked;
    QVMRemoteImage::LoadCompletion late;
};

const char *const kThreeApps = R"([{"index": "a", "order": 1, "showInPopup": true, "storeId": "https://s/a"},
                                   {"index": "b", "order": 2, "showInPopup": true, "storeId": "https://s/b"},
                                   {"index": "c", "order": 3, "showInPopup": true, "storeId": "https://s/c"}])";

TEST_F(CrossPromoPromptTest, ABusyArbiterShowsNothingAndStoresNoMark) {
    storeApps(kThreeApps);
    configure(15, 15);
    QVScreenPresentManager::shared().setPresented(true);
    decide();
    EXPECT_TRUE(alerts->shown.isEmpty());
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_TRUE(shownMarks().isEmpty());
}

TEST_F(CrossPromoPromptTest, EveryEndingReleasesTheArbiterAndOnlyDownloadOpensTheStore) {
    struct Case {
        const char *name;
        Picture picture;
        int answer;
        bool icon;
        int opened;
    };
    const Case cases[] = {
        {"alert fails", Picture::Arrives, -1, true, 0},
        {"picture fails", Picture::Fails, QVMAlertPresenter::kSecondButtonReturn, false, 0},
        {"cancel", Picture::Arrives, QVMAlertPresenter::kSecondButtonReturn, true, 0},
        {"download", Picture::Arrives, QVMAlertPresenter::kFirstButtonReturn, true, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        OpenedLinks links;
        storeApps(kThreeApps);
        configure(15, 15);
        alerts->shown.clear();
        alerts->answer = c.answer;
        picture = c.picture;
        decide();
        ASSERT_EQ(titles(), QStringList{QStringLiteral("a")});
        const QVMAlertPresenter::Request &shown = alerts->shown.at(0);
        EXPECT_EQ(shown.buttons, (QStringList{QStringLiteral("Download"), QStringLiteral("Cancel")}));
        EXPECT_EQ(!shown.icon.isNull(), c.icon);
        EXPECT_TRUE(alerts->heldWhileShown);
        EXPECT_FALSE(QVScreenPresentManager::shared().presented());
        EXPECT_EQ(shownMarks(), QStringList{QStringLiteral("a")});
        EXPECT_EQ(links.opened.size(), c.opened);
        if (c.opened) {
            EXPECT_EQ(links.opened.at(0), QUrl(QStringLiteral("https://s/a")));
        }
    }
}

TEST_F(CrossPromoPromptTest, APictureThatNeverArrivesIsNotWaitedForBeyondTheLimit) {
    storeApps(kThreeApps);
    configure(15, 15);
    picture = Picture::NeverArrives;
    QVMacCrossPromoService::crossPromoAction();
    EXPECT_TRUE(alerts->shown.isEmpty());
    ASSERT_TRUE(qvtest::waitUntil([this] { return !alerts->shown.isEmpty(); }));
    EXPECT_TRUE(alerts->shown.at(0).icon.isNull());
    EXPECT_EQ(asked, QList<QUrl>{QUrl(QStringLiteral("https://cdn.example.invalid/a.png"))});
    // The picture arriving afterwards shows no second alert.
    ASSERT_TRUE(bool(late));
    late(image, {});
    qvtest::spin(kWaitMs);
    EXPECT_EQ(alerts->shown.size(), 1);
}

TEST_F(CrossPromoPromptTest, TheDayCountPicksAmongPromptableWebLinkedEntriesByOrder) {
    struct Case {
        const char *name;
        const char *apps;
        qint64 every;
        qint64 day;
        const char *offered; // nullptr: none
    };
    const Case cases[] = {
        {"no translation yet", kThreeApps, 15, 0, nullptr},
        {"not a multiple", kThreeApps, 15, 16, nullptr},
        {"hidden from the prompt",
         R"([{"index": "hidden", "order": 0, "showInPopup": false, "storeId": "https://s/h"},
             {"index": "x", "order": 1, "showInPopup": true, "storeId": "https://s/x"}])",
         15, 15, "x"},
        {"store link of another scheme",
         R"([{"index": "other", "order": 0, "showInPopup": true, "storeId": "itms-apps://s/o"},
             {"index": "x", "order": 1, "showInPopup": true, "storeId": "https://s/x"}])",
         15, 15, "x"},
        {"no store link",
         R"([{"index": "none", "order": 0, "showInPopup": true, "storeId": ""},
             {"index": "x", "order": 1, "showInPopup": true, "storeId": "https://s/x"}])",
         15, 15, "x"},
        {"first multiple", kThreeApps, 15, 15, "a"},
        {"second multiple", kThreeApps, 15, 30, "b"},
        {"past the list wraps around", kThreeApps, 15, 75, "b"},
        {"zero means ten", kThreeApps, 0, 10, "a"},
        {"stored out of order",
         R"([{"index": "third", "order": 3, "showInPopup": true, "storeId": "https://s/3"},
             {"index": "first", "order": 1, "showInPopup": true, "storeId": "http://s/1"},
             {"index": "second", "order": 2, "showInPopup": true, "storeId": "https://s/2"}])",
         15, 15, "first"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        storeApps(c.apps);
        configure(c.every, c.day);
        alerts->shown.clear();
        decide();
        const QStringList expected = c.offered ? QStringList{QLatin1String(c.offered)} : QStringList();
        EXPECT_EQ(titles(), expected);
        // What was passed over stays unshown.
        EXPECT_EQ(shownMarks(), expected);
    }
}

TEST_F(CrossPromoPromptTest, RepeatClearsTheMarksBeforeChoosing) {
    struct Case {
        const char *name;
        bool repeat;
        QStringList offered;
        int noUnshownLines;
    };
    const Case cases[] = {
        {"without repeat all stay shown", false, {}, 1},
        {"with repeat the rotation starts again", true, {QStringLiteral("a")}, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        storeApps(kThreeApps);
        markAllShown();
        configure(15, 15, c.repeat);
        alerts->shown.clear();
        const int before = lines(QVMacCrossPromoService::kNoUnshownAppsLog);
        decide();
        EXPECT_EQ(titles(), c.offered);
        EXPECT_EQ(lines(QVMacCrossPromoService::kNoUnshownAppsLog) - before, c.noUnshownLines);
        EXPECT_EQ(shownMarks().size(), c.repeat ? 1 : 3);
    }
}

} // namespace

#include "QVMacCrossPromoServiceTest.moc"
