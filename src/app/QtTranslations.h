#pragma once

#include <QTranslator>

#include <memory>

namespace app {

// Qt's own texts (its file picker, its standard buttons, a line's context menu) in the user's
// language, from the translations installed with Qt. The tool's own texts never pass through Qt's
// translation and stay as they are. In effect while the result lives; null where Qt has none for
// the language (English, or the translations not installed).
[[nodiscard]] std::unique_ptr<QTranslator> installQtTranslations();

} // namespace app
