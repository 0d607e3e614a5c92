#pragma once

class QWidget;

// What the window says to a Wayland compositor beyond what Qt 6.4 does.
namespace app {

// Asks the compositor for the user's attention to the window through the activation protocol
// (xdg_activation_v1): Qt 6.4's alert does nothing on Wayland, and its activation asks only while
// one of the tool's windows has the focus. The token is the tool's own, with no input event
// behind it, which compositors take as a wish for attention rather than for the focus (sway
// marks the window urgent until the user goes to it). False where the window is no Wayland
// window, or the compositor has no activation or gave no token.
bool askWaylandAttention(QWidget& window);

} // namespace app
