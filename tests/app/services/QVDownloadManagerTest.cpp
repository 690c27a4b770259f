#include "support/EventLoop.h"
#include "support/FakeBackend.h"

#include "services/downloads/QVDownloadManager.h"

#include "platform/AppPaths.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <memory>
#include <sys/resource.h>

namespace {

struct Outcome {
    int count = 0;
    bool finished = false;
    platform::Error error;
    QList<double> progress;
    QList<quint64> remaining;
};

QByteArray bodyOf(int size) {
    QByteArray body(size, '\0');
    for (int i = 0; i < size; ++i)
        body[i] = char((i * 7 + i / 251) & 0xff);
    return body;
}

QByteArray readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Files of this process cannot grow beyond `bytes` while it lives: a disk that fills up
// mid-download, without mounting anything.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN); // a short write instead of a killed process
        rlimit limited = m_saved;
        limited.rlim_cur = bytes;
        m_active = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
    }
    bool active() const { return m_active; }

private:
    rlimit m_saved{};
    void (*m_savedHandler)(int) = SIG_DFL;
    bool m_active = false;
};

} // namespace

// A download manager writing into a private Caches folder, fed by a loopback backend.
class DownloadManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        platform::AppPaths::setRoot(home.path());
        manager = std::make_unique<QVDownloadManager>();
    }
    void TearDown() override {
        manager.reset();
        platform::AppPaths::setRoot(QString());
    }

    QString url(const QString &path) const { return backend.url(path).toString(); }
    QString caches(const QString &relative) const {
        return QDir(platform::AppPaths::caches()).filePath(relative);
    }
    QVDownloadManager::ProgressBlock progressInto(const std::shared_ptr<Outcome> &outcome) {
        return [outcome](double value) { outcome->progress.append(value); };
    }
    QVDownloadManager::RemainingTimeBlock remainingInto(const std::shared_ptr<Outcome> &outcome) {
        return [outcome](quint64 seconds) { outcome->remaining.append(seconds); };
    }
    QVDownloadManager::CompletionBlock completionInto(const std::shared_ptr<Outcome> &outcome) {
        return [outcome](bool finished, const platform::Error &error) {
            ++outcome->count;
            outcome->finished = finished;
            outcome->error = error;
        };
    }
    std::shared_ptr<Outcome> start(const QString &address, const QString &name = {},
                                   const QString &folder = {}) {
        auto outcome = std::make_shared<Outcome>();
        handle = manager->downloadFileForURL(address, name, folder, progressInto(outcome),
                                             remainingInto(outcome), completionInto(outcome), false);
        return outcome;
    }
    // The partial files under Caches, wherever the manager keeps them.
    static QStringList partialFiles() {
        QStringList found;
        QDirIterator it(platform::AppPaths::caches(), {"*.part"}, QDir::Files | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            found.append(it.next());
        return found;
    }
    // Starts the address and pauses it once part of it arrived; the partial file, or empty.
    QString startAndPause(const QString &address) {
        const auto first = start(address);
        if (!progressed(first, 0.2))
            return {};
        manager->pauseDownloadForUrl(address, [](bool) {});
        manager->waitForTransferThread();
        const QStringList partials = partialFiles();
        return partials.size() == 1 ? partials.first() : QString();
    }
    std::shared_ptr<Outcome> resume(const QString &address) {
        auto outcome = std::make_shared<Outcome>();
        manager->downloadOrResumeFileForURL(address, {}, {}, progressInto(outcome), completionInto(outcome),
                                            false);
        return outcome;
    }
    static bool ended(const std::shared_ptr<Outcome> &outcome, int timeoutMs = 10000) {
        return qvtest::waitUntil([&] { return outcome->count > 0; }, timeoutMs);
    }
    static bool progressed(const std::shared_ptr<Outcome> &outcome, double beyond) {
        return qvtest::waitUntil(
            [&] { return !outcome->progress.isEmpty() && outcome->progress.last() > beyond; }, 10000);
    }

    QTemporaryDir home;
    qvtest::FakeBackend backend;
    std::unique_ptr<QVDownloadManager> manager;
    quint64 handle = 0;
};

