#pragma once

#include <QVariantList>

#include <functional>

// The cross-promotion table of the maker's other applications. For now it only
// stores the backend's list; choosing and showing an entry comes with the prompt.
//
//   QVMacCrossPromoService::savePromoAppsWithData(reply.toList(), [](bool saved) { ... });
class QVMacCrossPromoService {
public:
    static constexpr const char *kSaveMessage = "savePromoAppsWithData:withCompletion:";

    // One QVCrossApp per JSON item, created or updated by its "index" in one write
    // transaction of the default store (joining an open one); a stored entry keeps its
    // wasShown mark. The completion (main thread, before returning) gets true when at
    // least one entry resulted; a failure is reported and gets false.
    static void savePromoAppsWithData(const QVariantList &apps,
                                      const std::function<void(bool saved)> &completion);

    QVMacCrossPromoService() = delete;
};
