#pragma once

#include <QString>

#include <string>

namespace app {

// The one place where the logic's narrow-code-page bytes become QString and back.
[[nodiscard]] QString toQString(const std::string& bytes);
[[nodiscard]] QString toQString(std::string_view bytes);
[[nodiscard]] std::string toBytes(const QString& text);

} // namespace app