TEST_F(DownloadManagerTest, FinishedFileLandsInItsCachesFolderWithProgress) {
    struct Case {
        const char *name;
        const char *folder;
        const char *expected;
    };
    const QList<Case> cases = {
        {"", "", "pack.bin"},
        {"named.bin", "", "named.bin"},
        {"", "results/pictures", "results/pictures/pack.bin"},
    };
    const QByteArray body = bodyOf(48 * 1024);
    backend.route("GET", "/files/pack.bin", qvtest::FakeReply::bytes(body).throttled(4096, 5));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.expected);
        const auto outcome = start(url("/files/pack.bin"), c.name, c.folder);
        EXPECT_NE(handle, 0u);
        EXPECT_EQ(manager->currentDownloads(), QStringList{url("/files/pack.bin")});
        ASSERT_TRUE(ended(outcome));
        EXPECT_TRUE(outcome->finished);
        EXPECT_TRUE(outcome->error.isNull()) << outcome->error.localizedDescription().toStdString();
        EXPECT_EQ(readFile(caches(c.expected)), body);
        EXPECT_FALSE(QFileInfo::exists(caches(c.expected) + ".part"));
        EXPECT_TRUE(manager->currentDownloads().isEmpty());
        ASSERT_FALSE(outcome->progress.isEmpty());
        EXPECT_TRUE(std::is_sorted(outcome->progress.begin(), outcome->progress.end()));
        EXPECT_DOUBLE_EQ(outcome->progress.last(), 1.0);
        EXPECT_FALSE(outcome->remaining.isEmpty());
        EXPECT_EQ(outcome->count, 1);
        ASSERT_TRUE(QFile::remove(caches(c.expected)));
    }
}

TEST_F(DownloadManagerTest, RemainingTimeIsTheBytesLeftAtTheAverageRate) {
    struct Case {
        double seconds;
        qint64 written;
        qint64 expected;
        std::optional<quint64> remaining;
    };
    const qint64 mb = 1024 * 1024;
    const QList<Case> cases = {
        {10, 25 * mb, 100 * mb, 30},
        {1, 3, 10, 2},
        {4, 50, 50, 0},
        {10, 0, 100, std::nullopt}, // nothing yet: no rate
        {0, 5, 10, std::nullopt},
        {3, 20, 10, std::nullopt}, // more than the whole: nonsense
        {2, 10, -1, std::nullopt}, // size unknown
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(
            QStringLiteral("%1 s, %2 of %3").arg(c.seconds).arg(c.written).arg(c.expected).toStdString());
        EXPECT_EQ(QVDownloadManager::remainingTimeForDownload(c.seconds, c.written, c.expected), c.remaining);
    }
}

TEST_F(DownloadManagerTest, PauseKeepsThePartialFileAndResumeFetchesTheRest) {
    struct Case {
        const char *name;
        bool serverHonoursRange;
    };
    for (const Case &c : {Case{"range", true}, Case{"whole file again", false}}) {
        SCOPED_TRACE(c.name);
        const QByteArray body = bodyOf(160 * 1024);
        qvtest::FakeReply reply =
            qvtest::FakeReply::bytes(body).throttled(2048, 5).withHeader("ETag", "\"v1\"");
        if (!c.serverHonoursRange)
            reply.withoutRangeSupport();
        backend.route("GET", "/big.bin", reply);
        backend.clearRequests();
        const QString address = url("/big.bin");
        const auto first = start(address);
        ASSERT_TRUE(progressed(first, 0.2));

        int paused = 0;
        manager->pauseDownloadForUrl(address, [&](bool ok) { paused += ok ? 1 : 100; });
        manager->pauseDownloadForUrl(address, [&](bool ok) { paused += ok ? 1 : 100; });
        EXPECT_EQ(paused, 2);
        manager->waitForTransferThread();
        ASSERT_EQ(partialFiles().size(), 1);
        const QString partial = partialFiles().first();
        const qint64 kept = QFileInfo(partial).size();
        EXPECT_GT(kept, 0);
        EXPECT_LT(kept, body.size());
        qvtest::spin(100);
        EXPECT_EQ(QFileInfo(partial).size(), kept); // nothing more arrives
        EXPECT_EQ(manager->currentDownloads(), QStringList{address});

        const auto resumed = std::make_shared<Outcome>();
        EXPECT_NE(manager->downloadOrResumeFileForURL(address, {}, {}, progressInto(resumed),
                                                      completionInto(resumed), false),
                  0u);
        ASSERT_TRUE(ended(resumed));
        EXPECT_TRUE(resumed->finished);
        EXPECT_EQ(readFile(caches("big.bin")), body);
        EXPECT_EQ(first->count, 0); // its blocks went with the pause
        ASSERT_EQ(backend.requests().size(), 2);
        EXPECT_EQ(backend.requests().last().header("Range"), "bytes=" + QByteArray::number(kept) + "-");
        EXPECT_TRUE(partialFiles().isEmpty());
        ASSERT_TRUE(QFile::remove(caches("big.bin")));
    }
}

