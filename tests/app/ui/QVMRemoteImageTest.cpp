#include "ui/controls/QVMRemoteImage.h"
#include "UiTestSupport.h"
#include "support/EventLoop.h"
#include "support/FakeBackend.h"
#include "support/ScopedBackendHosts.h"

#include <QBuffer>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray pngBytes(const QImage &image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

struct Loaded {
    bool done = false;
    int calls = 0;
    QImage image;
    platform::Error error;
};

QVMRemoteImage::LoadCompletion recordInto(Loaded &loaded) {
    return [&loaded](const QImage &image, const platform::Error &error) {
        ++loaded.calls;
        loaded.done = true;
        loaded.image = image;
        loaded.error = error;
    };
}

class RemoteImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_cache.isValid());
        m_backend.route("GET", QStringLiteral("/static/flags/de_DE@2x.png"),
                        qvtest::FakeReply::bytes(pngBytes(uitest::solidImage(40, 20, Qt::red)), "image/png"));
        m_backend.route("GET", QStringLiteral("/static/broken.png"),
                        qvtest::FakeReply::text("<html>no</html>"));
        m_backend.route("GET", QStringLiteral("/static/missing.png"), qvtest::FakeReply::withStatus(404));
        m_sharedFolder = QVMRemoteImage::shared().cacheFolder();
        QVMRemoteImage::shared().setCacheFolder(m_cache.filePath(QStringLiteral("shared")));
    }
    void TearDown() override { QVMRemoteImage::shared().setCacheFolder(m_sharedFolder); }
    QUrl flagUrl() const { return m_backend.url(QStringLiteral("/static/flags/de_DE@2x.png")); }
    int flagRequests() const {
        return m_backend.hitCount("GET", QStringLiteral("/static/flags/de_DE@2x.png"));
    }

    QTemporaryDir m_cache;
    QString m_sharedFolder;
    qvtest::FakeBackend m_backend;
};

} // namespace

TEST_F(RemoteImageTest, DownloadsOnceThenAnswersFromMemoryAndFromDisk) {
    QVMRemoteImage loader(m_cache.path());
    const QString key = QVMRemoteImage::cacheKeyForUrl(flagUrl());
    EXPECT_TRUE(loader.imageFromDiskCacheForKey(key).isNull()); // never fetched: not cached, no request

    Loaded first, second, third;
    loader.loadImage(flagUrl(), recordInto(first));
    loader.loadImage(flagUrl(), recordInto(second)); // while the first is under way
    ASSERT_TRUE(qvtest::waitUntil([&] { return first.done && second.done; }));
    EXPECT_EQ(first.image.size(), QSize(40, 20));
    EXPECT_EQ(first.image.pixelColor(5, 5), QColor(Qt::red));
    EXPECT_EQ(second.image.size(), QSize(40, 20));
    EXPECT_EQ(flagRequests(), 1);

    loader.loadImage(flagUrl(), recordInto(third));
    ASSERT_TRUE(qvtest::waitUntil([&] { return third.done; }));
    EXPECT_EQ(third.image.size(), QSize(40, 20));
    EXPECT_EQ(flagRequests(), 1);
    EXPECT_EQ(first.calls + second.calls + third.calls, 3);

    // The disk cache serves a new loader (a new run) under the absolute address.
    EXPECT_EQ(loader.imageFromDiskCacheForKey(key).size(), QSize(40, 20));
    QVMRemoteImage restarted(m_cache.path());
    Loaded again;
    restarted.loadImage(flagUrl(), recordInto(again));
    ASSERT_TRUE(qvtest::waitUntil([&] { return again.done; }));
    EXPECT_EQ(again.image.size(), QSize(40, 20));
    EXPECT_EQ(flagRequests(), 1);
}

TEST_F(RemoteImageTest, FailuresReportErrorsAndCacheNothing) {
    QVMRemoteImage loader(m_cache.path());
    const struct {
        QUrl url;
        QVMRemoteImage::ErrorCode code;
    } cases[] = {
        {m_backend.url(QStringLiteral("/static/missing.png")), QVMRemoteImage::DownloadFailed},
        {m_backend.url(QStringLiteral("/static/broken.png")), QVMRemoteImage::NotAnImage},
        {QUrl(QStringLiteral("file:///etc/hostname")), QVMRemoteImage::BadAddress},
        {QUrl(), QVMRemoteImage::BadAddress},
        {QUrl(QStringLiteral("http://127.0.0.1:9/closed.png")), QVMRemoteImage::DownloadFailed},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.url.toString().toStdString());
        Loaded loaded;
        loader.loadImage(c.url, recordInto(loaded));
        EXPECT_FALSE(loaded.done); // never before the call returns
        ASSERT_TRUE(qvtest::waitUntil([&] { return loaded.done; }));
        EXPECT_EQ(loaded.calls, 1);
        EXPECT_TRUE(loaded.image.isNull());
        EXPECT_EQ(loaded.error.code(), c.code);
        EXPECT_TRUE(loader.imageFromDiskCacheForKey(QVMRemoteImage::cacheKeyForUrl(c.url)).isNull());
    }
}

