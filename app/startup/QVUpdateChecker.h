#pragma once

#include <QByteArray>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <optional>

class QNetworkAccessManager;

// Reads the update feed (an RSS appcast over https), compares the newest item's
// version with the running one and announces a newer one. It never downloads
// or installs anything: showing the notice is the caller's.
//
//   QVUpdateChecker &checker = QVUpdateChecker::shared();
//   QObject::connect(&checker, &QVUpdateChecker::updateAvailable, window, &Window::showUpdateNotice);
//   checker.setFeedURL(QUrl("https://maker.example/download/appCastMac.xml"));
//   checker.setAutomaticallyChecksForUpdates(true);   // a check every interval
//   checker.checkForUpdates();                         // and one now
//
// Main thread only. A feed that is not https is refused and nothing is checked.
class QVUpdateChecker : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultIntervalSeconds = 10800;
    static constexpr int kTimeoutMs = 30000;
    static constexpr qint64 kMaxFeedBytes = 2 * 1024 * 1024;
    // A whole check ends by then: a feed fed byte by byte never trips the idle timeout.
    static constexpr int kCheckDeadlineMs = 120000;

    // One item of the feed.
    struct Item {
        QString version;            // sparkle:version (the build)
        QString shortVersionString; // sparkle:shortVersionString (what users see)
        QUrl downloadPage;          // the item's https <link>, else its https enclosure URL
        // The version compared and shown: the short version when given, else the build.
        QString displayVersion() const { return shortVersionString.isEmpty() ? version : shortVersionString; }
    };
    struct Feed {
        bool valid = false; // well-formed RSS
        QString error;
        std::optional<Item> newest; // the item with the highest version-like version, if any
    };

    explicit QVUpdateChecker(QObject *parent = nullptr);
    ~QVUpdateChecker() override;
    static QVUpdateChecker &shared();

    void setFeedURL(const QUrl &url); // non-https refused (logged), no checks
    QUrl feedURL() const { return m_feed; }
    void setAutomaticallyChecksForUpdates(bool on);
    bool automaticallyChecksForUpdates() const { return m_automatic; }
    void setUpdateCheckInterval(int seconds);
    int updateCheckInterval() const { return m_intervalSeconds; }
    // Menu action "Check for updates" and the pipeline; false when there is no feed to ask.
    bool checkForUpdates();

    // The version compared against the feed (QV_SHORT_VERSION unless a test sets one).
    void setCurrentVersion(const QString &version) { m_currentVersion = version; }
    QString currentVersion() const { return m_currentVersion; }
    void setCheckDeadlineMs(int ms) { m_deadlineMs = ms > 0 ? ms : kCheckDeadlineMs; } // tests
    // Checks that went out to the network (tests).
    int checksStarted() const { return m_checksStarted; }
    bool isChecking() const { return bool(m_reply); }

    static Feed parseFeed(const QByteArray &xml);
    // Numeric comparison of dotted versions ("1.10" > "1.9", "2" == "2.0"); the
    // leading digits of each part count, missing parts are 0; with equal numbers a
    // pre-release ("1.0-beta", "1.2b3") is older than its release. -1, 0 or 1.
    static int compareVersions(const QString &a, const QString &b);

    static constexpr const char *kRefusedFeedLog = "[update] feed refused, not https: %@";
    static constexpr const char *kNoFeedLog = "[update] no feed: check skipped";
    static constexpr const char *kFailedLog = "[update] check failed: %@";
    static constexpr const char *kUpToDateLog = "[update] up to date: %@";
    static constexpr const char *kAvailableLog = "[update] available: %@";

signals:
    void updateAvailable(const QString &version, const QUrl &downloadPage);
    // Every check that went out ends here once: ok is false when the feed could not be read.
    void checkFinished(bool ok);

private:
    void onFinished(QNetworkReply *reply);
    void fail(const QString &reason);
    void restartTimer();

    QNetworkAccessManager *m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
    QTimer m_timer;
    QUrl m_feed;
    bool m_automatic = false;
    int m_intervalSeconds = kDefaultIntervalSeconds;
    QString m_currentVersion;
    int m_checksStarted = 0;
    int m_deadlineMs = kCheckDeadlineMs;
};
