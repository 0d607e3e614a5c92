#pragma once

class QWidget;

namespace app {

// Writes the window's icon text as its WM_ICON_NAME, the older name that some task lists read
// instead of _NET_WM_ICON_NAME (which QWidget::setWindowIconText writes). Does nothing where the
// window is not an X11 window or not created yet.
void setLegacyIconName(QWidget& window);

} // namespace app
