#include "QVMX11ShortcutBackend.h"

#include "core/DevLog.h"

#include <QGuiApplication>
#include <QMetaObject>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace {

// Caps Lock and Num Lock (Mod2 on nearly every layout) must not stop a shortcut.
constexpr uint16_t kIgnoredMasks[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                      XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
constexpr uint16_t kRelevantMask =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

xcb_connection_t *x11Connection() {
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

} // namespace

bool QVMX11ShortcutBackend::isUsable() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return false;
    if (qEnvironmentVariable("XDG_SESSION_TYPE").compare(QLatin1String("wayland"), Qt::CaseInsensitive) == 0)
        return false;
    xcb_connection_t *connection = x11Connection();
    return connection && !xcb_connection_has_error(connection);
}

QVMX11ShortcutBackend::QVMX11ShortcutBackend(QObject *parent) : QVMGlobalShortcutBackend(parent) {
    if (!isUsable())
        return;
    m_connection = x11Connection();
    const xcb_setup_t *setup = xcb_get_setup(m_connection);
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    if (screens.rem)
        m_root = screens.data->root;
    qGuiApp->installNativeEventFilter(this);
}

QVMX11ShortcutBackend::~QVMX11ShortcutBackend() {
    if (qGuiApp)
        qGuiApp->removeNativeEventFilter(this);
    ungrabAll();
}

uint32_t QVMX11ShortcutBackend::keysymForKey(int key) {
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return 0xffbe + uint32_t(key - Qt::Key_F1);
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return 'a' + uint32_t(key - Qt::Key_A);
    if (key >= 0x20 && key <= 0x7e)
        return uint32_t(key);
    static const struct {
        int key;
        uint32_t keysym;
    } table[] = {
        {Qt::Key_Left, 0xff51},   {Qt::Key_Up, 0xff52},       {Qt::Key_Right, 0xff53},
        {Qt::Key_Down, 0xff54},   {Qt::Key_Home, 0xff50},     {Qt::Key_End, 0xff57},
        {Qt::Key_PageUp, 0xff55}, {Qt::Key_PageDown, 0xff56}, {Qt::Key_Insert, 0xff63},
        {Qt::Key_Delete, 0xffff}, {Qt::Key_Return, 0xff0d},   {Qt::Key_Enter, 0xff8d},
        {Qt::Key_Tab, 0xff09},    {Qt::Key_Escape, 0xff1b},   {Qt::Key_Backspace, 0xff08},
        {Qt::Key_Pause, 0xff13},  {Qt::Key_Print, 0xff61},
    };
    for (const auto &entry : table)
        if (entry.key == key)
            return entry.keysym;
    return 0;
}

uint16_t QVMX11ShortcutBackend::modifierMask(Qt::KeyboardModifiers modifiers) {
    uint16_t mask = 0;
    if (modifiers & Qt::ShiftModifier)
        mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & Qt::ControlModifier)
        mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & Qt::AltModifier)
        mask |= XCB_MOD_MASK_1;
    if (modifiers & Qt::MetaModifier)
        mask |= XCB_MOD_MASK_4;
    return mask;
}

uint8_t QVMX11ShortcutBackend::keycodeForKeysym(xcb_connection_t *connection, uint32_t keysym) {
    if (!connection || !keysym)
        return 0;
    const xcb_setup_t *setup = xcb_get_setup(connection);
    const uint8_t first = setup->min_keycode;
    const uint8_t count = uint8_t(setup->max_keycode - setup->min_keycode + 1);
    std::unique_ptr<xcb_get_keyboard_mapping_reply_t, decltype(&std::free)> mapping(
        xcb_get_keyboard_mapping_reply(connection, xcb_get_keyboard_mapping(connection, first, count),
                                       nullptr),
        &std::free);
    if (!mapping)
        return 0;
    const xcb_keysym_t *symbols = xcb_get_keyboard_mapping_keysyms(mapping.get());
    const int perCode = mapping->keysyms_per_keycode;
    for (int code = 0; code < count; ++code)
        for (int level = 0; level < perCode; ++level)
            if (symbols[code * perCode + level] == keysym)
                return uint8_t(first + code);
    return 0;
}

void QVMX11ShortcutBackend::ungrabAll() {
    if (!m_connection)
        return;
    for (const Grab &grab : std::as_const(m_grabs))
        for (uint16_t ignored : kIgnoredMasks)
            xcb_ungrab_key(m_connection, grab.keycode, m_root, uint16_t(grab.modifiers | ignored));
    xcb_flush(m_connection);
    m_grabs.clear();
}

void QVMX11ShortcutBackend::setShortcuts(const QList<Shortcut> &shortcuts) {
    ungrabAll();
    if (!m_connection)
        return;
    // Every grab is sent first and their answers read after: one round trip to the server, not one a grab.
    struct Pending {
        Grab grab;
        QString keys;
        QList<std::pair<uint16_t, xcb_void_cookie_t>> requests;
    };
    QList<Pending> pending;
    for (const Shortcut &shortcut : shortcuts) {
        if (shortcut.keys.isEmpty())
            continue;
        const QKeyCombination combination = shortcut.keys[0];
        Pending one{{shortcut.id, keycodeForKeysym(m_connection, keysymForKey(combination.key())),
                     modifierMask(combination.keyboardModifiers())},
                    shortcut.keys.toString(QKeySequence::PortableText),
                    {}};
        if (!one.grab.keycode) {
            DevLog(QStringLiteral("[shortcuts] no key for %@"), one.keys);
            continue;
        }
        for (uint16_t ignored : kIgnoredMasks) {
            const uint16_t mask = uint16_t(one.grab.modifiers | ignored);
            one.requests.append({mask, xcb_grab_key_checked(m_connection, 1, m_root, mask, one.grab.keycode,
                                                            XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)});
        }
        pending.append(one);
    }
    QStringList conflicts;
    for (const Pending &one : std::as_const(pending)) {
        bool taken = false;
        QList<uint16_t> grabbed;
        for (const auto &[mask, cookie] : one.requests) {
            if (xcb_generic_error_t *error = xcb_request_check(m_connection, cookie)) {
                taken = taken || error->error_code == kBadAccess;
                std::free(error);
            } else {
                grabbed.append(mask);
            }
        }
        if (taken) {
            // Half a grab would make the key work only with Caps Lock on: give it all back.
            for (uint16_t mask : std::as_const(grabbed))
                xcb_ungrab_key(m_connection, one.grab.keycode, m_root, mask);
            conflicts.append(one.grab.id);
            DevLog(QStringLiteral("[shortcuts] %@ is held by another program"), one.keys);
            continue;
        }
        m_grabs.append(one.grab);
    }
    xcb_flush(m_connection);
    setConflicts(conflicts);
}

bool QVMX11ShortcutBackend::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) {
    if (eventType != "xcb_generic_event_t" || !message)
        return false;
    auto *event = static_cast<xcb_generic_event_t *>(message);
    if ((event->response_type & ~0x80) != XCB_KEY_PRESS)
        return false;
    auto *press = reinterpret_cast<xcb_key_press_event_t *>(event);
    const uint16_t state = press->state & kRelevantMask;
    for (const Grab &grab : std::as_const(m_grabs)) {
        if (grab.keycode == press->detail && grab.modifiers == state) {
            // The action may open windows: not from inside the event dispatch.
            QMetaObject::invokeMethod(
                this, [this, id = grab.id] { emit activated(id); }, Qt::QueuedConnection);
            return true;
        }
    }
    return false;
}