TEST_F(DownloadManagerTest, ServerFailuresEndWithTheirErrorAndLeaveNothing) {
    struct Case {
        const char *name;
        qvtest::FakeReply reply;
        QString domain;
        qint64 code;
    };
    const QByteArray body = bodyOf(64 * 1024);
    const QList<Case> cases = {
        {"cut mid-stream", qvtest::FakeReply::bytes(body).throttled(4096, 2).abortAfter(20000), "", 0},
        {"not found", qvtest::FakeReply::withStatus(404), "com.translator.network.response", 404},
        {"server error", qvtest::FakeReply::text("broken", 500), "com.translator.network.response", 500},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        backend.route("GET", "/failing.bin", c.reply);
        const auto outcome = start(url("/failing.bin"));
        ASSERT_TRUE(ended(outcome));
        qvtest::spin(50);
        EXPECT_EQ(outcome->count, 1);
        EXPECT_FALSE(outcome->finished);
        ASSERT_FALSE(outcome->error.isNull());
        if (!c.domain.isEmpty()) {
            EXPECT_EQ(outcome->error.domain(), c.domain);
            EXPECT_EQ(outcome->error.code(), c.code);
        }
        EXPECT_TRUE(manager->fileDownloadCompletedForUrl(url("/failing.bin")));
        EXPECT_FALSE(QFileInfo::exists(caches("failing.bin")));
        EXPECT_FALSE(QFileInfo::exists(caches("failing.bin.part")));
    }
    // The address is free again for a new attempt.
    backend.route("GET", "/failing.bin", qvtest::FakeReply::bytes(body));
    const auto retry = start(url("/failing.bin"));
    ASSERT_TRUE(ended(retry));
    EXPECT_TRUE(retry->finished);
    EXPECT_EQ(readFile(caches("failing.bin")), body);
}

TEST_F(DownloadManagerTest, DiskFillingUpMidDownloadEndsWithAWriteErrorAndLeavesNothing) {
    const QByteArray body = bodyOf(256 * 1024);
    backend.route("GET", "/big.bin", qvtest::FakeReply::bytes(body).throttled(16 * 1024, 2));
    std::shared_ptr<Outcome> outcome;
    {
        FileSizeLimit full(64 * 1024);
        ASSERT_TRUE(full.active());
        outcome = start(url("/big.bin"));
        ASSERT_TRUE(ended(outcome));
    }
    qvtest::spin(50);
    EXPECT_EQ(outcome->count, 1);
    EXPECT_FALSE(outcome->finished);
    EXPECT_EQ(outcome->error.domain(), QStringLiteral("QVDownloadManager"));
    EXPECT_EQ(outcome->error.code(), QVDownloadManager::WriteFailed);
    EXPECT_FALSE(QFileInfo::exists(caches("big.bin")));
    EXPECT_FALSE(QFileInfo::exists(caches("big.bin.part")));
    EXPECT_TRUE(manager->currentDownloads().isEmpty());
    // With room again the same address downloads whole.
    const auto retry = start(url("/big.bin"));
    ASSERT_TRUE(ended(retry));
    EXPECT_TRUE(retry->finished);
    EXPECT_EQ(readFile(caches("big.bin")), body);
}

