#include "services/dictionary/QVMLexicalMeaningService.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

TEST(LexicalMeaningServiceTest, OnlyTheLastRegisteredBlockIsCalled) {
    QVMLexicalMeaningService service;
    QStringList seen;
    service.showLexicalMeaningAndWordEntriesForText("before", "en"); // no block yet: nothing happens
    service.addUpdateBlock(
        [&seen](const QString &word, const QString &code) { seen << "first " + word + code; });
    service.addUpdateBlock(
        [&seen](const QString &word, const QString &code) { seen << "second " + word + code; });
    service.showLexicalMeaningAndWordEntriesForText("dog", "en_GB");
    EXPECT_EQ(seen, QStringList{"second dogen_GB"});
    service.addUpdateBlock({});
    service.showLexicalMeaningAndWordEntriesForText("cat", "en");
    EXPECT_EQ(seen.size(), 1);
}

TEST(LexicalMeaningServiceTest, ABlockMayReplaceItselfWhileCalled) {
    QVMLexicalMeaningService service;
    int calls = 0;
    service.addUpdateBlock([&](const QString &, const QString &) {
        ++calls;
        service.addUpdateBlock([&](const QString &, const QString &) { calls += 10; });
    });
    service.showLexicalMeaningAndWordEntriesForText("a", "en");
    service.showLexicalMeaningAndWordEntriesForText("b", "en");
    EXPECT_EQ(calls, 11);
}

TEST(LexicalMeaningServiceTest, RegisteringAndCallingFromManyThreadsIsSafe) {
    QVMLexicalMeaningService service;
    std::atomic<int> calls{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 500; ++i) {
                service.addUpdateBlock([&calls](const QString &, const QString &) { ++calls; });
                service.showLexicalMeaningAndWordEntriesForText("w", "en");
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(calls.load(), 2000);
    EXPECT_EQ(&QVMLexicalMeaningService::sharedInstance(), &QVMLexicalMeaningService::sharedInstance());
}
