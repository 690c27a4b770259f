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
#include "ui/foundation/QVMAlertPresenter.h"
#include "ui/foundation/QVMUtils.h"

#include "platform/CrashReporter.h"
#include "platform/UserDefaults.h"

#include <QDesktopServices>

namespace {

const QString kCrossApp = QVCrossApp::storeClassName();
const QString kPicture = QStringLiteral("https://cdn.example.invalid/a.png");

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

QVCrossApp stored(const char *id) {
    return QVCrossApp(
        platform::ObjectStore::defaultStore().objectForPrimaryKey(kCrossApp, QString::fromLatin1(id)));
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
        return std::any_of(reporter->records.cbegin(), reporter->records.cend(), [](const auto &record) {
            return record.userInfo.value(DevLogger::kMessageKey) == QVMacCrossPromoService::kSaveMessage;
        });
    }
    std::shared_ptr<RecordingCrashReporter> reporter = std::make_shared<RecordingCrashReporter>();
};

TEST_F(QVMacCrossPromoServiceTest, CompletionSaysOnceWhetherAnyEntryWasStoredAndFailuresAreReported) {
    const struct {
        const char *name, *json;
        bool saved;
        int stored; // -1: a store without the class, where every write of an entry fails
    } cases[] = {
        {"two entries", R"([{"index": "a", "title": "A"}, {"index": "b", "title": "B"}])", true, 2},
        {"empty list", "[]", false, 0},
        {"no primary keys", R"([{"title": "A"}, 7, "text"])", false, 0},
        {"one usable of three", R"([{"title": "A"}, {"index": "c"}, null])", true, 1},
        {"write fails", R"([{"index": "a", "title": "A"}])", false, -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        write([](platform::Transaction &tx) { tx.removeAll(kCrossApp); });
        if (c.stored < 0) {
            platform::ObjectStore::resetDefaultStore();
            openStore(QStringLiteral("without-cross-apps.sqlite"), {QVUnknownWord::schema()});
        }
        const Outcome outcome = save(jsonArray(c.json));
        EXPECT_EQ(outcome.calls, 1);
        EXPECT_EQ(outcome.saved, c.saved);
        EXPECT_EQ(reported(), c.stored < 0);
        if (c.stored >= 0) {
            EXPECT_EQ(count(kCrossApp), c.stored);
        }
    }
}

TEST_F(QVMacCrossPromoServiceTest, SavingAgainUpdatesInPlaceAndKeepsTheShownMark) {
    ASSERT_TRUE(save(jsonArray(R"([{"index": "a", "title": "A"}])")).saved);
    write([](platform::Transaction &tx) { stored("a").setWasShown(tx, true); });
    ASSERT_TRUE(save(jsonArray(R"([{"index": "a", "title": "A2"}, {"index": "b"}])")).saved);
    EXPECT_EQ(count(kCrossApp), 2);
    EXPECT_EQ(stored("a").appName(), QStringLiteral("A2"));
    EXPECT_TRUE(stored("a").wasShown());
    EXPECT_FALSE(stored("b").wasShown());
}

TEST_F(QVMacCrossPromoServiceTest, SavingInsideAnOpenTransactionJoinsIt) {
    Outcome outcome;
    const platform::Error error = store.write([&](platform::Transaction &tx) {
        tx.createOrUpdate(QVLanguageRealm::storeClassName(), {{"localeIdentifier", "xx_XX"}});
        outcome = save(jsonArray(R"([{"index": "joined"}])"));
        EXPECT_TRUE(tx.store().objectForPrimaryKey(kCrossApp, QStringLiteral("joined")).isValid());
        throw std::runtime_error("caller gives up");
    });
    EXPECT_TRUE(error);
    EXPECT_TRUE(outcome.saved);
    EXPECT_EQ(count(kCrossApp), 0) << "the caller's rollback takes the joined write with it";
}

// The desktop as the prompt sees it: answers alerts from a script (-1 makes the alert fail)
// and opens no address, remembering what it showed and opened.
class Desktop : public QObject, public QVMAlertPresenter {
    Q_OBJECT
public:
    Desktop() {
        for (const char *scheme : kSchemes)
            QDesktopServices::setUrlHandler(QLatin1String(scheme), this, "open");
    }
    ~Desktop() override {
        for (const char *scheme : kSchemes)
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
    }
    int runModal(const Request &request) override {
        titles << request.title;
        last = request;
        heldWhileShown = QVScreenPresentManager::shared().presented();
        if (answer < 0)
            throw std::runtime_error("no window system");
        return answer;
    }
    QStringList titles;
    Request last;
    int answer = kSecondButtonReturn;
    bool heldWhileShown = false;
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl &url) { opened.append(url); }

private:
    static constexpr const char *kSchemes[] = {"http", "https", "itms-apps"};
};

