#include "X11FrameWatch.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

X11FrameWatch::X11FrameWatch(const QString &display)
    : m_connection(xcb_connect(display.toLatin1().constData(), nullptr)) {
    if (xcb_connection_has_error(m_connection))
        return;
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
    const uint32_t events = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_connection, screen->root, XCB_CW_EVENT_MASK, &events);
    xcb_flush(m_connection);
    m_rootColour = pixel(screen->root, screen->width_in_pixels / 2, screen->height_in_pixels / 2);
    if (m_rootColour)
        m_root = screen->root;
}

X11FrameWatch::~X11FrameWatch() {
    xcb_disconnect(m_connection);
}

void X11FrameWatch::reset() {
    drain();
    m_window = XCB_NONE;
}

bool X11FrameWatch::frameDrawn() {
    drain();
    if (m_window == XCB_NONE)
        return false;
    for (const auto &[x, y] : m_samples)
        if (const std::optional<uint32_t> at = pixel(m_window, x, y); at && *at != *m_rootColour)
            return true;
    return false;
}

void X11FrameWatch::drain() {
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
        if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
            const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
            // Tooltips and menus pass the window manager by; a main window does not.
            if (m_window == XCB_NONE && !map->override_redirect)
                watch(map->window);
        }
        std::free(event);
    }
}

void X11FrameWatch::watch(xcb_window_t window) {
    xcb_get_geometry_reply_t *geometry =
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr);
    if (!geometry)
        return;
    m_window = window;
    const int w = geometry->width, h = geometry->height;
    m_samples = {
        {w / 2, h / 2}, {w / 4, h / 4}, {3 * w / 4, h / 4}, {w / 4, 3 * h / 4}, {3 * w / 4, 3 * h / 4}};
    std::free(geometry);
}

std::optional<uint32_t> X11FrameWatch::pixel(xcb_window_t window, int x, int y) {
    xcb_get_image_reply_t *image = xcb_get_image_reply(
        m_connection,
        xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window, int16_t(x), int16_t(y), 1, 1, ~0u),
        nullptr);
    if (!image)
        return std::nullopt;
    uint32_t value = 0;
    std::memcpy(&value, xcb_get_image_data(image),
                std::min<size_t>(sizeof value, size_t(xcb_get_image_data_length(image))));
    std::free(image);
    return value;
}