TEST_F(RemoteImageTest, OversizedReplyIsRefused) {
    const QByteArray huge(int(QVMRemoteImage::kMaximumBytes + 1024), 'x');
    m_backend.route("GET", QStringLiteral("/static/huge.png"), qvtest::FakeReply::bytes(huge, "image/png"));
    QVMRemoteImage loader(m_cache.path());
    Loaded loaded;
    loader.loadImage(m_backend.url(QStringLiteral("/static/huge.png")), recordInto(loaded));
    ASSERT_TRUE(qvtest::waitUntil([&] { return loaded.done; }, 20000));
    EXPECT_EQ(loaded.error.code(), QVMRemoteImage::TooLarge);
    EXPECT_TRUE(loaded.image.isNull());
}

// The controls use the shared loader, moved to the test's folder.
TEST_F(RemoteImageTest, RoundButtonShowsARoundPlaceholderThenTheRoundPicture) {
    uitest::ScopedImageResources resources;
    resources.add(QStringLiteral("de_DE.png"), uitest::solidImage(30, 30, Qt::blue));
    QPushButton button;
    QImage delivered;
    bool done = false;
    const QUrl url = m_backend.url(QStringLiteral("/static/flags/de_DE@2x.png?round=1"));
    m_backend.route("GET", QStringLiteral("/static/flags/de_DE@2x.png"),
                    qvtest::FakeReply::bytes(pngBytes(uitest::solidImage(40, 40, Qt::red)), "image/png"));
    QVMRemoteImage::getRemoteImageForUrl(&button, url, true, [&](const QImage &image) {
        delivered = image;
        done = true;
    });
    // The placeholder is there at once, round: its corner is transparent, its middle blue.
    const QImage placeholder = button.icon().pixmap(QSize(30, 30)).toImage();
    EXPECT_EQ(placeholder.pixelColor(15, 15).rgb(), QColor(Qt::blue).rgb());
    EXPECT_EQ(placeholder.pixelColor(0, 0).alpha(), 0);

    ASSERT_TRUE(qvtest::waitUntil([&] { return done; }));
    EXPECT_EQ(delivered.pixelColor(20, 20), QColor(Qt::red));
    EXPECT_EQ(delivered.pixelColor(1, 1).alpha(), 0);
    const QImage shown = button.icon().pixmap(QSize(40, 40)).toImage();
    EXPECT_EQ(shown.pixelColor(20, 20).rgb(), QColor(Qt::red).rgb());
}

TEST_F(RemoteImageTest, FailedLoadPutsThePlaceholderBackAndAGoneControlIsLeftAlone) {
    uitest::ScopedImageResources resources;
    resources.add(QStringLiteral("missing.png"), uitest::solidImage(12, 12, Qt::green));
    QLabel label;
    QImage delivered;
    bool done = false;
    QVMRemoteImage::getRemoteImageForUrl(&label, m_backend.url(QStringLiteral("/static/missing.png")), false,
                                         [&](const QImage &image) {
                                             delivered = image;
                                             done = true;
                                         });
    ASSERT_TRUE(qvtest::waitUntil([&] { return done; }));
    EXPECT_EQ(delivered.pixelColor(5, 5), QColor(Qt::green));
    EXPECT_EQ(label.pixmap().toImage().pixelColor(5, 5).rgb(), QColor(Qt::green).rgb());

    // The completion still runs when the control was deleted during the load.
    auto *gone = new QLabel;
    bool ran = false;
    QVMRemoteImage::getRemoteImageForUrl(gone, m_backend.url(QStringLiteral("/static/missing.png?again")),
                                         false, [&](const QImage &) { ran = true; });
    delete gone;
    EXPECT_TRUE(qvtest::waitUntil([&] { return ran; }));
}

TEST_F(RemoteImageTest, ABackendPictureByNameLoadsFromItsAddressAndIsThenInTheDiskCache) {
    uitest::ScopedImageResources resources;
    resources.add(QStringLiteral("gb.png"), uitest::solidImage(30, 30, Qt::blue));
    qvtest::ScopedBackendHosts hosts(m_backend.baseUrl());
    m_backend.route("GET", QStringLiteral("/v2/flags/gb.png@2x.png"),
                    qvtest::FakeReply::bytes(pngBytes(uitest::solidImage(40, 40, Qt::green)), "image/png"));
    EXPECT_TRUE(QVMRemoteImage::qvImageFromCacheForPatch(QStringLiteral("flags/gb.png")).isNull());

    QPushButton button;
    QImage delivered;
    bool done = false;
    QVMRemoteImage::getRemoteImageForUrlString(&button, QStringLiteral("flags/gb.png"), true,
                                               [&](const QImage &image) {
                                                   delivered = image;
                                                   done = true;
                                               });
    // The application's own picture named after the path stands in meanwhile.
    EXPECT_EQ(button.icon().pixmap(QSize(30, 30)).toImage().pixelColor(15, 15).rgb(), QColor(Qt::blue).rgb());
    ASSERT_TRUE(qvtest::waitUntil([&] { return done; }));
    EXPECT_EQ(delivered.pixelColor(20, 20), QColor(Qt::green));
    EXPECT_EQ(delivered.pixelColor(1, 1).alpha(), 0);
    EXPECT_EQ(QVMRemoteImage::qvImageFromCacheForPatch(QStringLiteral("flags/gb.png")).pixelColor(1, 1),
              QColor(Qt::green));

    // An empty path asks nothing of the backend.
    const int before = m_backend.requestCount();
    bool emptyDone = false;
    QVMRemoteImage::getRemoteImageForUrlString(&button, QString(), true,
                                               [&](const QImage &) { emptyDone = true; });
    EXPECT_TRUE(emptyDone);
    EXPECT_EQ(m_backend.requestCount(), before);
}
