#include "app/core/ModelTestStore.h"

#include "core/models/QVAuthProfile.h"
#include "core/settings/QVAuthService.h"

#include "platform/UserDefaults.h"

using namespace platform;

class AuthServiceTest : public ModelStoreTest {
protected:
    void SetUp() override {
        ModelStoreTest::SetUp();
        defaultsPath = dir.filePath(QStringLiteral("defaults.ini"));
        UserDefaults::setStorageFile(defaultsPath);
    }
    void TearDown() override {
        UserDefaults::setStorageFile({});
        ModelStoreTest::TearDown();
    }

    QString defaultsPath;
};

TEST_F(AuthServiceTest, TokenIsKeptInTheDefaultsFileUntilCleared) {
    EXPECT_TRUE(QVAuthService::authToken().isEmpty());
    QVAuthService::setAuthToken(QStringLiteral("abc.def"));
    EXPECT_EQ(QVAuthService::authToken(), QStringLiteral("abc.def"));
    // Written out at once: another reader of the file sees it.
    EXPECT_EQ(UserDefaults(defaultsPath).stringForKey(QStringLiteral("kUserDefaultsTokenKey")),
              QStringLiteral("abc.def"));

    QVAuthService::clearAuthToken();
    EXPECT_TRUE(QVAuthService::authToken().isEmpty());
    EXPECT_FALSE(UserDefaults(defaultsPath).objectForKey(QStringLiteral("kUserDefaultsTokenKey")).isValid());
}

TEST_F(AuthServiceTest, EmptyTokenRemovesTheStoredOne) {
    QVAuthService::setAuthToken(QStringLiteral("abc"));
    QVAuthService::setAuthToken(QStringLiteral(""));
    EXPECT_FALSE(UserDefaults(defaultsPath).objectForKey(QStringLiteral("kUserDefaultsTokenKey")).isValid());
}

TEST_F(AuthServiceTest, ProfileQuestionsAreEmptyWithoutAProfile) {
    EXPECT_TRUE(QVAuthService::authProfile().isNull());
    EXPECT_FALSE(QVAuthService::userId().has_value());
    EXPECT_TRUE(QVAuthService::userName().isNull());
    EXPECT_TRUE(QVAuthService::userEmail().isNull());
    EXPECT_FALSE(QVAuthService::setIsSubscribedToNews(true));
    EXPECT_EQ(count(QVAuthProfile::storeClassName()), 0);
}

TEST_F(AuthServiceTest, ProfileQuestionsReadTheFirstStoredProfile) {
    import(QVAuthProfile::storeClassName(),
           json(R"({"id": 7, "username": "ann", "email": "ann@example.org"})"));
    import(QVAuthProfile::storeClassName(), json(R"({"id": 3, "username": "bob"})"));
    EXPECT_EQ(QVAuthService::userId().value_or(-1), 7);
    EXPECT_EQ(QVAuthService::userName(), QStringLiteral("ann"));
    EXPECT_EQ(QVAuthService::userEmail(), QStringLiteral("ann@example.org"));
}

TEST_F(AuthServiceTest, NewsSubscriptionChangesTheStoredProfileInsideAnOpenTransaction) {
    import(QVAuthProfile::storeClassName(), json(R"({"id": 7, "isSubscribedToNews": false})"));
    ASSERT_FALSE(QVAuthService::setIsSubscribedToNews(true));
    EXPECT_TRUE(QVAuthService::authProfile().isSubscribedToNews());

    write([&](Transaction &) {
        ASSERT_FALSE(QVAuthService::setIsSubscribedToNews(false));
        EXPECT_TRUE(store.isInWriteTransaction());
    });
    EXPECT_FALSE(QVAuthService::authProfile().isSubscribedToNews());
}
