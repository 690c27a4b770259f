// What the main view offers after a translation: the rating prompt, the
// cross-promotion and the registration offer.
#include "ui/main/QVMGeneralViewController.h"

#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMInterfaceHooks.h"

#include "core/settings/QVSettingsService.h"
#include "platform/NotificationCenter.h"

#include <QTimer>

bool QVMGeneralViewController::checkIntervalWithValue(qint64 interval) const {
    const quint64 count = quint64(settings().dayTranslationPassedCount());
    const quint64 every = quint64(interval);
    return every != 0 && count >= every && count % every == 0;
}

void QVMGeneralViewController::logRateEvent() {
    const std::shared_ptr<QVMRatingPrompt> prompt = QVMInterfaceHooks::shared().ratingPrompt;
    if (!prompt) {
        QVMInterfaceHooks::notAvailable("ratingPrompt");
        return;
    }
    prompt->logEvent(true);
    const QVRemoteSettings remote = settings().remoteSettings();
    if (prompt->eventCount() >= quint64(remote.useRatingMessageCount()) && remote.useRatingMessage()) {
        prompt->promptIfAllCriteriaMet();
        prompt->setEventCount(0);
    }
}

void QVMGeneralViewController::showCrossPromoIfNecessary() {
    if (!settings().remoteSettings().crossPromoPopup())
        return;
    // Decided on a later turn, once the result is on screen: the prompt never holds it back.
    QTimer::singleShot(0, this, [] {
        QVMInterfaceHooks::call(QVMInterfaceHooks::shared().crossPromoAction, "crossPromoAction");
    });
}

bool QVMGeneralViewController::showRegistrationOfferIfNeeded() {
    const QVTranslateSettings record = settings();
    if (!record.isNeededShowRegistrationOffer() ||
        !checkIntervalWithValue(record.remoteSettings().showRegisterOfferInterval()))
        return false;
    const QString storyboard = QStringLiteral("QVMIntro");
    const QString identifier = QStringLiteral("QVMRegistrationOfferViewController");
    auto *offer =
        QVMInterfaceFactory::shared().hasController(storyboard, identifier)
            ? QVMInterfaceFactory::shared().instantiateController<QVMBaseVC>(storyboard, identifier, this)
            : nullptr;
    if (!offer) {
        QVMInterfaceHooks::notAvailable("QVMRegistrationOfferViewController");
        return false;
    }
    QPointer<QVMGeneralViewController> self(this);
    const QVMAction action = [self] {
        if (self)
            self->openSettingsTab(kSettingsTabAccount);
        platform::NotificationCenter::defaultCenter().post(QString::fromLatin1(kRegistrationOfferAction));
    };
    offer->setProperty("registrationAction", QVariant::fromValue(action));
    return showModalViewController(offer);
}
