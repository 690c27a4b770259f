#include "support/ScopedBackendHosts.h"
#include "support/FakeBackend.h"

#include "platform/BackendConfig.h"

#include <gtest/gtest.h>

TEST(ScopedBackendHosts, PointsEveryHostAtTheFakeBackendAndRestoresAfterwards) {
    qputenv("QV_API_HOST", "http://127.0.0.1:9");
    qunsetenv("QV_PUSH_HOST");
    qvtest::FakeBackend backend;
    {
        qvtest::ScopedBackendHosts hosts(backend.baseUrl());
        EXPECT_EQ(platform::BackendConfig::apiHost(), backend.baseUrl());
        EXPECT_EQ(platform::BackendConfig::accountHost(), backend.baseUrl());
        EXPECT_EQ(platform::BackendConfig::pushHost(), backend.baseUrl());
        EXPECT_EQ(platform::BackendConfig::makerDomain(), backend.baseUrl());
    }
    EXPECT_EQ(qgetenv("QV_API_HOST"), "http://127.0.0.1:9");
    EXPECT_FALSE(qEnvironmentVariableIsSet("QV_PUSH_HOST"));
    qunsetenv("QV_API_HOST");
}
