#include "platform/AppPaths.h"
#include "platform/BackendConfig.h"
#include "platform/Error.h"
#include "platform/MainQueue.h"
#include "support/EventLoop.h"

#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

using namespace platform;

TEST(BackendConfig, EnvironmentOverridesDefaultAndTrailingSlashIsDropped) {
    qputenv("QV_API_HOST", "http://127.0.0.1:4567/");
    EXPECT_EQ(BackendConfig::apiHost().toString(), QStringLiteral("http://127.0.0.1:4567"));
    qunsetenv("QV_API_HOST");
    EXPECT_EQ(BackendConfig::apiHost().host(), QStringLiteral("api.quorvalde.example"));
    EXPECT_EQ(BackendConfig::apiHost().scheme(), QStringLiteral("https"));
}

TEST(BackendConfig, ProgrammaticOverrideWinsOverEnvironmentUntilCleared) {
    qputenv("QV_ACCOUNT_HOST", "http://127.0.0.1:1");
    BackendConfig::overrideHost("QV_ACCOUNT_HOST", QUrl(QStringLiteral("http://127.0.0.1:2/")));
    EXPECT_EQ(BackendConfig::accountHost().toString(), QStringLiteral("http://127.0.0.1:2"));
    BackendConfig::overrideHost("QV_ACCOUNT_HOST", QUrl());
    EXPECT_EQ(BackendConfig::accountHost().port(), 1);
    qunsetenv("QV_ACCOUNT_HOST");
}

TEST(AppPaths, RootPlacesEveryFolderBelowIt) {
    QTemporaryDir dir;
    AppPaths::setRoot(dir.path());
    EXPECT_TRUE(AppPaths::caches().startsWith(dir.path()));
    EXPECT_TRUE(AppPaths::state().startsWith(dir.path()));
    EXPECT_NE(AppPaths::caches(), AppPaths::state());
    EXPECT_NE(AppPaths::documents(), AppPaths::config());
    AppPaths::setRoot(QString());
    EXPECT_FALSE(AppPaths::caches().startsWith(dir.path()));
}

TEST(Error, DefaultIsNullAndDescriptionFallsBackToUserInfo) {
    Error none;
    EXPECT_TRUE(none.isNull());
    Error withInfo(QStringLiteral("com.translator"), -202, QString(),
                   {{QStringLiteral("NSLocalizedDescription"), QStringLiteral("missing package")}});
    EXPECT_FALSE(withInfo.isNull());
    EXPECT_EQ(withInfo.localizedDescription(), QStringLiteral("missing package"));
    Error plain(QStringLiteral("x"), 5);
    EXPECT_TRUE(plain.localizedDescription().contains(QStringLiteral("x")));
}

TEST(MainQueue, BlocksRunLaterOnTheMainThreadInOrder) {
    QStringList order;
    dispatchAsyncMain([&] { order << QStringLiteral("a"); });
    order << QStringLiteral("sync");
    QThread *worker = QThread::create([&] {
        dispatchAsyncMain([&] {
            EXPECT_TRUE(isMainThread());
            order << QStringLiteral("b");
        });
    });
    worker->start();
    worker->wait();
    delete worker;
    ASSERT_TRUE(qvtest::waitUntil([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (QStringList{QStringLiteral("sync"), QStringLiteral("a"), QStringLiteral("b")}));
}
