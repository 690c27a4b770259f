#include "QVMKeyboardShortcutsService.h"

#include "panes/popover/QVMGenaralPopoverViewController.h"
#include "panes/popover/QVMStatusItem.h"
#include "panes/popover/QVMTrayPopoverInstaller.h"

#include "core/DevLog.h"
#include "core/localization/QVLocalizedString.h"
#include "core/settings/QVSettingsService.h"
#include "platform/UserDefaults.h"
#include "services/network/QVRequestManager.h"
#include "services/push/QVDesktopNotifier.h"
#include "services/shortcuts/QVMDesktopSettingsShortcutBackend.h"
#include "services/shortcuts/QVMPortalShortcutBackend.h"
#include "services/shortcuts/QVMServicesMenu.h"
#include "services/shortcuts/QVMX11ShortcutBackend.h"
#include "ui/foundation/QVMLinkOpener.h"
#include "ui/foundation/QVMUtils.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QUrl>

namespace {

bool isWebAddress(const QUrl &url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
           !url.host().isEmpty();
}

} // namespace

QVMKeyboardShortcutsService &QVMKeyboardShortcutsService::sharedInstance() {
    static QVMKeyboardShortcutsService *service = new QVMKeyboardShortcutsService;
    return *service;
}

QVMKeyboardShortcutsService::QVMKeyboardShortcutsService()
    : m_reader(&QVMKeyboardShortcutsService::readSelectionOrClipboard),
      m_notifier([this](const QString &title, const QString &body) { notifyOrAlert(title, body); }) {
    registerDefaults();
}

QVMKeyboardShortcutsService::~QVMKeyboardShortcutsService() = default;

QVDesktopNotifier &QVMKeyboardShortcutsService::desktopNotifier() {
    if (!m_desktop)
        m_desktop = std::make_unique<QVDesktopNotifier>();
    return *m_desktop;
}

void QVMKeyboardShortcutsService::setNotificationBus(QDBusConnection bus) {
    m_desktop = std::make_unique<QVDesktopNotifier>(std::move(bus));
}

void QVMKeyboardShortcutsService::notifyOrAlert(const QString &title, const QString &body) {
    QPointer<QVMKeyboardShortcutsService> self(this);
    desktopNotifier().canShowNotifications([self, title, body](bool shown) {
        // A desktop without a notification service would show nothing: the program says it itself.
        if (!shown)
            QVMUtils::showErrorAlertWithMessage(body);
        else if (self)
            self->desktopNotifier().showAlert(title, body);
    });
}

void QVMKeyboardShortcutsService::registerDefaults() {
    QVMUtils::sharedDefaults().registerDefaults(
        {{QLatin1String(kCustomShortcut), QLatin1String(kDefaultCustomShortcut)},
         {QLatin1String(kCustomShortcutEnabled), true},
         {QLatin1String(kHardcodedShortcutEnabled), true}});
}

bool QVMKeyboardShortcutsService::isWaylandSession() {
    return QGuiApplication::platformName() == QLatin1String("wayland") ||
           qEnvironmentVariable("XDG_SESSION_TYPE").compare(QLatin1String("wayland"), Qt::CaseInsensitive) ==
               0;
}

// Highlighted text is what the user means on X11; Wayland gives it only to the focused program.
QString QVMKeyboardShortcutsService::readSelectionOrClipboard() {
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return {};
    if (!isWaylandSession() && clipboard->supportsSelection()) {
        const QString selected = clipboard->text(QClipboard::Selection);
        if (!selected.isEmpty())
            return selected;
    }
    return clipboard->text(QClipboard::Clipboard);
}

void QVMKeyboardShortcutsService::startObserving() {
    startObserving(QDBusConnection::sessionBus());
}

void QVMKeyboardShortcutsService::startObserving(QDBusConnection bus) {
    registerDefaults();
    if (!m_backend) {
        if (QVMX11ShortcutBackend::isUsable()) {
            setBackend(new QVMX11ShortcutBackend);
        } else {
            setBackend(new QVMDesktopSettingsShortcutBackend);
            QPointer<QVMKeyboardShortcutsService> self(this);
            QVMPortalShortcutBackend::probe(bus, [self, bus](bool available) {
                if (self && available && self->m_backend &&
                    self->m_backend->kind() == QVMGlobalShortcutBackend::Kind::DesktopSettings)
                    self->setBackend(new QVMPortalShortcutBackend(bus));
            });
        }
    }
    QVMServicesMenu &menu = QVMServicesMenu::sharedInstance();
    menu.translateWebPageAction = [] { sharedInstance().translateWebPagePasteboardUrl(); };
    menu.showAgentAction = [] { sharedInstance().showAgent(); };
    if (!m_observing) {
        m_observing = true;
        m_defaultsConnection = connect(&QVMUtils::sharedDefaults(), &platform::UserDefaults::changed, this,
                                       &QVMKeyboardShortcutsService::defaultsChanged);
    }
    m_customEnabled = QVMUtils::sharedDefaults().boolForKey(QLatin1String(kCustomShortcutEnabled));
    m_hardcodedEnabled = QVMUtils::sharedDefaults().boolForKey(QLatin1String(kHardcodedShortcutEnabled));
    apply();
}

