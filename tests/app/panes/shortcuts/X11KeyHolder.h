#pragma once

#include "services/shortcuts/QVMX11ShortcutBackend.h"

#include <QString>

#include <xcb/xcb.h>

#include <cstdlib>

namespace qvtest {

// Another client of the display (DISPLAY's when none is named), holding Ctrl+Alt+Left and
// Ctrl+Alt+Right on the root window, as openbox and GNOME on X11 do.
class X11KeyHolder {
public:
    explicit X11KeyHolder(const QString &display = QString())
        : m_connection(xcb_connect(display.isEmpty() ? nullptr : display.toLatin1().constData(), nullptr)) {
        if (xcb_connection_has_error(m_connection))
            return;
        const xcb_setup_t *setup = xcb_get_setup(m_connection);
        const xcb_window_t root = xcb_setup_roots_iterator(setup).data->root;
        for (uint32_t keysym : {0xff51u, 0xff53u}) { // Left, Right
            const uint8_t keycode = QVMX11ShortcutBackend::keycodeForKeysym(m_connection, keysym);
            if (!keycode)
                return;
            xcb_generic_error_t *error = xcb_request_check(
                m_connection,
                xcb_grab_key_checked(m_connection, 1, root, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1, keycode,
                                     XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
            if (error) {
                std::free(error);
                return;
            }
        }
        m_holding = true;
    }
    ~X11KeyHolder() { xcb_disconnect(m_connection); }
    X11KeyHolder(const X11KeyHolder &) = delete;
    X11KeyHolder &operator=(const X11KeyHolder &) = delete;
    bool isHolding() const { return m_holding; }

private:
    xcb_connection_t *m_connection;
    bool m_holding = false;
};

} // namespace qvtest
