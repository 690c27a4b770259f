#pragma once

#include "ui/controls/QVMRemoteImage.h"

#include <QUrl>
#include <QVariantList>

#include <functional>

// The cross-promotion table of the maker's other applications: stored from the
// backend's list, and offered one at a time in an alert after every so many
// translations of the day.
//
//   QVMacCrossPromoService::savePromoAppsWithData(reply.toList(), [](bool saved) { ... });
//   QVMacCrossPromoService::crossPromoAction();   // after a translation is on screen
//
// Choosing: E is the remote "crossPromoEventCount" (10 when not positive), N the
// day's translation count. Only when N >= E and N is a multiple of E, entry
// (N / E - 1) modulo their number is offered among the unshown entries that
// may show in the prompt and carry a web store link, sorted by "order". The
// screen arbiter is asked first; a granted entry is marked shown, and the
// arbiter is released when the alert closes, or on any failure before that.
class QVMacCrossPromoService {
public:
    // Loads a picture and answers once on the main thread (tests stand in for the network).
    using PictureLoader = std::function<void(const QUrl &url, QVMRemoteImage::LoadCompletion completion)>;

    static constexpr const char *kSaveMessage = "savePromoAppsWithData:withCompletion:";
    static constexpr const char *kActionMessage = "crossPromoAction";
    static constexpr const char *kNoAppsLog = "No QVCrossApp objects";
    static constexpr const char *kNoUnshownAppsLog = "No QVCrossApp objects filter by wasShown == false";
    static constexpr qint64 kDefaultEventCount = 10;
    static constexpr unsigned kScreenType = 2;
    // The alert waits this long for the picture, then shows without it.
    static constexpr int kPictureWaitMs = 3000;

    // One QVCrossApp per JSON item, created or updated by its "index" in one write
    // transaction of the default store (joining an open one); a stored entry keeps its
    // wasShown mark. The completion (main thread, before returning) gets true when at
    // least one entry resulted; a failure is reported and gets false.
    static void savePromoAppsWithData(const QVariantList &apps,
                                      const std::function<void(bool saved)> &completion);

    // With the remote "crossPromoRepeat" on, every entry becomes unshown again.
    static void updateShownStatus();

    // Decides and, when an entry is due, shows its alert: the name, the
    // description (both plain text), the picture when it arrives in time,
    // "Download" opening the store link and "Cancel". Returns at once; the
    // alert follows on a later turn of the main loop.
    static void crossPromoAction();

    // Seams for tests: the picture loader (empty: the shared remote-image cache)
    // and the picture's waiting time (0 or less: kPictureWaitMs).
    static void setPictureLoader(PictureLoader loader);
    static void setPictureWaitMs(int ms);

    QVMacCrossPromoService() = delete;
};

// Installs the main view's cross-promotion hook.
void installCrossPromo();
