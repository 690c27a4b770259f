#include "ui/window/QVMFirstFrame.h"

#include "support/EventLoop.h"

#include <QStringList>
#include <gtest/gtest.h>

TEST(QVMFirstFrame, WorkWaitsOnlyForAnExpectedFrameAndThenRunsInOrder) {
    QStringList ran;
    QVMFirstFrame::whenDrawn([&] { ran << "no frame expected"; });
    EXPECT_EQ(ran, QStringList{"no frame expected"});

    ran.clear();
    QVMFirstFrame::expect();
    QVMFirstFrame::whenDrawn([&] {
        ran << "first";
        // Handed over while the waiting work runs: at once, not lost.
        QVMFirstFrame::whenDrawn([&] { ran << "from the first"; });
    });
    QVMFirstFrame::whenDrawn([&] { ran << "second"; });
    qvtest::spin(20);
    EXPECT_TRUE(ran.isEmpty());
    QVMFirstFrame::drawn();
    EXPECT_EQ(ran, QStringList({"first", "from the first", "second"}));
    QVMFirstFrame::whenDrawn([&] { ran << "after the frame"; });
    QVMFirstFrame::drawn();
    EXPECT_EQ(ran, QStringList({"first", "from the first", "second", "after the frame"}));
}

TEST(QVMFirstFrame, AFrameThatNeverComesReleasesTheWorkAtTheTimeLimit) {
    int ran = 0;
    QVMFirstFrame::expect(30);
    QVMFirstFrame::whenDrawn([&] { ++ran; });
    EXPECT_TRUE(qvtest::waitUntil([&] { return ran == 1; }, 2000));
    // A late frame runs nothing twice.
    QVMFirstFrame::drawn();
    qvtest::spin(50);
    EXPECT_EQ(ran, 1);
}
