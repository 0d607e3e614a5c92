#include "app/TextCodec.h"

#include <QByteArray>

namespace app {

QString toQString(const std::string& bytes)
{
    return toQString(std::string_view(bytes));
}

QString toQString(std::string_view bytes)
{
    return QString::fromLocal8Bit(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string toBytes(const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace app
