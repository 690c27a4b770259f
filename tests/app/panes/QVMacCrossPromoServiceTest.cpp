#include "app/core/ModelTestStore.h"
#include "app/core/RecordingCrashReporter.h"

#include "core/DevLogger.h"
#include "core/models/QVCrossApp.h"
#include "core/models/QVLanguageRealm.h"
#include "core/models/QVUnknownWord.h"
#include "panes/QVMacCrossPromoService.h"

#include "platform/CrashReporter.h"

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

} // namespace
