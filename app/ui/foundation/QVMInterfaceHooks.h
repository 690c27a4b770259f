#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QAbstractButton;
class QObject;
class QVMDictationProvider;
class QVMGeneralViewController;
class QVMGeneralAndHistorySplitController;

// The rating prompt that start-up configures: events counted, a prompt when
// its own criteria are met.
class QVMRatingPrompt {
public:
    virtual ~QVMRatingPrompt() = default;
    virtual void logEvent(bool deferPrompt) = 0;
    virtual quint64 eventCount() const = 0;
    virtual void setEventCount(quint64 count) = 0;
    virtual void promptIfAllCriteriaMet() = 0;
};

// A plain action handed to a controller made by name (as the QObject property
// "registrationAction" of the registration offer).
using QVMAction = std::function<void()>;
Q_DECLARE_METATYPE(QVMAction)

// Where windows and services that come with other parts of the program plug
// into the main window. Each owner sets its hook once at launch; until then a
// call writes one "[ui] <hook> not available" line and does nothing else.
// Main thread only.
//
//   QVMInterfaceHooks::shared().crossPromoAction = [] { QVMacCrossPromoService::crossPromoAction(); };
//   QVMInterfaceHooks::call(QVMInterfaceHooks::shared().crossPromoAction, "crossPromoAction");
struct QVMInterfaceHooks {
    static QVMInterfaceHooks &shared();

    // Services provider and status item.
    std::function<void(QVMGeneralViewController *view)> setServicesMenuDelegate;
    std::function<void(QVMGeneralViewController *view)> lozyMenuBarItem;
    std::function<void(QVMGeneralViewController *view)> showAgent;
    std::function<void(const QString &text)> showAgentForText;
    // Files dropped on the status window, translated in the main window.
    std::function<void(QVMGeneralViewController *view, const QStringList &paths)> openStatusItemDroppedFiles;
    // The tray icon of the general settings' menu-bar switch.
    std::function<bool()> isStatusItemVisible;
    std::function<void(bool visible)> setStatusItemVisible;

    // Documents, pictures and panels of the main view.
    // Once, when the main view has made its widgets (menus, scrolling, panel look).
    std::function<void(QVMGeneralViewController *view)> setUpPanels;
    std::function<void(QVMGeneralViewController *view, int segment)> segmentZoom;
    std::function<void(QVMGeneralViewController *view)> onOpenFile;
    std::function<void(QVMGeneralViewController *view)> onOpenPhoto;
    std::function<void(QVMGeneralViewController *view)> onOpenTranslateWebPages;
    std::function<void(QVMGeneralViewController *view)> onFavorite;
    std::function<void(QVMGeneralViewController *view, QAbstractButton *sender)> onShare;
    std::function<void(QVMGeneralViewController *view, const QString &path)> openDroppedFile;
    // Dictation into the source panel; none on a desktop without a dictation service.
    std::shared_ptr<QVMDictationProvider> dictationProvider;

    // Prompts and server messages.
    std::function<void()> crossPromoAction;
    std::shared_ptr<QVMRatingPrompt> ratingPrompt;
    std::function<void(QVMGeneralAndHistorySplitController *split)> checkServerMessageIfNeed;

    // Runs the hook, or writes its "not available" line. True when it ran.
    template <typename F, typename... Args>
    static bool call(const F &hook, const char *name, Args &&...args) {
        if (!hook) {
            notAvailable(name);
            return false;
        }
        hook(std::forward<Args>(args)...);
        return true;
    }
    static void notAvailable(const char *name);
    static constexpr const char *kNotAvailableFormat = "[ui] %@ not available";
};
