#pragma once

#include "app/panes/PanesTestSupport.h"
#include "panes/intro/QVMIntroPanes.h"
#include "services/analytics/QVAnalyticsManager.h"
#include "services/analytics/QVAnalyticsSinks.h"
#include "support/EventLoop.h"

namespace introtest {

// Product analytics names each event "category: action" and each screen by its name.
class RecordingProductSink : public QVProductAnalyticsSink {
public:
    explicit RecordingProductSink(QStringList *events) : m_events(events) {}
    void logEvent(const QString &eventType, const QVariantMap &) override { m_events->append(eventType); }
    void clearUserProperties() override {}
    void setUserProperties(const QVariantMap &) override {}
    void setUserId(const QString &) override {}
    void flush(int) override {}

private:
    QStringList *m_events;
};

// Lists print readably in failures.
inline std::string joined(const QStringList &list) {
    return list.join(QStringLiteral(" | ")).toStdString();
}

// The main window's fixture with the intro panes registered and analytics recorded.
class IntroTest : public panestest::PanesTest {
protected:
    void SetUp() override {
        panestest::PanesTest::SetUp();
        installIntroPanes(QVMInterfaceFactory::shared());
        QVAnalyticsManager::shared().setSinks(nullptr, std::make_unique<RecordingProductSink>(&events));
    }
    void TearDown() override {
        QVAnalyticsManager::shared().setSinks(nullptr, nullptr);
        panestest::PanesTest::TearDown();
    }

    QStringList events;
};

} // namespace introtest
