#pragma once

#include "QVMGlobalShortcutBackend.h"

#include <QAbstractNativeEventFilter>
#include <QHash>

#include <cstdint>

struct xcb_connection_t;

// Global keys on an X11 session: each shortcut is grabbed on the root window,
// once per combination of Caps Lock and Num Lock, and a native event filter
// turns the key presses into activations. A key another client already
// grabbed comes back as BadAccess and is reported as a conflict.
//
//   if (QVMX11ShortcutBackend::isUsable()) backend = new QVMX11ShortcutBackend(parent);
class QVMX11ShortcutBackend : public QVMGlobalShortcutBackend, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit QVMX11ShortcutBackend(QObject *parent = nullptr);
    ~QVMX11ShortcutBackend() override;

    // The xcb platform with a live connection, and not a Wayland session (whose
    // X server sees only other X clients' keys).
    static bool isUsable();

    Kind kind() const override { return Kind::X11KeyGrabs; }
    void setShortcuts(const QList<Shortcut> &shortcuts) override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

    // The X key symbol of a Qt key (0 when it has none) and the X modifier mask of Qt modifiers.
    static uint32_t keysymForKey(int key);
    static uint16_t modifierMask(Qt::KeyboardModifiers modifiers);
    // The key code the server's keyboard map gives a key symbol (0 when none does).
    static uint8_t keycodeForKeysym(xcb_connection_t *connection, uint32_t keysym);

    static constexpr uint8_t kBadAccess = 10;

private:
    struct Grab {
        QString id;
        uint8_t keycode = 0;
        uint16_t modifiers = 0;
    };
    void ungrabAll();

    xcb_connection_t *m_connection = nullptr;
    uint32_t m_root = 0;
    QList<Grab> m_grabs;
};
