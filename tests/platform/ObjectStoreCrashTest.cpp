#include "StoreTestSchema.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

#include <random>

using namespace platform;
using namespace storetest;

// A writer killed at any moment leaves a store that opens, checks sound and
// holds every batch whose commit it reported, each one whole.
TEST(ObjectStoreCrash, AWriterKilledAtRandomMomentsLosesNoCommitAndLeavesNoHalfWrite) {
    constexpr int kRounds = 20;
    constexpr qint64 kPerBatch = 5; // as the child writes them
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("store.sqlite"));
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> delay(0, 250);
    qint64 reported = -1;
    qint64 batches = 0;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        QProcess child;
        child.start(QStringLiteral(QV_STORE_TEST_CHILD), {QStringLiteral("write"), path});
        ASSERT_TRUE(child.waitForStarted(10000));
        QByteArray output;
        // A few rounds die while the store may still be opening; the others only once a commit
        // is under way, however slow the child (sanitizers, a busy machine), so that writes get killed.
        if (round % 4 != 0) {
            const QDeadlineTimer deadline(60000);
            while (!output.contains("committed ") && child.state() == QProcess::Running &&
                   !deadline.hasExpired()) {
                child.waitForReadyRead(200);
                output += child.readAllStandardOutput();
            }
            ASSERT_TRUE(output.contains("committed ")) << output.toStdString();
        }
        // Mostly in the middle of a write.
        QThread::msleep(static_cast<unsigned long>(delay(random)));
        child.kill();
        ASSERT_TRUE(child.waitForFinished(10000));
        output += child.readAllStandardOutput();
        for (const QByteArray &line : output.split('\n')) {
            if (line.startsWith("committed "))
                reported = std::max(reported, line.mid(10).toLongLong());
            else
                ASSERT_TRUE(line.isEmpty()) << line.toStdString();
        }

        Error error;
        ObjectStore store = ObjectStore::open(configuration(path), &error);
        ASSERT_FALSE(store.isNull()) << error.localizedDescription().toStdString();
        ASSERT_FALSE(store.checkIntegrity());
        batches = store.objectForPrimaryKey(QStringLiteral("Settings"), 1)
                      .value(QStringLiteral("countOfLaunch"))
                      .toLongLong();
        EXPECT_GT(batches, reported); // every reported commit is there
        const QList<Object> translations =
            store.objects(QStringLiteral("Translation")).sorted(QStringLiteral("idTranslation")).toList();
        ASSERT_EQ(translations.size(), batches * kPerBatch); // and no part of an unfinished one
        for (qsizetype i = 0; i < translations.size(); ++i) {
            const Object &t = translations.at(i);
            ASSERT_EQ(t.value(QStringLiteral("idTranslation")).toLongLong(), i);
            ASSERT_TRUE(t.link(QStringLiteral("languageFrom")).isValid());
            ASSERT_TRUE(t.value(QStringLiteral("originalText"))
                            .toString()
                            .startsWith(QStringLiteral("text %1 ").arg(i)));
        }
        // The folded-text index followed every commit.
        if (batches > 0) {
            const QString last = QStringLiteral("TEXT %1 ").arg(batches * kPerBatch - 1);
            EXPECT_EQ(store.objects(QStringLiteral("Translation"))
                          .filter(Key(QStringLiteral("originalText")).contains(last))
                          .count(),
                      1);
        }
    }
    EXPECT_GT(batches, 0); // the rounds did write
}
