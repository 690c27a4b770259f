#pragma once

#include <QString>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

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
            const uint8_t keycode = keycodeFor(keysym);
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
    uint8_t keycodeFor(uint32_t keysym) const {
        const xcb_setup_t *setup = xcb_get_setup(m_connection);
        const uint8_t first = setup->min_keycode;
        const uint8_t count = uint8_t(setup->max_keycode - first + 1);
        std::unique_ptr<xcb_get_keyboard_mapping_reply_t, decltype(&std::free)> mapping(
            xcb_get_keyboard_mapping_reply(m_connection, xcb_get_keyboard_mapping(m_connection, first, count),
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

    xcb_connection_t *m_connection;
    bool m_holding = false;
};

} // namespace qvtest
