// Start-up fills every hook the main window and the tray popover call: a hook
// left empty turns a button or a menu entry into a "not available" line.
#include "startup/QVMInterfaceHookCatalogue.h"
#include "startup/QVSystemLaunchDependencies.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMInterfaceHooks.h"
#include "ui/main/QVMDictationProvider.h"

#include <gtest/gtest.h>

namespace {

struct Hook {
    const char *name;
    size_t size;
    std::function<bool(const QVMInterfaceHooks &)> isSet;
    // Why start-up may leave it empty; nullptr when it must be set.
    const char *mayBeEmpty;
};

#define QV_HOOK(member, why)                                                                                 \
    Hook {                                                                                                   \
#member, sizeof(QVMInterfaceHooks::member),                                                          \
            [](const QVMInterfaceHooks &h) { return bool(h.member); }, why                                   \
    }

// Every member of QVMInterfaceHooks, in its order.
const Hook kHooks[] = {
    QV_HOOK(setServicesMenuDelegate, nullptr),
    QV_HOOK(lozyMenuBarItem, nullptr),
    QV_HOOK(showAgent, nullptr),
    QV_HOOK(showAgentForText, nullptr),
    QV_HOOK(openStatusItemDroppedFiles, nullptr),
    QV_HOOK(isStatusItemVisible, nullptr),
    QV_HOOK(setStatusItemVisible, nullptr),
    QV_HOOK(setUpPanels, nullptr),
    QV_HOOK(segmentZoom, nullptr),
    QV_HOOK(onOpenFile, nullptr),
    QV_HOOK(onOpenPhoto, nullptr),
    QV_HOOK(onOpenTranslateWebPages, nullptr),
    QV_HOOK(onFavorite, nullptr),
    QV_HOOK(onShare, nullptr),
    QV_HOOK(openDroppedFile, nullptr),
    QV_HOOK(dictationProvider, "none on a desktop without a dictation service: the microphone button hides"),
    QV_HOOK(crossPromoAction, nullptr),
    QV_HOOK(ratingPrompt, nullptr),
    QV_HOOK(checkServerMessageIfNeed, nullptr),
};

#undef QV_HOOK

} // namespace

TEST(QVMInterfaceHookCatalogue, TheTableNamesEveryHook) {
    // A hook added to the struct but not to the table makes the sizes differ.
    size_t listed = 0;
    for (const Hook &hook : kHooks)
        listed += hook.size;
    EXPECT_EQ(listed, sizeof(QVMInterfaceHooks)) << "a hook of QVMInterfaceHooks is missing from kHooks";
}

TEST(QVMInterfaceHookCatalogue, StartUpInstallsEveryHookTheMainWindowAndThePopoverCall) {
    QVMInterfaceHooks &hooks = QVMInterfaceHooks::shared();
    // As the program starts: the catalogue, then the launch's own configuration.
    QVMInterfaceHookCatalogue::install(QVMInterfaceFactory::shared(), hooks);
    QVSystemLaunchDependencies().configureRatingPrompt();
    for (const Hook &hook : kHooks) {
        SCOPED_TRACE(hook.name);
        if (hook.mayBeEmpty)
            continue;
        EXPECT_TRUE(hook.isSet(hooks)) << hook.name << " is left unset at start-up";
    }
}