TEST_F(DownloadManagerTest, CancelAnswersNoAtOnceAndRemovesThePartialFile) {
    const QByteArray body = bodyOf(160 * 1024);
    backend.route("GET", "/cancel.bin", qvtest::FakeReply::bytes(body).throttled(2048, 5));
    const QString address = url("/cancel.bin");
    struct Case {
        const char *name;
        bool pauseFirst;
    };
    for (const Case &c : {Case{"running", false}, Case{"paused", true}}) {
        SCOPED_TRACE(c.name);
        const auto outcome = start(address);
        ASSERT_TRUE(progressed(outcome, 0.1));
        if (c.pauseFirst)
            manager->pauseDownloadForUrl(address, [](bool) {});
        const auto fresh = std::make_shared<Outcome>();
        if (c.pauseFirst) { // a paused download cancels through the blocks it was given back
            ASSERT_TRUE(manager->isFileDownloadingForUrl(address, {}, completionInto(fresh)));
        }
        manager->cancelDownloadForUrl(address);
        const auto &told = c.pauseFirst ? fresh : outcome;
        EXPECT_EQ(told->count, 1); // before the call returned
        EXPECT_FALSE(told->finished);
        EXPECT_TRUE(QVDownloadManager::isCancellation(told->error));
        manager->waitForTransferThread();
        qvtest::spin(50);
        EXPECT_FALSE(QFileInfo::exists(caches("cancel.bin.part")));
        EXPECT_FALSE(QFileInfo::exists(caches("cancel.bin")));
        EXPECT_TRUE(manager->currentDownloads().isEmpty());
        EXPECT_EQ(told->count, 1);
    }
    // A later start of the address is a new transfer.
    backend.route("GET", "/cancel.bin", qvtest::FakeReply::bytes(body));
    const auto again = start(address);
    ASSERT_TRUE(ended(again));
    EXPECT_EQ(readFile(caches("cancel.bin")), body);
}

