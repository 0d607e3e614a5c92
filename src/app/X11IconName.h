#pragma once

class QString;
class QWidget;

namespace app {

// Writes `text` as the window's WM_ICON_NAME, the older name of its icon text that some task
// lists read instead of _NET_WM_ICON_NAME (which QWidget::setWindowIconText writes). Does
// nothing where the window is not an X11 window or not created yet.
void setLegacyIconName(QWidget& window, const QString& text);

} // namespace app
