#include "app/X11Window.h"
#include "app/WaylandWindow.h"

#include <QApplication>
#include <QString>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace app {

namespace {

// The X11 connection of a created X11 window; null elsewhere. The offscreen platform answers as
// X11 too, without a connection.
xcb_connection_t* connectionOf(const QWidget& window)
{
    const auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
    if (connection == nullptr || QGuiApplication::platformName() != u"xcb" ||
        !window.testAttribute(Qt::WA_WState_Created))
        return nullptr;
    return connection;
}

xcb_atom_t atom(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    if (reply == nullptr)
        return XCB_ATOM_NONE;
    const xcb_atom_t found = reply->atom;
    std::free(reply);
    return found;
}

} // namespace

void setLegacyIconName(QWidget& window)
{
    xcb_connection_t* connection = connectionOf(window);
    if (connection == nullptr)
        return;
    const xcb_atom_t utf8String = atom(connection, "UTF8_STRING");
    if (utf8String == XCB_ATOM_NONE)
        return;
    // The text goes as UTF-8: the Latin-1 STRING type cannot hold the Japanese status texts.
    const QByteArray bytes = window.windowIconText().toUtf8();
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window.winId()),
                        XCB_ATOM_WM_ICON_NAME, utf8String, 8, static_cast<uint32_t>(bytes.size()), bytes.constData());
    xcb_flush(connection);
}

void demandAttention(QWidget& window, bool on)
{
    xcb_connection_t* connection = connectionOf(window);
    if (connection == nullptr) {
        if (on && !askWaylandAttention(window))
            QApplication::alert(&window);
        return;
    }
    // The window manager changes _NET_WM_STATE on request; the window itself must not.
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = static_cast<xcb_window_t>(window.winId());
    event.type = atom(connection, "_NET_WM_STATE");
    event.data.data32[0] = on ? 1 : 0; // _NET_WM_STATE_ADD or _NET_WM_STATE_REMOVE
    event.data.data32[1] = atom(connection, "_NET_WM_STATE_DEMANDS_ATTENTION");
    event.data.data32[3] = 1; // asked by an application
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_send_event(connection, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(connection);
}

} // namespace app
