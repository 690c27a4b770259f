#pragma once

#include "ui/foundation/QVMInterfaceHooks.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>
#include <memory>

// Shows the rating prompt: counts significant events and asks for a rating
// once enough of them happened (3 events, 0 days of use, 0 days between reminders).
//
// Who shows the dialog: a desktop message box unless replaced, non-modal.
class QVRatingPromptPresenter {
public:
    enum class Choice { Rate, Decline, Remind };
    struct Texts {
        QString title, message, rate, decline, remind;
    };
    virtual ~QVRatingPromptPresenter() = default;
    // Shows the question and answers once through done (on the main thread).
    virtual void present(const Texts &texts, std::function<void(Choice choice)> done) = 0;
};

// The prompt. The event count and dates live in the user defaults, so they survive
// restarts. Each outcome is announced on platform::NotificationCenter::defaultCenter():
//
//   auto prompt = QVRatingPrompt::shared();
//   QVMInterfaceHooks::shared().ratingPrompt = prompt;
//   prompt->logEvent(false);   // the third event shows the prompt
//
// "Rate" opens the rating page of the remote configuration, when it names one, and
// the prompt never asks again for this version; "No, thanks" never asks again for
// this version; "Remind me later" asks again after the remind period (the observer
// of the reminder notification resets the event count). Main thread only.
class QVRatingPrompt : public QObject, public QVMRatingPrompt {
    Q_OBJECT
public:
    static constexpr const char *kApplicationBundleIdentifier = "com.tessaphyre.translator.mac";
    static constexpr bool kOnlyPromptIfLatestVersion = false;
    static constexpr quint64 kEventsUntilPrompt = 3;
    static constexpr double kDaysUntilPrompt = 0.0;
    static constexpr double kRemindPeriodDays = 0.0;

    static constexpr const char *kDidPromptNotification = "iRateDidPromptForRating";
    static constexpr const char *kDidAttemptToRateNotification = "iRateUserDidAttemptToRateApp";
    static constexpr const char *kDidDeclineNotification = "iRateUserDidDeclineToRateApp";
    static constexpr const char *kDidRequestReminderNotification = "iRateUserDidRequestReminderToRateApp";

    // User-defaults keys.
    static constexpr const char *kEventCountKey = "kUserDefaultRatingEventCount";
    static constexpr const char *kFirstUsedKey = "kUserDefaultRatingFirstUsed";
    static constexpr const char *kLastRemindedKey = "kUserDefaultRatingLastReminded";
    static constexpr const char *kDeclinedVersionKey = "kUserDefaultRatingDeclinedVersion";
    static constexpr const char *kRatedVersionKey = "kUserDefaultRatingRatedVersion";

    static constexpr const char *kNoRatingPageLog = "[rate] no rating page configured";

    struct Configuration {
        QString applicationBundleIdentifier = QString::fromLatin1(kApplicationBundleIdentifier);
        bool onlyPromptIfLatestVersion = kOnlyPromptIfLatestVersion;
        quint64 eventsUntilPrompt = kEventsUntilPrompt;
        double daysUntilPrompt = kDaysUntilPrompt;
        double remindPeriod = kRemindPeriodDays;
    };

    explicit QVRatingPrompt(QObject *parent = nullptr);
    explicit QVRatingPrompt(const Configuration &configuration, QObject *parent = nullptr);
    static std::shared_ptr<QVRatingPrompt> shared(); // configured once, before first use

    // QVMRatingPrompt
    void logEvent(bool deferPrompt) override;
    quint64 eventCount() const override;
    void setEventCount(quint64 count) override;
    void promptIfAllCriteriaMet() override;

    const Configuration &configuration() const { return m_configuration; }
    bool shouldPromptForRating() const;
    bool isPromptVisible() const { return m_visible; }
    void promptForRating();

    // The page "Rate" opens: the configured one, else the remote configuration's store link.
    void setRatingPageURL(const QUrl &url) { m_ratingPage = url; }
    QUrl ratingPageURL() const;

    // Test seams.
    void setPresenter(std::shared_ptr<QVRatingPromptPresenter> presenter); // null: message box
    using UrlOpener = std::function<bool(const QUrl &url)>;
    void setUrlOpener(UrlOpener opener); // empty: QVMLinkOpener
    using Clock = std::function<QDateTime()>;
    void setClock(Clock clock); // empty: the system clock
    void setApplicationVersion(const QString &version) { m_version = version; }

private:
    void answer(QVRatingPromptPresenter::Choice choice);
    QDateTime now() const;
    QDateTime firstUsed() const;

    Configuration m_configuration;
    std::shared_ptr<QVRatingPromptPresenter> m_presenter;
    UrlOpener m_opener;
    Clock m_clock;
    QUrl m_ratingPage;
    QString m_version;
    bool m_visible = false;
};
