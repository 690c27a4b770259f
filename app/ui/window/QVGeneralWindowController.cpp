#include "ui/window/QVGeneralWindowController.h"

#include "services/graphics/QVMStyleService.h"
#include "ui/adapters/QVMGeneralServices.h"
#include "ui/controls/PaddingTextView.h"
#include "ui/controls/QVMRemoteImage.h"
#include "ui/controls/QVMSegmentedControl.h"
#include "ui/foundation/QVMControlAvailability.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMInterfaceHooks.h"
#include "ui/foundation/QVMLinkOpener.h"
#include "ui/foundation/QVMLocalization.h"
#include "ui/foundation/QVMUtils.h"
#include "ui/main/QVMGeneralAndHistorySplitController.h"
#include "ui/main/QVMGeneralViewController.h"
#include "ui/style/QVMAppearance.h"
#include "ui/style/QVMColor.h"

#include "core/DevLog.h"
#include "core/localization/QVLocalizedString.h"
#include "core/settings/QVAuthService.h"
#include "core/settings/QVSettingsService.h"
#include "platform/Format.h"
#include "platform/UserDefaults.h"
#include "services/QVAuthRequestManager.h"
#include "services/languages/QVLanguageService.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QShortcut>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include <algorithm>

namespace {

constexpr const char *kCategoryMainScreen = "Main screen";

// Calls an invokable the object may not have (controllers of other parts are reached by name).
bool invokeIfPresent(QObject *object, const char *signature, const char *name,
                     QGenericArgument argument = QGenericArgument()) {
    if (!object || object->metaObject()->indexOfMethod(signature) < 0)
        return false;
    return QMetaObject::invokeMethod(object, name, argument);
}

QString loc(const char *key) {
    return QVLocalizedString(QString::fromLatin1(key));
}

// Named for the screen reader and the tooltip; reached by Tab, a click leaves the focus where it was.
void nameControl(QToolButton *button, const QString &name) {
    button->setToolTip(name);
    button->setAccessibleName(name);
    button->setFocusPolicy(Qt::TabFocus);
}

QToolButton *makeToolbarButton(QToolBar *toolbar, const char *locKey) {
    auto *button = new QToolButton(toolbar);
    QVMLocalization::setLocKey(button, QString::fromLatin1(locKey));
    nameControl(button, button->text());
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolbar->addWidget(button);
    return button;
}

} // namespace

QVGeneralWindowController::QVGeneralWindowController(QObject *parent)
    : QObject(parent), m_availability(new QVMControlAvailability(this)) {
    QVMAppearance::install();
    m_window = new QMainWindow;
    m_window->setWindowTitle(windowTitle());
    m_window->setProperty(kWindowControllerProperty, QVariant::fromValue(static_cast<QObject *>(this)));
    buildToolbar();
    buildMenus();

    updateLanguages();
    placeWindow();
    lazyUnknownWords();
    QPointer<QVGeneralWindowController> self(this);
    m_settingsObserver = platform::NotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(kSettingsDidChangedNotification), [self](const QVariantMap &) {
            if (self)
                self->updateLanguages();
        });
    // Signing in or out enables or disables the bookmarks' synchronisation.
    m_userObserver = platform::NotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(QVAuthRequestManager::kUserDidChangedNotification), [self](const QVariantMap &) {
            if (self)
                self->m_availability->refresh();
        });
    initialMainWindow();
    lazyMainWindow();
    lozyAvailability();
    syncPanelSegments();
}

QVGeneralWindowController::~QVGeneralWindowController() {
    platform::NotificationCenter::defaultCenter().removeObserver(m_settingsObserver);
    platform::NotificationCenter::defaultCenter().removeObserver(m_userObserver);
    invokeIfPresent(m_settings, "close()", "close");
    delete m_window;
}

QRect QVGeneralWindowController::defaultFrame(int toolbarWidth, const QRect &available) {
    const QSize size =
        QSize(std::max(kDefaultWindowSize.width(), toolbarWidth + kToolbarSlack), kDefaultWindowSize.height())
            .boundedTo(available.size());
    QRect frame(QPoint(), size);
    frame.moveCenter(available.center());
    return frame;
}

