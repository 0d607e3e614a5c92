#pragma once

#include <QFont>
#include <QStringList>

namespace app {

// The faces the window asks for, each followed by the faces that stand in for it where it is
// missing. Japanese text always falls back to one Gothic face, never to a mix of faces.
[[nodiscard]] QStringList tahoma();
[[nodiscard]] QStringList mincho();

// A font of `families` with a character height of `pixelHeight` pixels.
[[nodiscard]] QFont designFont(const QStringList& families, int pixelHeight);

// The system's message font, with the Gothic face for Japanese text: every box uses it.
[[nodiscard]] QFont messageFont();

} // namespace app
