#pragma once

#include "app/panes/popover/PopoverTestSupport.h"

#include "panes/shortcuts/QVMKeyboardShortcutsService.h"
#include "panes/shortcuts/QVMShortcutsInstaller.h"
#include "services/shortcuts/QVMServicesMenu.h"

namespace shortcutstest {

// Remembers every set of shortcuts it is given; conflicts are set by the test.
class RecordingBackend : public QVMGlobalShortcutBackend {
public:
    explicit RecordingBackend(Kind kind = Kind::X11KeyGrabs) : m_kind(kind) {}
    Kind kind() const override { return m_kind; }
    void setShortcuts(const QList<Shortcut> &shortcuts) override { sets.append(shortcuts); }
    void holdElsewhere(const QStringList &ids) { setConflicts(ids); }
    void press(const QString &id) { emit activated(id); }
    QStringList boundKeys() const {
        QStringList keys;
        if (!sets.isEmpty())
            for (const Shortcut &shortcut : sets.last())
                keys.append(shortcut.id + "=" + shortcut.keys.toString(QKeySequence::PortableText));
        return keys;
    }
    QList<QList<Shortcut>> sets;

private:
    Kind m_kind;
};

// The popover fixture with the Services and shortcut hooks installed, the
// shortcut service on a recording back end, its selection and notices scripted.
class ShortcutsTest : public popovertest::PopoverTest {
protected:
    void SetUp() override {
        popovertest::PopoverTest::SetUp();
        installTrayPopover();
        installServicesAndShortcuts();
        service().setSelectionReader([this] { return selection; });
        service().setNotifier([this](const QString &, const QString &body) { notices.append(body); });
    }
    void TearDown() override {
        service().stopObserving();
        service().setBackend(nullptr);
        service().setStatusItemController(nullptr);
        service().setNotificationBus(QDBusConnection::sessionBus());
        QVMServicesMenu::sharedInstance().unregisterProvider();
        QVMServicesMenu::sharedInstance().setDelegate(nullptr, {});
        popovertest::PopoverTest::TearDown();
    }
    static QVMKeyboardShortcutsService &service() { return QVMKeyboardShortcutsService::sharedInstance(); }
    RecordingBackend *
    observeWithRecorder(QVMGlobalShortcutBackend::Kind kind = QVMGlobalShortcutBackend::Kind::X11KeyGrabs) {
        auto *backend = new RecordingBackend(kind);
        service().setBackend(backend);
        service().startObserving();
        return backend;
    }
    // The popover the main window's set-up made.
    QVMGenaralPopoverViewController *shownPopover() const { return service().statusItemController(); }

    QString selection;
    QStringList notices;
};

} // namespace shortcutstest