TEST_F(DownloadManagerTest, ExistingFileOrRunningAddressStartsNothing) {
    QDir().mkpath(platform::AppPaths::caches());
    QFile existing(caches("there.bin"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("old");
    existing.close();
    backend.route("GET", "/there.bin", qvtest::FakeReply::bytes("new"));
    const auto refused = start(url("/there.bin"));
    EXPECT_EQ(handle, 0u);
    EXPECT_EQ(refused->count, 1); // before the call returned
    EXPECT_FALSE(refused->finished);
    EXPECT_EQ(refused->error.code(), QVDownloadManager::FileExists);
    qvtest::spin(50);
    EXPECT_EQ(backend.requestCount(), 0);
    EXPECT_EQ(readFile(caches("there.bin")), QByteArray("old"));

    const QByteArray body = bodyOf(64 * 1024);
    backend.route("GET", "/busy.bin", qvtest::FakeReply::bytes(body).throttled(2048, 5));
    backend.route("GET", "/other/busy.bin", qvtest::FakeReply::bytes(bodyOf(1000)));
    const auto first = start(url("/busy.bin"));
    const auto second = start(url("/busy.bin"));
    EXPECT_EQ(handle, 0u);
    // Another address writing the same file would mix the two into one.
    const auto sameName = start(url("/other/busy.bin"));
    EXPECT_EQ(handle, 0u);
    EXPECT_EQ(sameName->count, 1); // before the call returned
    EXPECT_FALSE(sameName->finished);
    EXPECT_EQ(sameName->error.code(), QVDownloadManager::FileInUse);
    ASSERT_TRUE(ended(first));
    qvtest::spin(50);
    EXPECT_TRUE(first->finished);
    EXPECT_EQ(readFile(caches("busy.bin")), body);
    EXPECT_EQ(second->count, 0);
    EXPECT_EQ(backend.requests("GET", "/busy.bin").size(), 1);
    EXPECT_EQ(backend.requests("GET", "/other/busy.bin").size(), 0);
}

TEST_F(DownloadManagerTest, ReattachingMovesReportsToTheNewBlocks) {
    const QByteArray body = bodyOf(96 * 1024);
    backend.route("GET", "/attach.bin", qvtest::FakeReply::bytes(body).throttled(2048, 5));
    const QString address = url("/attach.bin");
    EXPECT_FALSE(manager->isFileDownloadingForUrl(address, {}, {}));
    const auto first = start(address);
    ASSERT_TRUE(progressed(first, 0.05));
    const auto second = std::make_shared<Outcome>();
    ASSERT_TRUE(manager->isFileDownloadingForUrl(address, progressInto(second), completionInto(second)));
    const int firstReports = first->progress.size();
    ASSERT_TRUE(ended(second));
    qvtest::spin(50);
    EXPECT_TRUE(second->finished);
    EXPECT_FALSE(second->progress.isEmpty());
    EXPECT_EQ(first->count, 0);
    EXPECT_LE(first->progress.size(), firstReports + 1); // at most one report already on its way
    EXPECT_FALSE(first->remaining.isEmpty());            // the remaining-time block stays with the entry
}

TEST_F(DownloadManagerTest, CancellingByHandleOrAllTouchesOnlyWhatItNames) {
    const QByteArray body = bodyOf(128 * 1024);
    backend.route("GET", "/one.bin", qvtest::FakeReply::bytes(body).throttled(2048, 10));
    backend.route("GET", "/two.bin", qvtest::FakeReply::bytes(body).throttled(2048, 10));
    const auto one = start(url("/one.bin"));
    const quint64 oneHandle = handle;
    const auto two = start(url("/two.bin"));
    manager->cancelDownload(oneHandle + 1000); // unknown handle
    manager->cancelDownload(oneHandle);
    EXPECT_EQ(one->count, 1);
    EXPECT_EQ(two->count, 0);
    EXPECT_EQ(manager->currentDownloads(), QStringList{url("/two.bin")});
    manager->cancelAllDownloads();
    EXPECT_EQ(two->count, 1);
    EXPECT_TRUE(QVDownloadManager::isCancellation(two->error));
    EXPECT_TRUE(manager->currentDownloads().isEmpty());

    int pauses = 0;
    manager->pauseDownloadForUrl(url("/unknown.bin"), [&](bool) { ++pauses; });
    EXPECT_EQ(pauses, 0);
}

TEST_F(DownloadManagerTest, UnusableTargetsEndWithAnError) {
    QDir().mkpath(platform::AppPaths::caches());
    QFile blocker(caches("blocked"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where a folder must go
    blocker.close();
    backend.route("GET", "/file.bin", qvtest::FakeReply::bytes("data"));
    struct Case {
        const char *name;
        QString address;
        QString folder;
        qint64 code;
    };
    const QList<Case> cases = {
        {"folder cannot be made", url("/file.bin"), "blocked", QVDownloadManager::WriteFailed},
        {"no file name", url("/"), "", QVDownloadManager::BadName},
        {"folder leaves Caches", url("/file.bin"), "../outside", QVDownloadManager::BadName},
        {"folder of the partial files", url("/file.bin"), ".downloading", QVDownloadManager::BadName},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto outcome = start(c.address, {}, c.folder);
        ASSERT_TRUE(ended(outcome));
        EXPECT_FALSE(outcome->finished);
        EXPECT_EQ(outcome->error.domain(), QStringLiteral("QVDownloadManager"));
        EXPECT_EQ(outcome->error.code(), c.code);
        EXPECT_TRUE(manager->currentDownloads().isEmpty());
    }
    EXPECT_FALSE(QFileInfo::exists(QDir(home.path()).filePath("outside")));
}

TEST_F(DownloadManagerTest, LocalFilesAreFoundAndDeletedByNameOrAddress) {
    QDir().mkpath(caches("folder"));
    QFile file(caches("folder/a.zip"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(QVDownloadManager::localPathForFile("x/y/a.zip", "folder"), caches("folder/a.zip"));
    EXPECT_EQ(QVDownloadManager::localPathForFile("a.zip"), caches("a.zip"));
    EXPECT_TRUE(QVDownloadManager::fileExistsForUrl("http://h/p/a.zip", "folder"));
    EXPECT_FALSE(QVDownloadManager::fileExistsForUrl("http://h/p/a.zip"));
    EXPECT_TRUE(QVDownloadManager::deleteFileForUrl("http://h/p/a.zip", "folder"));
    EXPECT_FALSE(QFileInfo::exists(caches("folder/a.zip")));
    EXPECT_TRUE(QVDownloadManager::deleteFileWithName("a.zip", "folder")); // nothing left to delete
    EXPECT_EQ(QVDownloadManager::cachesDirectoryUrlPath(), QUrl::fromLocalFile(platform::AppPaths::caches()));
}

TEST_F(DownloadManagerTest, HostileResumesStartAfreshAndNeverWriteThroughOrSplice) {
    struct Case {
        const char *name;
        QByteArray tagBefore; // empty: the server names no version
        QByteArray tagAfter;
        bool serverHonoursIfRange;
        bool plantLink; // the partial file becomes a link to a file of the user's
        bool asksForTheRest;
        int requests;
    };
    const QList<Case> cases = {
        {"partial file replaced by a link", "\"v1\"", "\"v1\"", true, true, false, 2},
        {"file changed, If-Range ignored", "\"v1\"", "\"v2\"", false, false, true, 3},
        {"file changed, If-Range honoured", "\"v1\"", "\"v2\"", true, false, true, 2},
        {"no version named", "", "", false, false, false, 2},
    };
    const QByteArray before = bodyOf(160 * 1024);
    QByteArray after = before;
    std::reverse(after.begin(), after.end());
    const QString victim = QDir(home.path()).filePath("notes.txt");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray &served = c.tagBefore == c.tagAfter && !c.tagBefore.isEmpty() ? before : after;
        auto changed = std::make_shared<bool>(false);
        backend.routeHandler("GET", "/hostile.bin", [=, &before](const qvtest::RecordedRequest &request) {
            if (!*changed) {
                qvtest::FakeReply reply = qvtest::FakeReply::bytes(before).throttled(2048, 5);
                return c.tagBefore.isEmpty() ? reply : reply.withHeader("ETag", c.tagBefore);
            }
            qvtest::FakeReply reply = qvtest::FakeReply::bytes(served);
            if (!c.tagAfter.isEmpty())
                reply.withHeader("ETag", c.tagAfter);
            if (c.serverHonoursIfRange && !request.header("If-Range").isEmpty() &&
                request.header("If-Range") != c.tagAfter)
                reply.withoutRangeSupport();
            return reply;
        });
        {
            QFile file(victim);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write("the user's own notes");
        }
        backend.clearRequests();
        const QString address = url("/hostile.bin");
        const QString partial = startAndPause(address);
        ASSERT_FALSE(partial.isEmpty());
        if (c.plantLink) {
            ASSERT_TRUE(QFile::remove(partial));
            ASSERT_TRUE(QFile::link(victim, partial));
        }
        *changed = true;
        const auto resumed = resume(address);
        ASSERT_TRUE(ended(resumed));
        EXPECT_TRUE(resumed->finished) << resumed->error.localizedDescription().toStdString();
        EXPECT_FALSE(QFileInfo(caches("hostile.bin")).isSymLink());
        EXPECT_EQ(readFile(caches("hostile.bin")), served);
        EXPECT_EQ(readFile(victim), QByteArray("the user's own notes"));
        EXPECT_EQ(backend.requests().size(), c.requests);
        ASSERT_GE(backend.requests().size(), 2);
        const qvtest::RecordedRequest again = backend.requests()[1]; // a copy: the list is one too
        EXPECT_EQ(again.header("Range").isEmpty(), !c.asksForTheRest);
        EXPECT_EQ(again.header("If-Range"), c.asksForTheRest ? c.tagBefore : QByteArray());
        ASSERT_TRUE(QFile::remove(caches("hostile.bin")));
    }
}

TEST_F(DownloadManagerTest, LyingRangesFailWithTheirOwnErrorAndNeverReportDone) {
    struct Case {
        const char *name;
        bool resumed;            // the lie answers the resume of a paused download
        QByteArray contentRange; // "@" stands for the first byte asked for
        qint64 bodyBytes;        // from the first byte asked for
        qint64 code;
    };
    const qint64 size = 200000;
    const QList<Case> cases = {
        {"half the file to a request for all of it", false, "bytes 0-99999/200000", 100000,
         QVDownloadManager::Incomplete},
        {"another part than asked for", false, "bytes 5-99/100", 95, QVDownloadManager::BadRange},
        {"range longer than the body", false, "bytes 0-99/100", 50, QVDownloadManager::BadRange},
        {"resumed, total below its own range", true, "bytes @-199999/180000", -1,
         QVDownloadManager::BadRange},
    };
    const QByteArray body = bodyOf(int(size));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        backend.routeHandler("GET", "/lying.bin", [&c, &body](const qvtest::RecordedRequest &request) {
            const QByteArray asked = request.header("Range");
            if (c.resumed && asked.isEmpty())
                return qvtest::FakeReply::bytes(body).throttled(2048, 5).withHeader("ETag", "\"v1\"");
            const qint64 first = asked.isEmpty() ? 0 : asked.mid(6, asked.size() - 7).toLongLong();
            const qint64 bytes = c.bodyBytes >= 0 ? c.bodyBytes : body.size() - first;
            return qvtest::FakeReply::bytes(body.mid(first, bytes), "application/octet-stream", 206)
                .withHeader("Content-Range",
                            QByteArray(c.contentRange).replace("@", QByteArray::number(first)))
                .withHeader("ETag", "\"v1\"");
        });
        const QString address = url("/lying.bin");
        std::shared_ptr<Outcome> outcome;
        if (c.resumed) {
            ASSERT_FALSE(startAndPause(address).isEmpty());
            outcome = resume(address);
        } else {
            outcome = start(address);
        }
        ASSERT_TRUE(ended(outcome));
        EXPECT_FALSE(outcome->finished);
        EXPECT_EQ(outcome->error.domain(), QStringLiteral("QVDownloadManager"));
        EXPECT_EQ(outcome->error.code(), c.code);
        for (double progress : outcome->progress)
            EXPECT_TRUE(progress >= 0 && progress <= 1) << progress;
        EXPECT_FALSE(QFileInfo::exists(caches("lying.bin")));
        EXPECT_TRUE(manager->currentDownloads().isEmpty());
    }
}

TEST_F(DownloadManagerTest, TransfersWhoseFilesMeetThroughThePartialNameKeepTheirOwnBytes) {
    struct Case {
        const char *name;
        bool oneAfterTheOther;
    };
    // The one named like the other's partial file ends first.
    const QByteArray first = bodyOf(48 * 1024);
    const QByteArray second = bodyOf(64 * 1024).repeated(2);
    backend.route("GET", "/a/pkg.zip.part", qvtest::FakeReply::bytes(first).throttled(2048, 5));
    backend.route("GET", "/b/pkg.zip", qvtest::FakeReply::bytes(second).throttled(2048, 5));
    for (const Case &c : {Case{"together", false}, Case{"one after the other", true}}) {
        SCOPED_TRACE(c.name);
        const auto named = start(url("/a/pkg.zip.part"));
        if (c.oneAfterTheOther) {
            ASSERT_TRUE(ended(named));
        }
        const auto plain = start(url("/b/pkg.zip"));
        ASSERT_TRUE(ended(named));
        ASSERT_TRUE(ended(plain));
        EXPECT_TRUE(named->finished);
        EXPECT_TRUE(plain->finished);
        EXPECT_EQ(readFile(caches("pkg.zip.part")), first);
        EXPECT_EQ(readFile(caches("pkg.zip")), second);
        ASSERT_TRUE(QFile::remove(caches("pkg.zip.part")));
        ASSERT_TRUE(QFile::remove(caches("pkg.zip")));
    }
}
