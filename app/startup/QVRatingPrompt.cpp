#include "startup/QVRatingPrompt.h"

#include "core/DevLog.h"
#include "core/localization/QVLocalizedString.h"
#include "core/models/QVRemoteSettings.h"
#include "core/settings/QVSettingsService.h"
#include "ui/foundation/QVMLinkOpener.h"
#include "ui/foundation/QVMUtils.h"

#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QMessageBox>
#include <QPushButton>

#include <limits>

namespace {

QString str(const char *text) {
    return QString::fromLatin1(text);
}

platform::UserDefaults &defaults() {
    return QVMUtils::sharedDefaults();
}

QDateTime storedDate(const char *key) {
    return QDateTime::fromString(defaults().stringForKey(str(key)), Qt::ISODateWithMs);
}

void storeDate(const QDateTime &date, const char *key) {
    defaults().setObject(date.toUTC().toString(Qt::ISODateWithMs), str(key));
}

double daysBetween(const QDateTime &from, const QDateTime &to) {
    return double(from.msecsTo(to)) / (24.0 * 3600.0 * 1000.0);
}

QUrl webPage(const QString &text) {
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    const bool web = url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http");
    return url.isValid() && web && !url.host().isEmpty() ? url : QUrl();
}

// The desktop's message box, shown without blocking anything.
class MessageBoxPresenter : public QVRatingPromptPresenter {
public:
    void present(const Texts &texts, std::function<void(Choice)> done) override {
        auto *box = new QMessageBox(QMessageBox::Question, texts.title, texts.message);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::NonModal);
        QPushButton *rate = box->addButton(texts.rate, QMessageBox::AcceptRole);
        QPushButton *decline = box->addButton(texts.decline, QMessageBox::RejectRole);
        QPushButton *remind = box->addButton(texts.remind, QMessageBox::ActionRole);
        box->setDefaultButton(rate);
        box->setEscapeButton(remind); // closing the box is not a final answer
        QObject::connect(box, &QMessageBox::finished, box, [box, rate, decline, done] {
            const QAbstractButton *clicked = box->clickedButton();
            if (clicked == rate)
                done(Choice::Rate);
            else if (clicked == decline)
                done(Choice::Decline);
            else
                done(Choice::Remind);
        });
        box->show();
    }
};

} // namespace

QVRatingPrompt::QVRatingPrompt(QObject *parent) : QVRatingPrompt(Configuration(), parent) {}

QVRatingPrompt::QVRatingPrompt(const Configuration &configuration, QObject *parent)
    : QObject(parent), m_configuration(configuration), m_version(QStringLiteral(QV_SHORT_VERSION)) {}

std::shared_ptr<QVRatingPrompt> QVRatingPrompt::shared() {
    static const std::shared_ptr<QVRatingPrompt> prompt = std::make_shared<QVRatingPrompt>();
    return prompt;
}

void QVRatingPrompt::setPresenter(std::shared_ptr<QVRatingPromptPresenter> presenter) {
    m_presenter = std::move(presenter);
}

void QVRatingPrompt::setUrlOpener(UrlOpener opener) {
    m_opener = std::move(opener);
}

void QVRatingPrompt::setClock(Clock clock) {
    m_clock = std::move(clock);
}

QDateTime QVRatingPrompt::now() const {
    return m_clock ? m_clock() : QDateTime::currentDateTimeUtc();
}

QDateTime QVRatingPrompt::firstUsed() const {
    return storedDate(kFirstUsedKey);
}

quint64 QVRatingPrompt::eventCount() const {
    const qint64 count = defaults().integerForKey(str(kEventCountKey));
    return count > 0 ? quint64(count) : 0;
}

void QVRatingPrompt::setEventCount(quint64 count) {
    defaults().setInteger(qint64(qMin<quint64>(count, quint64(std::numeric_limits<qint64>::max()))),
                          str(kEventCountKey));
}

void QVRatingPrompt::logEvent(bool deferPrompt) {
    if (!firstUsed().isValid())
        storeDate(now(), kFirstUsedKey);
    setEventCount(eventCount() + 1);
    if (!deferPrompt)
        promptIfAllCriteriaMet();
}

bool QVRatingPrompt::shouldPromptForRating() const {
    if (m_visible)
        return false;
    if (defaults().stringForKey(str(kDeclinedVersionKey)) == m_version)
        return false;
    if (defaults().stringForKey(str(kRatedVersionKey)) == m_version)
        return false;
    if (eventCount() < m_configuration.eventsUntilPrompt)
        return false;
    const QDateTime first = firstUsed();
    if (first.isValid() && daysBetween(first, now()) < m_configuration.daysUntilPrompt)
        return false;
    const QDateTime reminded = storedDate(kLastRemindedKey);
    if (reminded.isValid() && daysBetween(reminded, now()) < m_configuration.remindPeriod)
        return false;
    return true;
}

void QVRatingPrompt::promptIfAllCriteriaMet() {
    if (shouldPromptForRating())
        promptForRating();
}

void QVRatingPrompt::promptForRating() {
    if (m_visible)
        return;
    if (!m_presenter)
        m_presenter = std::make_shared<MessageBoxPresenter>();
    m_visible = true;
    const QVRatingPromptPresenter::Texts texts{QVLocalizedString(QStringLiteral("_loc_rate_title")),
                                               QVLocalizedString(QStringLiteral("_loc_rate_message")),
                                               QVLocalizedString(QStringLiteral("_loc_rate_button")),
                                               QVLocalizedString(QStringLiteral("_loc_rate_cancel")),
                                               QVLocalizedString(QStringLiteral("_loc_rate_remind"))};
    QPointer<QVRatingPrompt> self(this);
    auto answered = std::make_shared<bool>(false);
    platform::NotificationCenter::defaultCenter().post(str(kDidPromptNotification));
    m_presenter->present(texts, [self, answered](QVRatingPromptPresenter::Choice choice) {
        if (*answered || !self)
            return;
        *answered = true;
        self->answer(choice);
    });
}

QUrl QVRatingPrompt::ratingPageURL() const {
    if (m_ratingPage.isValid())
        return m_ratingPage;
    const QVRemoteSettings remote = QVSettingsService::defaultSettings().remoteSettings();
    if (!remote.isValid())
        return {};
    const QUrl appStore = webPage(remote.appStoreLink());
    return appStore.isValid() ? appStore : webPage(remote.storeLink());
}

void QVRatingPrompt::answer(QVRatingPromptPresenter::Choice choice) {
    m_visible = false;
    platform::NotificationCenter &center = platform::NotificationCenter::defaultCenter();
    switch (choice) {
    case QVRatingPromptPresenter::Choice::Rate: {
        defaults().setObject(m_version, str(kRatedVersionKey));
        const QUrl page = ratingPageURL();
        if (!page.isValid())
            DevLog(str(kNoRatingPageLog));
        else if (m_opener)
            m_opener(page);
        else
            QVMLinkOpener::open(page);
        center.post(str(kDidAttemptToRateNotification));
        break;
    }
    case QVRatingPromptPresenter::Choice::Decline:
        defaults().setObject(m_version, str(kDeclinedVersionKey));
        center.post(str(kDidDeclineNotification));
        break;
    case QVRatingPromptPresenter::Choice::Remind:
        storeDate(now(), kLastRemindedKey);
        center.post(str(kDidRequestReminderNotification));
        break;
    }
}