void QVGeneralWindowController::placeWindow() {
    // Not the whole screen: the first frame pays for every pixel of the window's backing store.
    if (QScreen *screen = QGuiApplication::primaryScreen())
        m_window->setGeometry(defaultFrame(m_toolbar->sizeHint().width(), screen->availableGeometry()));
}

void QVGeneralWindowController::buildToolbar() {
    m_toolbar = new QToolBar(m_window);
    m_toolbar->setObjectName(QStringLiteral("QVGeneralToolbar"));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->toggleViewAction()->setEnabled(false);
    m_window->addToolBar(Qt::TopToolBarArea, m_toolbar);

    m_newButton = new QToolButton(m_toolbar);
    m_newButton->setObjectName(QStringLiteral("newButton"));
    m_newButton->setText(loc("_loc_toolbar_new"));
    m_newButton->setToolTip(loc("_loc_toolbar_new_tooltip"));
    m_newButton->setAccessibleName(loc("_loc_toolbar_new"));
    m_newButton->setFocusPolicy(Qt::TabFocus);
    m_toolbar->addWidget(m_newButton);
    connect(m_newButton, &QToolButton::clicked, this, &QVGeneralWindowController::onNew);
    m_toolbar->addSeparator();

    m_fromLanguageButton = new QToolButton(m_toolbar);
    m_fromLanguageButton->setObjectName(QStringLiteral("fromLanguageButton"));
    m_fromLanguageButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    nameControl(m_fromLanguageButton, loc("_loc_toolbar_language_from"));
    m_toolbar->addWidget(m_fromLanguageButton);
    m_swapButton = makeToolbarButton(m_toolbar, "_loc_toolbar_swap");
    m_swapButton->setText(QStringLiteral("\u21C4"));
    m_toLanguageButton = new QToolButton(m_toolbar);
    m_toLanguageButton->setObjectName(QStringLiteral("toLanguageButton"));
    m_toLanguageButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    nameControl(m_toLanguageButton, loc("_loc_toolbar_language_to"));
    m_toolbar->addWidget(m_toLanguageButton);
    m_translateButton = makeToolbarButton(m_toolbar, "_loc_toolbar_translate");
    m_toolbar->addSeparator();

    m_panelsState =
        new QVMSegmentedControl(QVMSegmentedControl::SelectAny,
                                {QVLocalizedString(QStringLiteral("_loc_toolbar_hide_translation")),
                                 QVLocalizedString(QStringLiteral("_loc_toolbar_hide_original")),
                                 QVLocalizedString(QStringLiteral("_loc_toolbar_hide_history"))},
                                m_toolbar);
    m_panelsState->setAccessibleName(loc("_loc_toolbar_panels"));
    m_toolbar->addWidget(m_panelsState);
    m_viewsDirection =
        new QVMSegmentedControl(QVMSegmentedControl::SelectOne,
                                {QVLocalizedString(QStringLiteral("_loc_toolbar_side_by_side")),
                                 QVLocalizedString(QStringLiteral("_loc_toolbar_one_above"))},
                                m_toolbar);
    m_viewsDirection->setAccessibleName(loc("_loc_toolbar_layout"));
    m_toolbar->addWidget(m_viewsDirection);
    // Momentary: a click steps the font, no segment stays pressed.
    m_zoomSegments = new QVMSegmentedControl(QVMSegmentedControl::SelectAny,
                                             {QStringLiteral("A+"), QStringLiteral("A\u2212")}, m_toolbar);
    m_zoomSegments->setObjectName(QStringLiteral("zoomSegments"));
    const QStringList zoomNames{loc("_loc_toolbar_larger_text"), loc("_loc_toolbar_smaller_text")};
    const QList<QKeySequence> zoomKeys{QKeySequence::ZoomIn, QKeySequence::ZoomOut};
    for (int segment = 0; segment < 2; ++segment) {
        QToolButton *button = m_zoomSegments->segmentButton(segment);
        button->setAccessibleName(zoomNames[segment]);
        button->setToolTip(zoomNames[segment] + QStringLiteral(" (") +
                           zoomKeys[segment].toString(QKeySequence::NativeText) + QLatin1Char(')'));
        auto *shortcut = new QShortcut(zoomKeys[segment], m_window);
        connect(shortcut, &QShortcut::activated, this, [this, segment] { onSegmentZoomSwitch(segment); });
    }
    m_toolbar->addWidget(m_zoomSegments);
    connect(m_zoomSegments, &QVMSegmentedControl::segmentClicked, this, [this](int segment) {
        m_zoomSegments->setSelected(false, segment);
        onSegmentZoomSwitch(segment);
    });

    auto *spacer = new QWidget(m_toolbar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_toolbar->addWidget(spacer);
    m_syncBookmarksButton = makeToolbarButton(m_toolbar, "_loc_toolbar_sync_bookmarks");
    m_syncBookmarksButton->setObjectName(QStringLiteral("syncBookmarksButton"));
    m_syncBookmarksButton->setText(QStringLiteral("\u21BB"));
    m_agentButton = makeToolbarButton(m_toolbar, "_loc_toolbar_agent");
    m_settingsButton = makeToolbarButton(m_toolbar, "_loc_settings_title");
    m_moreAppsButton = makeToolbarButton(m_toolbar, "_loc_toolbar_more_apps");

    connect(m_translateButton, &QToolButton::clicked, this, &QVGeneralWindowController::onTranslate);
    connect(m_swapButton, &QToolButton::clicked, this, &QVGeneralWindowController::onSwitchButton);
    connect(m_agentButton, &QToolButton::clicked, this, &QVGeneralWindowController::onAgent);
    connect(m_syncBookmarksButton, &QToolButton::clicked, this,
            &QVGeneralWindowController::onSyncronizeBookmarks);
    connect(m_settingsButton, &QToolButton::clicked, this, &QVGeneralWindowController::onSettings);
    connect(m_moreAppsButton, &QToolButton::clicked, this, &QVGeneralWindowController::onMoreApps);
    connect(m_fromLanguageButton, &QToolButton::clicked, this,
            [this] { onLanguageButton(m_fromLanguageButton); });
    connect(m_toLanguageButton, &QToolButton::clicked, this,
            [this] { onLanguageButton(m_toLanguageButton); });
    connect(m_panelsState, &QVMSegmentedControl::segmentClicked, this,
            &QVGeneralWindowController::onPanelsState);
    connect(m_viewsDirection, &QVMSegmentedControl::segmentClicked, this,
            &QVGeneralWindowController::segmentSwitch);
}

void QVGeneralWindowController::showWindow() {
    if (!m_window)
        return;
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void QVGeneralWindowController::close() {
    if (m_window)
        m_window->close();
}

QString QVGeneralWindowController::windowTitle() {
    return platform::format(QStringLiteral("Quorvalde Translator v %@"), QVMUtils::getAppVersionFromBundle());
}

QVMGeneralViewController *QVGeneralWindowController::generalViewController() const {
    return m_split ? m_split->generalViewController() : nullptr;
}

QVMPanelsSnapshot QVGeneralWindowController::panels() const {
    const QVMGeneralViewController *general = generalViewController();
    return general ? QVMPanelsSnapshot::take(*general) : QVMPanelsSnapshot();
}

void QVGeneralWindowController::restorePanels(const QVMPanelsSnapshot &panels) {
    if (QVMGeneralViewController *general = generalViewController())
        panels.restore(*general);
}

QVGeneralWindowController *QVGeneralWindowController::controllerOfWindow(const QWidget *window) {
    return window ? qobject_cast<QVGeneralWindowController *>(
                        window->property(kWindowControllerProperty).value<QObject *>())
                  : nullptr;
}

void QVGeneralWindowController::initialMainWindow() {
    // It shows with the window; showing it before would lay it out once at a size it never has.
    if (!m_toolbar->isVisibleTo(m_window))
        m_toolbar->setVisible(true);
    platform::Error error;
    m_split = QVMInterfaceFactory::shared().instantiateController<QVMGeneralAndHistorySplitController>(
        QStringLiteral("Main"), QStringLiteral("QVMGeneralAndHistorySplitController"), this, &error);
    if (!m_split) {
        DevLog(QStringLiteral("[ui] main window content: %@"), error.localizedDescription());
        return;
    }
    m_window->setCentralWidget(m_split->view());
}

void QVGeneralWindowController::lazyMainWindow() {
    platform::UserDefaults &defaults = QVMUtils::sharedDefaults();
    QVMGeneralViewController *general = generalViewController();
    switch (defaults.integerForKey(QString::fromLatin1(kUserDefaultTranslateViewsShowState))) {
    case 2:
        m_panelsState->setSelected(false, 0);
        m_panelsState->setSelected(true, 1);
        if (general)
            general->collapseOriginalPanel();
        break;
    case 1:
        m_panelsState->setSelected(true, 0);
        m_panelsState->setSelected(false, 1);
        if (general)
            general->collapseTranslatePanel();
        break;
    case 0:
        m_panelsState->setSelected(false, 0);
        m_panelsState->setSelected(false, 1);
        break;
    default:
        break;
    }
    switch (defaults.integerForKey(QString::fromLatin1(kUserDefaultHistoryViewShow))) {
    case 1:
        m_panelsState->setSelected(true, 2);
        break;
    case 0:
        m_panelsState->setSelected(false, 2);
        break;
    default:
        break;
    }
    switch (defaults.integerForKey(QString::fromLatin1(kUserDefaultTranslateViewsDirection))) {
    case 1:
        m_viewsDirection->setSelected(true, 0);
        break;
    case 0:
        m_viewsDirection->setSelected(true, 1);
        break;
    default:
        break;
    }
}

void QVGeneralWindowController::updateLanguages() {
    updateLanguagesButtons();
    changeLanguageForSynaptraService();
}

void QVGeneralWindowController::updateLanguagesButtons() {
    updateFromLanguageButton();
    updateToLanguageButton();
}

void QVGeneralWindowController::updateFromLanguageButton() {
    updateLanguageButton(m_fromLanguageButton, true);
}

void QVGeneralWindowController::updateToLanguageButton() {
    updateLanguageButton(m_toLanguageButton, false);
}

void QVGeneralWindowController::updateLanguageButton(QToolButton *button, bool source) {
    const QVTranslateSettings settings = QVSettingsService::defaultSettings();
    const QVLanguageRealm language = source ? settings.languageFrom() : settings.languageTo();
    QVMRemoteImage::getRemoteImageForUrlString(button, language.imageFile(), true);
    button->setText(
        platform::format(QString::fromLatin1(kLanguageButtonFormat),
                         QVLanguageService::languageTitleWithoutCountryWithLanguage(language).trimmed(),
                         QString::fromUtf8(kLanguageButtonArrow)));
}

// Offline, the engine loads the pair's models before the first request.
void QVGeneralWindowController::changeLanguageForSynaptraService() {
    if (QVMUtils::isNetworkAvailable())
        return;
    const QVTranslateSettings settings = QVSettingsService::defaultSettings();
    QVMGeneralServices::shared().offline().setFromLanguage(settings.languageFrom(), settings.languageTo());
}

void QVGeneralWindowController::lazyUnknownWords() {
    QVMGeneralServices::shared().offline().uploadAllUnknownWords();
}

void QVGeneralWindowController::showSettingsScreenWithTab(int tab) {
    invokeIfPresent(m_settings, "close()", "close");
    const QString storyboard = QStringLiteral("Settings");
    const QString identifier = QStringLiteral("QVMSettingsWindowController");
    QObject *controller =
        QVMInterfaceFactory::shared().hasController(storyboard, identifier)
            ? QVMInterfaceFactory::shared().instantiateController(storyboard, identifier, this)
            : nullptr;
    if (!controller) {
        QVMInterfaceHooks::notAvailable("QVMSettingsWindowController");
        return;
    }
    m_settings = controller;
    invokeIfPresent(controller, "setTabToOpen(qint64)", "setTabToOpen", Q_ARG(qint64, qint64(tab)));
    invokeIfPresent(controller, "showWindow()", "showWindow");
    QWidget *settingsWindow = nullptr;
    if (controller->metaObject()->indexOfMethod("window()") >= 0)
        QMetaObject::invokeMethod(controller, "window", Q_RETURN_ARG(QWidget *, settingsWindow));
    if (settingsWindow && m_window) {
        const QRect main = m_window->frameGeometry();
        const QSize size = settingsWindow->frameGeometry().size();
        settingsWindow->move(main.x() + main.width() / 2 - size.width() / 2,
                             main.y() + main.height() / 2 - size.height() / 2);
    }
    invokeIfPresent(controller, "selectTab(qint64)", "selectTab", Q_ARG(qint64, qint64(tab)));
}

void QVGeneralWindowController::trackEvent(const QString &action, const QVariantMap &params) {
    QVMGeneralServices::shared().analytics().trackEvent(QString::fromLatin1(kCategoryMainScreen), action,
                                                        params);
}

void QVGeneralWindowController::onTranslate() {
    if (QVMGeneralViewController *general = generalViewController())
        general->translateOperation();
    trackEvent(QStringLiteral("Click Translate button"),
               {{QStringLiteral("language_from"), QVSettingsService::languageFrom()},
                {QStringLiteral("language_to"), QVSettingsService::languageTo()}});
}

// The pair is read once, before the swap, so the event names the pair that was reversed.
void QVGeneralWindowController::onSwitchButton() {
    const QVTranslateSettings settings = QVSettingsService::defaultSettings();
    if (settings.languageFrom().isAuto())
        return;
    const QVariantMap pair{{QStringLiteral("language_from"), settings.languageFrom().localeIdentifier()},
                           {QStringLiteral("language_to"), settings.languageTo().localeIdentifier()}};
    if (const platform::Error error = QVSettingsService::changeLanguages()) {
        DevLog(QStringLiteral("[ui] swap refused: %@"), error.localizedDescription());
        return;
    }
    updateLanguages();
    if (QVMGeneralViewController *general = generalViewController()) {
        general->updateTextViewRightToLeftIfNeeded();
        general->replaceTextsAfterSwitch();
        general->translateOperation();
    }
    trackEvent(QStringLiteral("Click Reverse language"), pair);
}

void QVGeneralWindowController::onAgent() {
    if (QVMGeneralViewController *general = generalViewController())
        general->showAgent();
    trackEvent(QStringLiteral("Click Agent button"));
}

void QVGeneralWindowController::onSettings() {
    trackEvent(QStringLiteral("Click Settings button"));
    showSettingsScreenWithTab(0);
}

void QVGeneralWindowController::onOpen() {
    trackEvent(QStringLiteral("Click Open file button"));
    if (QVMGeneralViewController *view = generalViewController())
        view->showOpenPanelWithFileType(0);
}

void QVGeneralWindowController::onSave() {
    trackEvent(QStringLiteral("Click Save file button"));
    if (QVMGeneralViewController *view = generalViewController())
        view->showWindowsSave();
}

void QVGeneralWindowController::onPrint() {
    trackEvent(QStringLiteral("Click Print file button"));
    if (QVMGeneralViewController *view = generalViewController())
        view->showWindowsPrint();
}

void QVGeneralWindowController::onMoreApps() {
    if (const QUrl url = moreAppsURL(); url.isValid())
        QVMLinkOpener::open(url);
    trackEvent(QStringLiteral("Click More apps button"));
}

void QVGeneralWindowController::onNew() {
    if (QVMGeneralViewController *general = generalViewController())
        general->clear();
    trackEvent(QStringLiteral("Click New file button"));
}

void QVGeneralWindowController::onSegmentZoomSwitch(int segment) {
    if (QVMGeneralViewController *general = generalViewController())
        general->segmentZoom(segment);
}

void QVGeneralWindowController::onSyncronizeBookmarks() {
    if (QVMGeneralViewController *general = generalViewController())
        general->syncronizeBookmarks();
}

void QVGeneralWindowController::segmentSwitch() {
    if (QVMGeneralViewController *general = generalViewController())
        general->segmentSwitch(m_viewsDirection->selectedSegment());
}

void QVGeneralWindowController::onPanelsState() {
    if (m_split)
        m_split->onCollapseHistoryController(m_panelsState);
    syncPanelSegments();
}

// The segments show what is on screen, whatever the clicks before.
void QVGeneralWindowController::syncPanelSegments() {
    QVMGeneralViewController *general = generalViewController();
    if (!general)
        return;
    m_panelsState->setSelected(general->isTranslatePanelHidden(), 0);
    m_panelsState->setSelected(general->isOriginalPanelHidden(), 1);
    if (m_split->hasSidePane())
        m_panelsState->setSelected(m_split->isPanelCollapsed(), 2);
}

// Controls whose window comes with another part of the program enable once it is installed.
void QVGeneralWindowController::lozyAvailability() {
    QVMInterfaceFactory &factory = QVMInterfaceFactory::shared();
    const auto languageList = [&factory] {
        return factory.hasSegue(QString::fromLatin1(kLanguagesControllerSegue));
    };
    m_availability->add(m_fromLanguageButton, languageList);
    m_availability->add(m_toLanguageButton, languageList);
    m_availability->add(m_agentButton, [] { return bool(QVMInterfaceHooks::shared().showAgent); });
    m_availability->add(m_settingsButton, [&factory] {
        return factory.hasController(QStringLiteral("Settings"),
                                     QStringLiteral("QVMSettingsWindowController"));
    });
    m_availability->add(
        m_moreAppsButton, [] { return moreAppsURL().isValid(); }, loc("_loc_reason_more_apps_no_address"));
    m_availability->add(
        m_syncBookmarksButton, [] { return !QVAuthService::authToken().isEmpty(); },
        loc("_loc_reason_signed_out"));
    QPointer<QVMGeneralAndHistorySplitController> split(m_split);
    if (QToolButton *history = m_panelsState->segmentButton(2)) {
        history->setToolTip(history->text());
        history->setAccessibleName(history->text());
        m_availability->add(history, [split] { return split && split->hasSidePane(); });
    }
    for (int segment = 0; segment < m_zoomSegments->segmentCount(); ++segment)
        m_availability->add(m_zoomSegments->segmentButton(segment),
                            [] { return bool(QVMInterfaceHooks::shared().segmentZoom); });
}

QUrl QVGeneralWindowController::moreAppsURL() {
    const QUrl url(QVSettingsService::defaultSettings().remoteSettings().moreAppsURL(), QUrl::StrictMode);
    return url.isValid() && !url.scheme().isEmpty() ? url : QUrl();
}

void QVGeneralWindowController::onLanguageButton(QToolButton *sender) {
    QVMInterfaceFactory::SegueKind kind = QVMInterfaceFactory::SegueKind::Show;
    platform::Error error;
    QObject *destination = QVMInterfaceFactory::shared().instantiateSegueDestination(
        QString::fromLatin1(kLanguagesControllerSegue), this, &kind, &error);
    if (!destination) {
        QVMInterfaceHooks::notAvailable(kLanguagesControllerSegue);
        return;
    }
    prepareForSegue(destination, sender);
    if (!invokeIfPresent(destination, "showRelativeToWidget(QWidget*)", "showRelativeToWidget",
                         Q_ARG(QWidget *, sender)) &&
        !invokeIfPresent(destination, "showWindow()", "showWindow"))
        QVMInterfaceHooks::notAvailable(kLanguagesControllerSegue);
}

void QVGeneralWindowController::prepareForSegue(QObject *destination, QObject *sender) {
    // Exactly the language list, whatever namespace holds it.
    const QString className =
        QString::fromLatin1(destination->metaObject()->className()).section(QStringLiteral("::"), -1);
    if (className != QLatin1String("QVMLanguagesViewController"))
        return;
    invokeIfPresent(destination, "setDelegateLanguage(QObject*)", "setDelegateLanguage",
                    Q_ARG(QObject *, this));
    const uint side = sender == m_fromLanguageButton ? 1u : 2u;
    invokeIfPresent(destination, "setSideIndex(uint)", "setSideIndex", Q_ARG(uint, side));
    m_availability->setWanted(side == 1 ? m_fromLanguageButton : m_toLanguageButton, false);
}

void QVGeneralWindowController::languageDidUpdate(QObject *controller) {
    Q_UNUSED(controller)
    updateLanguages();
    if (QVMGeneralViewController *general = generalViewController()) {
        general->updateTextViewRightToLeftIfNeeded();
        general->translateOperation();
    }
}

void QVGeneralWindowController::languageControllerWillDismiss(QObject *controller) {
    const uint side = controller ? controller->property("sideIndex").toUInt() : 0;
    if (side == 1)
        m_availability->setWanted(m_fromLanguageButton, true);
    else if (side == 2)
        m_availability->setWanted(m_toLanguageButton, true);
}