enum class Picture { Arrives, Fails, NeverArrives };
enum class Before { Nothing, Busy, AllShown, AllShownRepeat };

// The store link is "https://s/<id>" unless given.
struct App {
    const char *id;
    int order;
    bool popup = true;
    const char *store = nullptr;
};
using Apps = std::vector<App>;
const Apps kThreeApps = {{"a", 1}, {"b", 2}, {"c", 3}};

class CrossPromoPromptTest : public QVMacCrossPromoServiceTest {
protected:
    void SetUp() override {
        QVMacCrossPromoServiceTest::SetUp();
        platform::UserDefaults::setStorageFile(dir.filePath(QStringLiteral("defaults.ini")));
        QVScreenPresentManager::shared().setScreenMode(QVScreenPresentManager::kWorkingMode);
        QVScreenPresentManager::shared().setPresented(false);
        QVMUtils::setAlertPresenter(desktop);
        QVMacCrossPromoService::setPictureWaitMs(kWaitMs);
        QVMacCrossPromoService::setPictureLoader([this](const QUrl &url, const auto &completion) {
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
    // Stores the entries in the given order and sets the counts; the alert list starts empty.
    void prepare(const Apps &apps, qint64 every, qint64 day, Before before = Before::Nothing) {
        desktop->titles.clear();
        desktop->opened.clear();
        asked.clear();
        late = {};
        write([&](platform::Transaction &tx) {
            tx.removeAll(kCrossApp);
            QVRemoteSettings remote = QVRemoteSettings::createWithDefaults(tx);
            remote.setCrossPromoEventCount(tx, every);
            remote.setCrossPromoRepeat(tx, before == Before::AllShownRepeat);
            QVTranslateSettings settings = QVSettingsService::defaultSettings();
            settings.setRemoteSettings(tx, remote);
            settings.setDayTranslationPassedCount(tx, day);
        });
        QVariantList list;
        for (const App &app : apps) {
            const QString link =
                app.store ? QString::fromLatin1(app.store) : "https://s/" + QString::fromLatin1(app.id);
            list << QVariantMap{{"index", app.id},          {"title", app.id}, {"order", app.order},
                                {"showInPopup", app.popup}, {"storeId", link}, {"assetUrl", kPicture}};
        }
        ASSERT_TRUE(save(list).saved);
        if (before == Before::AllShown || before == Before::AllShownRepeat)
            write([&](platform::Transaction &tx) {
                for (const App &app : apps)
                    stored(app.id).setWasShown(tx, true);
            });
        QVScreenPresentManager::shared().setPresented(before == Before::Busy);
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
        EXPECT_TRUE(desktop->titles.isEmpty()) << "the translation that triggered it waits for nothing";
        qvtest::spin(kWaitMs * 3);
    }
    int noUnshownLines() {
        QMutexLocker lock(&reporter->mutex);
        return int(reporter->lines.count(QString::fromLatin1(QVMacCrossPromoService::kNoUnshownAppsLog)));
    }

    static constexpr int kWaitMs = 30;
    std::shared_ptr<Desktop> desktop = std::make_shared<Desktop>();
    Picture picture = Picture::Arrives;
    QImage image = QImage(8, 8, QImage::Format_ARGB32);
    QList<QUrl> asked;
    QVMRemoteImage::LoadCompletion late;
};

TEST_F(CrossPromoPromptTest, EveryPictureOutcomeAndAnswerShowsOneAlertAndReleasesTheArbiter) {
    const int cancel = QVMAlertPresenter::kSecondButtonReturn;
    const struct {
        const char *name;
        Picture picture;
        int answer;
        bool icon;
        int opened;
    } cases[] = {
        {"alert fails", Picture::Arrives, -1, true, 0},
        {"picture fails", Picture::Fails, cancel, false, 0},
        {"picture never arrives", Picture::NeverArrives, cancel, false, 0},
        {"cancel", Picture::Arrives, cancel, true, 0},
        {"download", Picture::Arrives, QVMAlertPresenter::kFirstButtonReturn, true, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        prepare(kThreeApps, 15, 15);
        desktop->answer = c.answer;
        picture = c.picture;
        decide();
        ASSERT_EQ(desktop->titles, QStringList{"a"});
        EXPECT_EQ(desktop->last.buttons, QStringList({"Download", "Cancel"}));
        EXPECT_EQ(!desktop->last.icon.isNull(), c.icon);
        EXPECT_EQ(asked, QList<QUrl>{QUrl(kPicture)});
        EXPECT_TRUE(desktop->heldWhileShown);
        EXPECT_FALSE(QVScreenPresentManager::shared().presented());
        EXPECT_EQ(shownMarks(), QStringList{"a"});
        EXPECT_EQ(desktop->opened, QList<QUrl>(c.opened, QUrl(QStringLiteral("https://s/a"))));
        if (late) {
            late(image, {});
            qvtest::spin(kWaitMs);
            EXPECT_EQ(desktop->titles.size(), 1) << "a late picture shows no second alert";
        }
    }
}

TEST_F(CrossPromoPromptTest, TheOfferFollowsDayCountOrderPopupFlagStoreLinkArbiterAndRepeat) {
    const App x = {"x", 1};
    const struct {
        const char *name;
        Apps apps;
        qint64 day;
        const char *offered; // nullptr: none
        Before before = Before::Nothing;
        qint64 every = 15;
    } cases[] = {
        {"a busy arbiter", kThreeApps, 15, nullptr, Before::Busy},
        {"all shown without repeat", kThreeApps, 15, nullptr, Before::AllShown},
        {"repeat clears the marks first", kThreeApps, 15, "a", Before::AllShownRepeat},
        {"no translation yet", kThreeApps, 0, nullptr},
        {"not a multiple", kThreeApps, 16, nullptr},
        {"hidden from the prompt", {{"hidden", 0, false}, x}, 15, "x"},
        {"store link of another scheme", {{"other", 0, true, "itms-apps://s/o"}, x}, 15, "x"},
        {"no store link", {{"none", 0, true, ""}, x}, 15, "x"},
        {"first multiple", kThreeApps, 15, "a"},
        {"second multiple", kThreeApps, 30, "b"},
        {"past the list wraps around", kThreeApps, 75, "b"},
        {"zero means ten", kThreeApps, 10, "a", Before::Nothing, 0},
        {"stored out of order", {{"z", 3}, {"m", 1, true, "http://s/m"}, {"n", 2}}, 15, "m"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        prepare(c.apps, c.every, c.day, c.before);
        const int before = noUnshownLines();
        decide();
        const QStringList offered = c.offered ? QStringList{QLatin1String(c.offered)} : QStringList();
        EXPECT_EQ(desktop->titles, offered);
        EXPECT_EQ(asked.isEmpty(), offered.isEmpty());
        // What was passed over stays unshown.
        EXPECT_EQ(shownMarks(), c.before == Before::AllShown ? QStringList({"a", "b", "c"}) : offered);
        EXPECT_EQ(noUnshownLines() - before, c.before == Before::AllShown ? 1 : 0);
    }
}

} // namespace

#include "QVMacCrossPromoServiceTest.moc"
