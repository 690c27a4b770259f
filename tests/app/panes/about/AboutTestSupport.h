#pragma once

#include "app/panes/settings/SettingsTestSupport.h"

#include "core/models/QVRemoteSettings.h"
#include "core/settings/QVSettingsService.h"
#include "panes/about/QVMAboutPanes.h"
#include "panes/info/QVMInfoViewController.h"

namespace abouttest {

// Records what the panes hand to the browser or the mail program, and how
// many analytics events had been sent at that moment.
class OpenedUrls : public QObject {
    Q_OBJECT
public:
    explicit OpenedUrls(std::function<int()> eventCount) : m_eventCount(std::move(eventCount)) {
        for (const char *scheme : kSchemes)
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
    }
    ~OpenedUrls() override {
        for (const char *scheme : kSchemes)
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
    QList<QUrl> opened;
    QList<int> eventsBefore;
public slots:
    void open(const QUrl &url) {
        opened.append(url);
        eventsBefore.append(m_eventCount());
    }

private:
    static constexpr const char *kSchemes[] = {"http", "https", "mailto", "file", "ftp", "javascript"};
    std::function<int()> m_eventCount;
};

// The settings fixture with the Info and About tabs registered and a way to
// give the remote settings the addresses a case needs.
class AboutTest : public settingstest::SettingsTest {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        installAboutPanes();
        installInfoPane();
    }
    void TearDown() override {
        removeInfoPane();
        removeAboutPanes();
        SettingsTest::TearDown();
    }
    // Every address field the panes read, empty unless given.
    void setRemote(const QVariantMap &given) {
        QVariantMap values{{"admobBannerId", "test"}};
        for (const char *field : {"privacyUrl", "termsUrl", "thirdPartyURL", "facebookUrl", "instagramUrl",
                                  "linkedInUrl", "twitterURL", "telegramURL", "programSiteUrl", "appInfoURL"})
            values.insert(QString::fromLatin1(field), given.value(QString::fromLatin1(field)).toString());
        const QVTranslateSettings record = QVSettingsService::defaultSettings();
        write([&](platform::Transaction &tx) {
            record.setRemoteSettings(
                tx, QVRemoteSettings(tx.createOrUpdate(QVRemoteSettings::storeClassName(), values)));
        });
    }
};

} // namespace abouttest
