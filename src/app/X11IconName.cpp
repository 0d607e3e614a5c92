#include "app/X11IconName.h"

#include <QGuiApplication>
#include <QString>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace app {

void setLegacyIconName(QWidget& window)
{
    // The offscreen platform answers as X11 too, without a connection.
    const auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
    if (connection == nullptr || QGuiApplication::platformName() != u"xcb" ||
        !window.testAttribute(Qt::WA_WState_Created))
        return;
    static constexpr char utf8StringName[] = "UTF8_STRING";
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, std::strlen(utf8StringName), utf8StringName), nullptr);
    if (reply == nullptr)
        return;
    const xcb_atom_t utf8String = reply->atom;
    std::free(reply);
    // The text goes as UTF-8: the Latin-1 STRING type cannot hold the Japanese status texts.
    const QByteArray bytes = window.windowIconText().toUtf8();
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window.winId()),
                        XCB_ATOM_WM_ICON_NAME, utf8String, 8, static_cast<uint32_t>(bytes.size()), bytes.constData());
    xcb_flush(connection);
}

} // namespace app