void QVMKeyboardShortcutsService::stopObserving() {
    disconnect(m_defaultsConnection);
    m_observing = false;
    if (m_backend)
        m_backend->setShortcuts({});
}

void QVMKeyboardShortcutsService::setBackend(QVMGlobalShortcutBackend *backend) {
    if (m_backend == backend)
        return;
    delete m_backend;
    m_backend = backend;
    m_announced.clear();
    if (backend) {
        backend->setParent(this);
        connect(backend, &QVMGlobalShortcutBackend::activated, this, &QVMKeyboardShortcutsService::runAction);
        connect(backend, &QVMGlobalShortcutBackend::stateChanged, this,
                &QVMKeyboardShortcutsService::backendStateChanged);
        if (m_observing)
            apply();
    }
    emit stateChanged();
}

void QVMKeyboardShortcutsService::defaultsChanged(const QString &key) {
    if (key == QLatin1String(kCustomShortcutEnabled))
        setCustomShortcutEnabled(QVMUtils::sharedDefaults().boolForKey(key));
    else if (key == QLatin1String(kHardcodedShortcutEnabled))
        setHardcodedShortcutEnabled(QVMUtils::sharedDefaults().boolForKey(key));
    else if (key == QLatin1String(kCustomShortcut))
        apply();
}

void QVMKeyboardShortcutsService::setCustomShortcutEnabled(bool enabled) {
    m_customEnabled = enabled;
    apply();
}

void QVMKeyboardShortcutsService::setHardcodedShortcutEnabled(bool enabled) {
    m_hardcodedEnabled = enabled;
    apply();
}

QKeySequence QVMKeyboardShortcutsService::customShortcut() const {
    const QVariant stored = QVMUtils::sharedDefaults().objectForKey(QLatin1String(kCustomShortcut));
    const QKeySequence keys = stored.typeId() == QMetaType::QString
                                  ? QKeySequence::fromString(stored.toString(), QKeySequence::PortableText)
                                  : QKeySequence();
    const bool readable = keys.count() == 1 && keys[0].key() != Qt::Key_unknown &&
                          QVMX11ShortcutBackend::keysymForKey(keys[0].key()) != 0;
    if (readable)
        return keys;
    if (!std::exchange(m_loggedUnreadable, true))
        DevLog(QStringLiteral("[shortcuts] the stored custom shortcut is unreadable: using %@"),
               QString::fromLatin1(kDefaultCustomShortcut));
    return QKeySequence::fromString(QLatin1String(kDefaultCustomShortcut), QKeySequence::PortableText);
}

QList<QVMGlobalShortcutBackend::Shortcut> QVMKeyboardShortcutsService::activeShortcuts() const {
    QList<QVMGlobalShortcutBackend::Shortcut> list;
    if (m_customEnabled)
        list.append({QLatin1String(kIdCustom), customShortcut(), tr("Translate the copied web page")});
    if (m_hardcodedEnabled) {
        list.append(
            {QLatin1String(kIdTranslateWebPage),
             QKeySequence::fromString(QLatin1String(kTranslateWebPageLeft), QKeySequence::PortableText),
             tr("Translate the copied web page")});
        list.append({QLatin1String(kIdShowAgent),
                     QKeySequence::fromString(QLatin1String(kShowAgentKeys), QKeySequence::PortableText),
                     tr("Open the translator with the copied text")});
    }
    return list;
}

void QVMKeyboardShortcutsService::apply() {
    if (m_backend && m_observing)
        m_backend->setShortcuts(activeShortcuts());
    emit stateChanged();
}

QStringList QVMKeyboardShortcutsService::conflictLines() const {
    QStringList lines;
    if (!m_backend)
        return lines;
    const QStringList conflicts = m_backend->conflicts();
    for (const QVMGlobalShortcutBackend::Shortcut &shortcut : activeShortcuts())
        if (conflicts.contains(shortcut.id))
            lines.append((shortcut.id == QLatin1String(kIdCustom) ? tr(kCustomTaken) : tr(kFixedTaken))
                             .arg(shortcut.keys.toString(QKeySequence::NativeText)));
    return lines;
}

