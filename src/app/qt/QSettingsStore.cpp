#include "app/qt/QSettingsStore.h"

#include <QStringList>
#include <QVariant>

#include <array>

namespace tkan {

namespace {

// 0x80 to 0x9F, where Windows-1252 parts from Latin-1. The five bytes the code
// page leaves undefined keep their C1 code points, as Windows maps them, so
// every byte survives the trip through Unicode.
constexpr std::array<char32_t, 32> kHighControls{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char ByteFor(char32_t codePoint)
{
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
        return static_cast<char>(codePoint);
    for (std::size_t i = 0; i < kHighControls.size(); ++i)
        if (kHighControls[i] == codePoint)
            return static_cast<char>(0x80 + i);
    return '?';
}

QString Key(const std::string& section, const std::string& name)
{
    return FromWindows1252(section) + QLatin1Char('/') + FromWindows1252(name);
}

#ifdef Q_OS_WIN
constexpr QSettings::Format kFormat = QSettings::NativeFormat;
#else
constexpr QSettings::Format kFormat = QSettings::IniFormat;
#endif

}  // namespace

QString FromWindows1252(const std::string& bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        char32_t codePoint = byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80u] : byte;
        text += QChar(static_cast<char16_t>(codePoint));
    }
    return text;
}

std::string ToWindows1252(const QString& text)
{
    std::string bytes;
    const QList<uint> codePoints = text.toUcs4();
    bytes.reserve(static_cast<std::size_t>(codePoints.size()));
    for (uint codePoint : codePoints)
        bytes += ByteFor(codePoint);
    return bytes;
}

QSettingsStore::QSettingsStore()
    : settings_(kFormat, QSettings::UserScope, QStringLiteral("Brennix"), QStringLiteral("TKAN"))
{
}

QSettingsStore::QSettingsStore(const QString& iniFile) : settings_(iniFile, QSettings::IniFormat) {}

int QSettingsStore::ReadNumber(const std::string& section, const std::string& name, int defaultValue)
{
    QVariant value = settings_.value(Key(section, name));
    if (!value.isValid())
        return defaultValue;
    bool ok = false;
    int number = value.toString().trimmed().toInt(&ok);
    return ok ? number : defaultValue;
}

std::string QSettingsStore::ReadText(const std::string& section, const std::string& name,
                                     const std::string& defaultValue)
{
    QVariant value = settings_.value(Key(section, name));
    if (!value.isValid())
        return defaultValue;
    // An INI file edited by hand may hold a text with a bare comma, which
    // QSettings reads as a list; the operator meant one text.
    if (value.typeId() == QMetaType::QStringList)
        return ToWindows1252(value.toStringList().join(QStringLiteral(", ")));
    return ToWindows1252(value.toString());
}

void QSettingsStore::WriteNumber(const std::string& section, const std::string& name, int value)
{
    settings_.setValue(Key(section, name), value);
}

void QSettingsStore::WriteText(const std::string& section, const std::string& name, const std::string& value)
{
    settings_.setValue(Key(section, name), FromWindows1252(value));
}

void QSettingsStore::RemoveValue(const std::string& section, const std::string& name)
{
    settings_.remove(Key(section, name));
}

void QSettingsStore::Flush()
{
    settings_.sync();
}

}  // namespace tkan
