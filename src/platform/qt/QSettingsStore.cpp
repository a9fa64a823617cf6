#include "platform/qt/QSettingsStore.h"

#include <QStringList>
#include <QVariant>

#include "platform/qt/QtText.h"

namespace tkan {

namespace {

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
