#include "startup/QVUpdateChecker.h"

#include "support/EventLoop.h"
#include "support/FakeBackend.h"
#include "support/RawHttpServer.h"

#include <QFile>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>

#include <gtest/gtest.h>

namespace {

// What updateAvailable announced.
struct Announcements {
    explicit Announcements(QVUpdateChecker &checker) {
        connection = QObject::connect(&checker, &QVUpdateChecker::updateAvailable,
                                      [this](const QString &version, const QUrl &page) {
                                          versions << version;
                                          pages << page;
                                      });
    }
    ~Announcements() { QObject::disconnect(connection); }
    int count() const { return int(versions.size()); }
    QStringList versions;
    QList<QUrl> pages;
    QMetaObject::Connection connection;
};

QByteArray fixture(const char *name) {
    QFile file(QStringLiteral(QV_TLS_FIXTURES "/") + QString::fromLatin1(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray feedWithItems(const QByteArray &items) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<rss version=\"2.0\" xmlns:sparkle=\"urn:test:appcast\"><channel><title>Updates</title>" +
           items + "</channel></rss>";
}

QByteArray enclosureItem(const char *version, const char *shortVersion, const char *link = nullptr) {
    QByteArray item = "<item><title>Version</title>";
    if (link)
        item += QByteArray("<link>") + link + "</link>";
    item += QByteArray("<enclosure url=\"https://maker.example/Quorvalde.zip\" sparkle:version=\"") +
            version + "\" sparkle:shortVersionString=\"" + shortVersion +
            "\" length=\"1\" type=\"application/zip\"/></item>";
    return item;
}

TEST(QVUpdateCheckerVersions, DottedVersionsCompareNumerically) {
    struct Case {
        const char *a;
        const char *b;
        int expected;
    };
    const Case cases[] = {
        {"1.10", "1.9", 1}, {"1.9", "1.10", -1}, {"2", "2.0", 0},      {"2.0.1", "2", 1},
        {"1.2", "1.2", 0},  {"10.0", "9.99", 1}, {"1.2b3", "1.2", -1}, {"1.3-rc1", "1.2.9", 1},
        {"", "0.0", 0},     {"0.1", "", 1},      {" 3.1 ", "3.1", 0},  {"1.x", "1.0", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        EXPECT_EQ(QVUpdateChecker::compareVersions(QString::fromLatin1(c.a), QString::fromLatin1(c.b)),
                  c.expected);
    }
}

// Someone running a pre-release must be offered the release of the same numbers.
TEST(QVUpdateCheckerVersions, PreReleasesComeBeforeTheirRelease) {
    struct Case {
        const char *a;
        const char *b;
        int expected;
    };
    const Case cases[] = {
        {"1.0-beta", "1.0", -1},        {"1.0", "1.0-beta", 1},      {"1.0-beta", "1.0.0", -1},
        {"1.0-beta", "0.9", 1},         {"1.0-beta.2", "1.0", -1},   {"1.0b9", "1.0b10", -1},
        {"1.0-rc1", "1.0-beta2", 1},    {"1.0-BETA", "1.0-beta", 0}, {"1.1-beta", "1.0", 1},
        {"1.0-beta", "1.0-beta.1", -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        EXPECT_EQ(QVUpdateChecker::compareVersions(QString::fromLatin1(c.a), QString::fromLatin1(c.b)),
                  c.expected);
        EXPECT_EQ(QVUpdateChecker::compareVersions(QString::fromLatin1(c.b), QString::fromLatin1(c.a)),
                  -c.expected);
    }
}

TEST(QVUpdateCheckerFeed, NewestItemIsPickedAndDamagedFeedsRefused) {
    struct Case {
        const char *name;
        QByteArray xml;
        bool valid;
        QString newest; // empty: no item with a version
        QString page;
    };
    const Case cases[] = {
        {"three items out of order",
         feedWithItems(enclosureItem("120", "1.2") +
                       enclosureItem("310", "3.10", "https://maker.example/new") +
                       enclosureItem("390", "3.9")),
         true, "3.10", "https://maker.example/new"},
        {"element form",
         feedWithItems("<item><sparkle:version>41</sparkle:version>"
                       "<sparkle:shortVersionString>4.1</sparkle:shortVersionString></item>"),
         true, "4.1", ""},
        {"build number only",
         feedWithItems("<item><enclosure url=\"https://maker.example/a.zip\" "
                       "sparkle:version=\"7.2\"/></item>"),
         true, "7.2", "https://maker.example/a.zip"},
        {"page not https kept out", feedWithItems(enclosureItem("5", "5.0", "http://maker.example/plain")),
         true, "5.0", "https://maker.example/Quorvalde.zip"},
        {"release listed after its beta",
         feedWithItems(enclosureItem("199", "2.0-beta", "https://maker.example/beta") +
                       enclosureItem("200", "2.0", "https://maker.example/release")),
         true, "2.0", "https://maker.example/release"},
        {"markup in the version is not announced",
         feedWithItems(enclosureItem("900", "9.0&lt;a href='http://evil.example'&gt;x&lt;/a&gt;")), true, "",
         ""},
        {"markup item skipped, sane one kept",
         feedWithItems(enclosureItem("900", "9.0&lt;img src=x&gt;") + enclosureItem("300", "3.0")), true,
         "3.0", "https://maker.example/Quorvalde.zip"},
        {"endless version text", feedWithItems(enclosureItem("900", QByteArray(300, '9').constData())), true,
         "", ""},
        {"no items", feedWithItems(""), true, "", ""},
        {"items without version", feedWithItems("<item><title>x</title></item>"), true, "", ""},
        {"undeclared prefix",
         "<rss><channel><item><sparkle:version>2.5</sparkle:version></item></channel></rss>", true, "2.5",
         ""},
        {"cut short", feedWithItems(enclosureItem("9", "9.0")).left(120), false, "", ""},
        {"not xml", "{\"version\": \"9.0\"}", false, "", ""},
        {"not rss", "<html><body>9.0</body></html>", false, "", ""},
        {"empty", "", false, "", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QVUpdateChecker::Feed feed = QVUpdateChecker::parseFeed(c.xml);
        EXPECT_EQ(feed.valid, c.valid) << feed.error.toStdString();
        EXPECT_EQ(feed.newest.has_value(), !c.newest.isEmpty());
        if (feed.newest) {
            EXPECT_EQ(feed.newest->displayVersion(), c.newest);
            EXPECT_EQ(feed.newest->downloadPage.toString(), c.page);
        }
    }
}

// The fixture certificate for 127.0.0.1, trusted by this process while the test runs.
class QVUpdateCheckerTls : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QSslSocket::supportsSsl())
            GTEST_SKIP() << "no TLS backend in this Qt";
        m_saved = QSslConfiguration::defaultConfiguration();
        QSslConfiguration trusting = m_saved;
        const QSslCertificate certificate(fixture("selfsigned-cert.pem"));
        ASSERT_FALSE(certificate.isNull());
        trusting.addCaCertificate(certificate);
        QSslConfiguration::setDefaultConfiguration(trusting);
        m_restore = true;

        QSslConfiguration server = QSslConfiguration::defaultConfiguration();
        server.setLocalCertificate(certificate);
        server.setPrivateKey(QSslKey(fixture("selfsigned-key.pem"), QSsl::Rsa));
        server.setPeerVerifyMode(QSslSocket::VerifyNone);
        ASSERT_TRUE(m_server.listenTls(server));
        m_checker.setCurrentVersion(QStringLiteral("2.5"));
    }
    void TearDown() override {
        if (m_restore)
            QSslConfiguration::setDefaultConfiguration(m_saved);
    }

    void answer(const QByteArray &body, const QByteArray &status = "200 OK", const QByteArray &extra = {}) {
        m_server.setAnswer({"HTTP/1.1 " + status + "\r\nContent-Type: application/rss+xml\r\n" + extra +
                                "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n",
                            body});
    }
    // Runs one check and returns whether it read the feed.
    bool check() {
        QList<bool> finished;
        const QMetaObject::Connection connection = QObject::connect(
            &m_checker, &QVUpdateChecker::checkFinished, [&finished](bool ok) { finished << ok; });
        m_checker.checkForUpdates();
        EXPECT_TRUE(qvtest::waitUntil([&] { return !finished.isEmpty(); }, 10000));
        QObject::disconnect(connection);
        return finished.value(0, false);
    }

    qvtest::RawHttpServer m_server;
    QVUpdateChecker m_checker;
    QSslConfiguration m_saved;
    bool m_restore = false;
};

TEST_F(QVUpdateCheckerTls, NewerVersionIsAnnouncedOlderAndEqualAreNot) {
    struct Case {
        const char *name;
        QByteArray feed;
        bool announced;
    };
    const Case cases[] = {
        {"older", feedWithItems(enclosureItem("240", "2.4")), false},
        {"equal", feedWithItems(enclosureItem("250", "2.5.0")), false},
        {"newer",
         feedWithItems(enclosureItem("240", "2.4") +
                       enclosureItem("2100", "2.10", "https://maker.example/d")),
         true},
        {"no items", feedWithItems(""), false},
    };
    m_checker.setFeedURL(m_server.url(QStringLiteral("/download/appCastMac.xml")));
    ASSERT_TRUE(m_checker.feedURL().isValid());
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Announcements available(m_checker);
        answer(c.feed);
        EXPECT_TRUE(check());
        ASSERT_EQ(available.count(), c.announced ? 1 : 0);
        if (c.announced) {
            EXPECT_EQ(available.versions.first(), QStringLiteral("2.10"));
            EXPECT_EQ(available.pages.first(), QUrl(QStringLiteral("https://maker.example/d")));
        }
    }
    EXPECT_GE(m_server.requestCount(), int(std::size(cases)));
}

TEST_F(QVUpdateCheckerTls, UnreadableFeedsFailWithoutAnnouncing) {
    const QByteArray large(QVUpdateChecker::kMaxFeedBytes + 1024, 'x');
    struct Case {
        const char *name;
        QByteArray body;
        QByteArray status;
        int dripIntervalMs = 0; // > 0: one byte per interval, far slower than the deadline
    };
    const Case cases[] = {
        {"damaged", feedWithItems(enclosureItem("900", "9.0")).left(100), "200 OK"},
        {"not found", feedWithItems(enclosureItem("900", "9.0")), "404 Not Found"},
        {"larger than the limit",
         feedWithItems("<item><title>" + large + "</title>" + enclosureItem("900", "9.0")), "200 OK"},
        {"fed byte by byte", feedWithItems(enclosureItem("900", "9.0")), "200 OK", 100},
    };
    m_checker.setFeedURL(m_server.url(QStringLiteral("/feed.xml")));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Announcements available(m_checker);
        answer(c.body, c.status);
        if (c.dripIntervalMs > 0) {
            m_server.setAnswer(
                {"HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(c.body.size()) + "\r\n\r\n",
                 c.body, c.dripIntervalMs});
            m_checker.setCheckDeadlineMs(1000);
        }
        EXPECT_FALSE(check());
        EXPECT_EQ(available.count(), 0);
        m_checker.setCheckDeadlineMs(0);
    }
    // The slow feed no longer holds the one check slot.
    const int started = m_checker.checksStarted();
    answer(feedWithItems(enclosureItem("900", "9.0")));
    EXPECT_TRUE(check());
    EXPECT_EQ(m_checker.checksStarted(), started + 1);
}

TEST_F(QVUpdateCheckerTls, RedirectToAnotherOriginIsNotFollowed) {
    qvtest::FakeBackend elsewhere;
    elsewhere.route("GET", "/feed.xml", qvtest::FakeReply::text(feedWithItems(enclosureItem("900", "9.0"))));
    m_checker.setFeedURL(m_server.url(QStringLiteral("/feed.xml")));
    Announcements available(m_checker);
    answer({}, "302 Found", "Location: " + elsewhere.url(QStringLiteral("/feed.xml")).toEncoded() + "\r\n");
    EXPECT_FALSE(check());
    EXPECT_EQ(elsewhere.requestCount(), 0);
    EXPECT_EQ(available.count(), 0);
}

TEST_F(QVUpdateCheckerTls, FeedThatIsNotHttpsIsRefusedAndNeverFetched) {
    qvtest::RawHttpServer plain;
    ASSERT_TRUE(plain.listen());
    for (const QUrl &url :
         {plain.url(QStringLiteral("/feed.xml")), QUrl(QStringLiteral("ftp://127.0.0.1/feed")),
          QUrl(QStringLiteral("not a url")), QUrl()}) {
        SCOPED_TRACE(url.toString().toStdString());
        m_checker.setFeedURL(m_server.url(QStringLiteral("/ok.xml")));
        m_checker.setFeedURL(url); // replaces the good feed: no check goes anywhere
        EXPECT_FALSE(m_checker.feedURL().isValid());
        m_checker.checkForUpdates();
        qvtest::spin(50);
        EXPECT_EQ(m_checker.checksStarted(), 0);
    }
    EXPECT_EQ(plain.requestCount(), 0);
    EXPECT_EQ(m_server.requestCount(), 0);
}

TEST_F(QVUpdateCheckerTls, AutomaticChecksArmAndDisarmTheSchedule) {
    m_checker.setFeedURL(m_server.url(QStringLiteral("/feed.xml")));
    m_checker.setAutomaticallyChecksForUpdates(true);
    m_checker.setUpdateCheckInterval(0); // not a usable interval: the default stays
    EXPECT_EQ(m_checker.updateCheckInterval(), QVUpdateChecker::kDefaultIntervalSeconds);
    EXPECT_EQ(m_checker.checksStarted(), 0); // arming alone does not check
    m_checker.setAutomaticallyChecksForUpdates(false);
    EXPECT_FALSE(m_checker.automaticallyChecksForUpdates());
}

} // namespace
