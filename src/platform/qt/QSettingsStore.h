#pragma once

#include <QSettings>
#include <QString>

#include "platform/SettingsStore.h"

namespace tkan {

// The per-user settings of the maker "Brennix" and the application "TKAN":
// an INI file in the user's configuration folder, the registry key of the
// same name on Windows.
class QSettingsStore : public SettingsStore {
public:
    QSettingsStore();
    // A settings file of one's own, for a portable set-up or a test.
    explicit QSettingsStore(const QString& iniFile);

    int ReadNumber(const std::string& section, const std::string& name, int defaultValue) override;
    std::string ReadText(const std::string& section, const std::string& name, const std::string& defaultValue) override;
    void WriteNumber(const std::string& section, const std::string& name, int value) override;
    void WriteText(const std::string& section, const std::string& name, const std::string& value) override;
    void RemoveValue(const std::string& section, const std::string& name) override;
    void Flush() override;

    QString FileName() const { return settings_.fileName(); }

private:
    QSettings settings_;
};

}  // namespace tkan
