#pragma once

#include <string>

namespace tkan {

// The per-user settings: numbers and texts grouped in sections, each found by
// section and value name. On the desktop it is the registry key or INI file of
// the user; in the tests a map. It carries the platform call and no rule: the
// names, defaults and text forms belong to the callers.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    // An absent value, or one that is not a number, reads as the default.
    virtual int ReadNumber(const std::string& section, const std::string& name, int defaultValue) = 0;
    virtual std::string ReadText(const std::string& section, const std::string& name,
                                 const std::string& defaultValue) = 0;

    // Write failures are not reported: the program carries on with the values
    // it holds.
    virtual void WriteNumber(const std::string& section, const std::string& name, int value) = 0;
    virtual void WriteText(const std::string& section, const std::string& name, const std::string& value) = 0;

    // Lists that shrink (the recent files) must drop their old tail entries.
    virtual void RemoveValue(const std::string& section, const std::string& name) = 0;

    // Pushes pending writes to their storage; a store that writes at once has
    // nothing to do.
    virtual void Flush() {}
};

}  // namespace tkan