QString QVMKeyboardShortcutsService::statusText() const {
    if (!m_backend)
        return tr("No global shortcuts yet");
    return tr("Active: %1").arg(QVMGlobalShortcutBackend::kindDescription(m_backend->kind()));
}

void QVMKeyboardShortcutsService::backendStateChanged() {
    // Each conflict is announced once, all those found together in one notice; the shortcuts tab
    // keeps showing them.
    QStringList fresh;
    for (const QString &line : conflictLines())
        if (!std::exchange(m_announced, m_announced + QSet<QString>{line}).contains(line))
            fresh.append(line);
    if (!fresh.isEmpty())
        announceHeldKeys(fresh);
    emit stateChanged();
}

// Found at start, when nobody pressed anything: never a box, which would hold the start up.
void QVMKeyboardShortcutsService::announceHeldKeys(const QStringList &lines) {
    QPointer<QVMKeyboardShortcutsService> self(this);
    desktopNotifier().canShowNotifications([self, lines](bool shown) {
        if (!self)
            return;
        if (shown) {
            self->desktopNotifier().showAlert(QString::fromLatin1(QVDesktopNotifier::kApplicationName),
                                              lines.join(QLatin1Char('\n')));
            DevLog(QStringLiteral("[shortcuts] held keys told in a desktop notification"));
        } else {
            DevLog(QStringLiteral("[shortcuts] no desktop notifications here; the shortcuts tab says: %@"),
                   lines.join(QStringLiteral("; ")));
        }
    });
}

void QVMKeyboardShortcutsService::notify(const QString &body) {
    if (m_notifier)
        m_notifier(QString::fromLatin1(QVDesktopNotifier::kApplicationName), body);
}

void QVMKeyboardShortcutsService::runAction(const QString &id) {
    if (id == QLatin1String(kIdShowAgent))
        showAgent();
    else if (id == QLatin1String(kIdCustom) || id == QLatin1String(kIdTranslateWebPage))
        translateWebPagePasteboardUrl();
}

void QVMKeyboardShortcutsService::translateWebPagePasteboardUrl() {
    const QString text = (m_reader ? m_reader() : QString()).trimmed();
    const QUrl url(text, QUrl::StrictMode);
    if (!isWebAddress(url)) {
        notify(tr(kNoWebAddress));
        return;
    }
    translateWebPageWithUrlString(text);
}

void QVMKeyboardShortcutsService::translateWebPageWithUrlString(const QString &urlString) {
    // As the main window's web-page button says it: a page is translated only online.
    if (!QVMUtils::isNetworkAvailable()) {
        DevLog(QStringLiteral("[shortcuts] no network: the web page is not sent"));
        QVMUtils::showErrorAlertWithMessage(QVLocalizedString(QString::fromLatin1(kNoInternetKey)));
        return;
    }
    const QVTranslateSettings record = QVSettingsService::defaultSettings();
    QPointer<QVMKeyboardShortcutsService> self(this);
    QVRequestManager::instance().translateWebPageWithUrlString(
        urlString, record.languageFrom().localeIdentifier(), record.languageTo().localeIdentifier(),
        [self](const QString &address) {
            const QUrl page(address, QUrl::StrictMode);
            if (isWebAddress(page) && QVMLinkOpener::openQuietly(page) == QVMLinkOpener::Outcome::Opened)
                return;
            DevLog(QStringLiteral("[shortcuts] the translated page could not be opened"));
            if (self)
                self->notify(tr("The translated page cannot be opened"));
        },
        [self](const platform::Error &error) {
            if (self)
                self->notify(
                    tr("The web page could not be translated: %1").arg(error.localizedDescription()));
        });
}

void QVMKeyboardShortcutsService::showAgent() {
    presentWaitingStatusItem();
    const QString text = m_reader ? m_reader() : QString();
    if (!text.isEmpty()) {
        showAgentForText(text);
        return;
    }
    // On Wayland the user may have highlighted text we cannot read: open with the hint.
    if (!isWaylandSession())
        return;
    QVMStatusItem::sharedInstance().showStatusItemWindow();
    if (m_statusItemController)
        m_statusItemController->showMessage(tr(kWaylandHint));
}

void QVMKeyboardShortcutsService::showAgentForText(const QString &text) {
    presentWaitingStatusItem();
    QVMStatusItem::sharedInstance().showStatusItemWindow();
    if (m_statusItemController)
        m_statusItemController->translateWithText(text);
}
