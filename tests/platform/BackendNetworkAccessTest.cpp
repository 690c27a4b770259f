#include "platform/BackendNetworkAccess.h"

#include "support/EventLoop.h"
#include "support/FakeBackend.h"

#include <QNetworkReply>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <memory>

using platform::BackendNetworkAccess;

// A backend host left at its reserved default is never contacted; a configured one is.
TEST(BackendNetworkAccess, ReservedHostsFailAtOnceAndOnlyConfiguredOnesAreContacted) {
    qvtest::FakeBackend backend;
    backend.route("GET", "/ping", qvtest::FakeReply::json({{"ok", true}}));
    struct Case {
        QUrl url;
        bool sent;
    } cases[] = {
        {QUrl(QStringLiteral("https://api.quorvalde.example/v1/languages")), false},
        {QUrl(QStringLiteral("https://quorvalde.example")), false},
        {QUrl(QStringLiteral("http://example/a")), false},
        {QUrl(QStringLiteral("https://push.invalid/register")), false},
        {QUrl(QStringLiteral("https://host.test/")), false},
        // Names that only look alike are real hosts.
        {QUrl(QStringLiteral("https://example.com/")), true},
        {backend.url(QStringLiteral("/ping")), true},
    };
    BackendNetworkAccess network;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.url.toString().toStdString());
        EXPECT_EQ(BackendNetworkAccess::isReservedHost(c.url), !c.sent);
        if (c.url.host() == QLatin1String("example.com"))
            continue; // the test never reaches the internet
        const quint64 sent = BackendNetworkAccess::sentCount();
        const quint64 refused = BackendNetworkAccess::refusedCount();
        const int requests = backend.requestCount();
        std::unique_ptr<QNetworkReply> reply(network.get(QNetworkRequest(c.url)));
        QSignalSpy managerFinished(&network, &QNetworkAccessManager::finished);
        ASSERT_TRUE(qvtest::waitUntil([&] { return reply->isFinished(); }));
        EXPECT_EQ(managerFinished.size(), 1);
        EXPECT_EQ(BackendNetworkAccess::sentCount() - sent, c.sent ? 1u : 0u);
        EXPECT_EQ(BackendNetworkAccess::refusedCount() - refused, c.sent ? 0u : 1u);
        EXPECT_EQ(backend.requestCount() - requests, c.sent ? 1 : 0);
        EXPECT_EQ(reply->error(), c.sent ? QNetworkReply::NoError : QNetworkReply::HostNotFoundError);
        if (c.sent) {
            EXPECT_TRUE(reply->readAll().contains("ok"));
        }
    }
}
