#include "panes/QVMacCrossPromoService.h"

#include "core/DevLogger.h"
#include "core/mapping/JSONMapping.h"
#include "core/models/QVCrossApp.h"

#include "platform/store/Store.h"

#include <algorithm>

void QVMacCrossPromoService::savePromoAppsWithData(const QVariantList &apps,
                                                   const std::function<void(bool saved)> &completion) {
    const QString message = QString::fromLatin1(kSaveMessage);
    bool saved = false;
    platform::Error error;
    const platform::ObjectStore store = platform::ObjectStore::defaultStore(&error);
    if (!store.isNull()) {
        bool reported = false;
        // What was written before a failing item stays: the entries are independent.
        error = safeTransactionWithBlock(store, [&](platform::Transaction &tx) {
            try {
                const QList<platform::Object> stored =
                    JSONMapping::createOrUpdateInRealm(tx, QVCrossApp::storeClassName(), apps);
                saved = std::any_of(stored.begin(), stored.end(),
                                    [](const platform::Object &object) { return !object.isNull(); });
            } catch (const std::exception &exception) {
                DevLogger::logException(exception, message);
                reported = true;
                saved = false;
            }
        });
        if (error && !reported)
            DevLogger::logError(error, message);
    } else {
        DevLogger::logError(error, message);
    }
    if (completion)
        completion(saved && !error);
}
