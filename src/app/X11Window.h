#pragma once

class QWidget;

// What the window says to an X11 window manager beyond what Qt writes. Each call does nothing
// where the window is not an X11 window or not created yet.
namespace app {

// Writes the window's icon text as its WM_ICON_NAME, the older name that some task lists read
// instead of _NET_WM_ICON_NAME (which QWidget::setWindowIconText writes).
void setLegacyIconName(QWidget& window);

// Asks the window manager for the user's attention to the window (the demands-attention state),
// at every call: Qt's own alert is sent once and then not again until Qt sees the window
// activated. On Wayland the activation protocol asks (askWaylandAttention), elsewhere Qt's alert.
// `on` false takes the state off again; on Wayland and where Qt's alert was used, the mark ends
// by itself at activation (no protocol lets the window take it back).
void demandAttention(QWidget& window, bool on = true);

} // namespace app
