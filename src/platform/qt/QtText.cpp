#include "platform/qt/QtText.h"

#include <QFile>

#include "platform/Codepage.h"

namespace tkan {

QString FromWindows1252(std::string_view bytes)
{
    const std::string utf8 = Cp1252ToUtf8(bytes);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToWindows1252(const QString& text)
{
    return Utf8ToCp1252(text.toStdString());
}

QString FromPath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string ToPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

}  // namespace tkan
