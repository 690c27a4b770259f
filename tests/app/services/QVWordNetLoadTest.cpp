// How the dictionary's files are loaded between threads: a broken package is read once until its
// files change, and a load under way holds only the callers that want the same files.
#include "WordNetFixtures.h"

#include "services/dictionary/WNWorldNet.h"

#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <future>
#include <thread>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Counts how often a file is opened by anyone, from now on. Each open must be counted before the
// next: the kernel merges alike events that have not been read yet.
class OpenCounter {
public:
    explicit OpenCounter(const QString &path) : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (m_fd >= 0)
            m_watch = inotify_add_watch(m_fd, QFile::encodeName(path).constData(), IN_OPEN);
    }
    ~OpenCounter() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    OpenCounter(const OpenCounter &) = delete;
    OpenCounter &operator=(const OpenCounter &) = delete;
    bool isWatching() const { return m_watch >= 0; }
    int opens() {
        alignas(inotify_event) char buffer[4096];
        for (ssize_t got; (got = ::read(m_fd, buffer, sizeof buffer)) > 0;)
            for (char *at = buffer; at < buffer + got;) {
                const auto *event = reinterpret_cast<const inotify_event *>(at);
                m_opens += (event->mask & IN_OPEN) ? 1 : 0;
                at += sizeof(inotify_event) + event->len;
            }
        return m_opens;
    }

private:
    int m_fd;
    int m_watch = -1;
    int m_opens = 0;
};

} // namespace

TEST(WordNetLoadTest, ABrokenPackageIsReadOnceUntilItsFilesChange) {
    struct Case {
        const char *name;
        std::function<bool(const QDir &)> breakIt; // the adverbs go last: the nouns are read first
    } cases[] = {
        {"an empty data file", [](const QDir &dir) { return QFile::resize(dir.filePath("data.adv"), 0); }},
        {"an empty index file", [](const QDir &dir) { return QFile::resize(dir.filePath("index.adv"), 0); }},
        {"a missing data file", [](const QDir &dir) { return QFile::remove(dir.filePath("data.adv")); }},
    };
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString fallback = root.filePath(QStringLiteral("system"));
    qvtest::writeSmallWordNet(fallback, {"fallback"});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QDir package(root.filePath(QString::fromLatin1(c.name)));
        qvtest::writeSmallWordNet(package.path(), {"apple"});
        ASSERT_TRUE(c.breakIt(package));
        OpenCounter nouns(package.filePath(QStringLiteral("index.noun")));
        ASSERT_TRUE(nouns.isWatching());

        for (int call = 0; call < 4; ++call) {
            platform::Error error;
            EXPECT_FALSE(QVWordNetDatabase::open(package.path(), &error));
            EXPECT_EQ(error.code(), QVWordNetDatabase::FilesMissing);
            nouns.opens();
            const auto used = WNWorldNet::open(package.path(), fallback, nullptr);
            nouns.opens();
            ASSERT_TRUE(used);
            EXPECT_EQ(used->completions(QStringLiteral("f"), 0), QStringList{"fallback"});
        }
        EXPECT_EQ(nouns.opens(), 1) << "read again though nothing changed";
        EXPECT_FALSE(QVWordNetDatabase::isAvailable(package.path()));

        // The package mended: its new files are read.
        qvtest::writeSmallWordNet(package.path(), {"apple", "apricot"});
        const auto mended = QVWordNetDatabase::open(package.path());
        ASSERT_TRUE(mended);
        EXPECT_EQ(mended->completions(QStringLiteral("a"), 0), (QStringList{"apple", "apricot"}));
        EXPECT_EQ(WNWorldNet::open(package.path(), fallback, nullptr), mended);
    }
}

// A package's index that is a pipe holds its load until the test writes into it: meanwhile another
// folder's database, already loaded, and the availability answer come at once; a second caller
// wanting the held files waits for the same load rather than reading them again.
TEST(WordNetLoadTest, ALoadUnderWayHoldsOnlyThoseWhoWantTheSameFiles) {
    using namespace std::chrono_literals;
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString loadedFolder = root.filePath(QStringLiteral("loaded"));
    qvtest::writeSmallWordNet(loadedFolder, {"apple"});
    const auto loaded = QVWordNetDatabase::open(loadedFolder);
    ASSERT_TRUE(loaded);

    const QDir held(root.filePath(QStringLiteral("held")));
    qvtest::writeSmallWordNet(held.path(), {"pear"});
    const QString pipe = held.filePath(QStringLiteral("index.noun"));
    QFile source(pipe);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray index = source.readAll();
    source.close();
    ASSERT_TRUE(QFile::remove(pipe));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);

    auto first = std::async(std::launch::async, [&] { return QVWordNetDatabase::open(held.path()); });
    // The load is inside once the pipe has a reader.
    int writer = -1;
    for (int attempt = 0; attempt < 1000 && writer < 0; ++attempt) {
        writer = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (writer < 0)
            std::this_thread::sleep_for(5ms);
    }
    ASSERT_GE(writer, 0) << "the load never opened the index";
    auto second = std::async(std::launch::async, [&] { return QVWordNetDatabase::open(held.path()); });
    auto other = std::async(std::launch::async, [&] { return QVWordNetDatabase::open(loadedFolder); });
    const bool otherAnswered = other.wait_for(10s) == std::future_status::ready;
    const bool availabilityAnswered = std::async(std::launch::async, [&] {
                                          return QVWordNetDatabase::isAvailable(loadedFolder);
                                      }).wait_for(10s) == std::future_status::ready;

    // Whatever happened, the held load ends.
    const bool written = ::write(writer, index.constData(), size_t(index.size())) == index.size();
    ::close(writer);
    EXPECT_TRUE(written);
    EXPECT_TRUE(otherAnswered) << "a loaded database waited for another folder's load";
    EXPECT_TRUE(availabilityAnswered);
    EXPECT_EQ(other.get(), loaded);
    const auto heldDatabase = first.get();
    ASSERT_TRUE(heldDatabase);
    EXPECT_EQ(heldDatabase->completions(QStringLiteral("p"), 0), QStringList{"pear"});
    EXPECT_EQ(second.get(), heldDatabase) << "one load for both callers";
}
