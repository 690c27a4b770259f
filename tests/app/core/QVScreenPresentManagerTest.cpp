#include "RecordingCrashReporter.h"
#include "core/QVScreenPresentManager.h"

#include <gtest/gtest.h>

namespace {

class ScreenArbiter : public ::testing::Test {
protected:
    void SetUp() override {
        m_reporter = std::make_shared<RecordingCrashReporter>();
        platform::CrashReporter::setShared(m_reporter);
        m_arbiter.setScreenMode(QVScreenPresentManager::kWorkingMode);
        m_arbiter.setScreenType(QVScreenPresentManager::ScreenTypeNone);
    }
    void TearDown() override { platform::CrashReporter::setShared(nullptr); }

    QVScreenPresentManager m_arbiter;
    std::shared_ptr<RecordingCrashReporter> m_reporter;
};

TEST_F(ScreenArbiter, SecondRequestWithoutResetIsRefusedAndBothAreLogged) {
    EXPECT_TRUE(m_arbiter.canShowScreenType(QVScreenPresentManager::ScreenTypeInformational));
    EXPECT_FALSE(m_arbiter.canShowScreenType(QVScreenPresentManager::ScreenTypeInformational));
    ASSERT_EQ(m_reporter->lines.size(), 2);
    EXPECT_EQ(m_reporter->lines[0], QStringLiteral("Check - result: true - Screen mode: 2; type: 2; presented: true;"));
    EXPECT_EQ(m_reporter->lines[1], QStringLiteral("Check - result: false - Screen mode: 2; type: 2; presented: true;"));
}

TEST_F(ScreenArbiter, ResetWithoutGrantStaysIdleAndLogs) {
    m_arbiter.resetAfterCloseIfNeeded();
    EXPECT_FALSE(m_arbiter.presented());
    ASSERT_EQ(m_reporter->lines.size(), 1);
    EXPECT_EQ(m_reporter->lines[0], QStringLiteral("Reset - Screen mode: 2; type: 0; presented: false;"));
}

TEST_F(ScreenArbiter, RequestAfterResetIsGrantedAgain) {
    ASSERT_TRUE(m_arbiter.canShowScreenType(2));
    m_arbiter.resetAfterCloseIfNeeded();
    EXPECT_TRUE(m_arbiter.canShowScreenType(2));
    EXPECT_TRUE(m_arbiter.presented());
    EXPECT_EQ(m_arbiter.screenType(), 2u);
}

} // namespace
