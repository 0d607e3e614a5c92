#include "app/Fonts.h"

#include <QApplication>

namespace app {

namespace {

// Without it fontconfig takes kanji from a Mincho face and kana from a Gothic one in the same
// line, depending on the locale; Windows draws Japanese in a Gothic face here.
const QString japaneseGothic = QStringLiteral("Noto Sans CJK JP");

} // namespace

QStringList tahoma()
{
    return {QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans"), japaneseGothic};
}

QStringList mincho()
{
    return {QStringLiteral("ＭＳ Ｐ明朝"), QStringLiteral("IPAPMincho"), QStringLiteral("Noto Serif CJK JP")};
}

QFont designFont(const QStringList& families, int pixelHeight)
{
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(pixelHeight);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QFont messageFont()
{
    QFont font = QApplication::font("QMessageBox");
    font.setFamilies({font.family(), japaneseGothic});
    return font;
}

} // namespace app
