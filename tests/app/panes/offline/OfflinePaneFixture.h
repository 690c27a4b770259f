#pragma once

#include "app/services/PackageTestStore.h"
#include "app/services/ZipMaker.h"
#include "support/EventLoop.h"
#include "support/FakeBackend.h"

#include "panes/offline/QVMActionDownloadTableCellView.h"
#include "panes/offline/QVMOfflineViewController.h"

#include "services/analytics/QVAnalyticsManager.h"
#include "services/analytics/QVAnalyticsSinks.h"

#include "platform/UserDefaults.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMessageBox>
#include <memory>

// Web analytics events as (action, name) pairs, for the tab's event checks.
class OfflineEventSink : public QVWebAnalyticsSink {
public:
    explicit OfflineEventSink(QStringList *actions) : m_actions(actions) {}
    void trackView(const QStringList &path) override { m_actions->append("view:" + path.join('/')); }
    void trackEvent(const QString &, const QString &action, const QString &,
                    const std::optional<double> &) override {
        m_actions->append(action);
    }
    void setCustomVariable(int, const QString &, const QString &) override {}
    void setUserId(const QString &) override {}
    void trackCampaign(const QString &, const QString &) override {}
    void flush(int) override {}

private:
    QStringList *m_actions;
};

// The tab against a loopback backend that serves the catalogue and archives,
// with a private store, Caches folder and recorded analytics.
class OfflinePaneTest : public PackageStoreTest {
protected:
    void SetUp() override {
        PackageStoreTest::SetUp();
        platform::BackendConfig::overrideHost("QV_API_HOST", backend.baseUrl());
        platform::UserDefaults::standard().setBool(true, QVMOfflineViewController::kPackagesWereRemovedKey);
        QVAnalyticsManager::shared().setSinks(std::make_unique<OfflineEventSink>(&events), nullptr);
        ASSERT_TRUE(scratch.isValid());
    }
    void TearDown() override {
        tab.reset();
        qvtest::spin(20);
        QVAnalyticsManager::shared().setSinks(nullptr, nullptr);
        platform::UserDefaults::standard().removeObject(QVMOfflineViewController::kPackagesWereRemovedKey);
        PackageStoreTest::TearDown();
    }

    void serveCatalogue(const char *json = kPackageCatalogue) {
        backend.route(
            "POST", "/v2/api/v3/languageModels",
            qvtest::FakeReply::json(QJsonObject{{"result", QJsonDocument::fromJson(json).array()}}));
    }
    void serveArchive(const QString &path, const QList<ZipItem> &items, int chunk = 0) {
        const QString file = scratch.filePath(QString(path).replace('/', '_'));
        ASSERT_TRUE(makeZip(file, items));
        QFile zip(file);
        ASSERT_TRUE(zip.open(QIODevice::ReadOnly));
        qvtest::FakeReply reply = qvtest::FakeReply::bytes(zip.readAll(), "application/zip");
        if (chunk > 0)
            reply.throttled(chunk, 5);
        backend.route("GET", "/v2/static/" + path, reply);
    }
    // Opens a fresh tab and waits for the catalogue request to settle.
    QVMOfflineViewController &open() {
        tab.reset();
        const int before = backend.requestCount();
        tab = std::make_unique<QVMOfflineViewController>();
        tab->view()->show();
        qvtest::waitUntil([&] { return backend.requestCount() > before; });
        // The answer shows rows or says why not; a loaded machine takes longer than a moment.
        qvtest::waitUntil([&] { return !tab->shownCodes().isEmpty() || tab->messageLine()->isVisible(); },
                          5000);
        qvtest::spin(50);
        return *tab;
    }
    QStringList codes() const { return tab->shownCodes(); }
    uint statusOf(const QString &code) const {
        QVMActionDownloadTableCellView *cell = tab->actionCellAt(tab->rowForCode(code));
        return cell ? cell->currentStatus() : 99;
    }
    QList<QVLanguagePackageRealm> installableOf(const QString &code) const {
        return QVMOfflineViewController::installablePackages(language(code));
    }
    QMessageBox *confirmation() const { return tab->view()->findChild<QMessageBox *>(); }

    qvtest::FakeBackend backend;
    QTemporaryDir scratch;
    QStringList events;
    std::unique_ptr<QVMOfflineViewController> tab;
};
