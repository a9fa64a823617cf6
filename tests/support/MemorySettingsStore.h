#pragma once

#include <charconv>
#include <climits>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/SettingsStore.h"

namespace tkan::test {

// Settings in a map, kept as texts the way an INI file keeps them. Every call
// is logged in order, so a test can check which values were read or written
// and in which sequence.
class MemorySettingsStore : public SettingsStore {
public:
    enum class Op { ReadNumber, ReadText, WriteNumber, WriteText, Remove, Flush };

    struct Access {
        Op op;
        std::string section;
        std::string name;
        bool operator==(const Access&) const = default;
    };

    int ReadNumber(const std::string& section, const std::string& name, int defaultValue) override
    {
        log.push_back({Op::ReadNumber, section, name});
        auto found = values.find({section, name});
        if (found == values.end())
            return defaultValue;
        const std::string& text = found->second;
        long long number = 0;
        auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
        if (error != std::errc() || end != text.data() + text.size() || text.empty() || number < INT_MIN ||
            number > INT_MAX)
            return defaultValue;
        return static_cast<int>(number);
    }

    std::string ReadText(const std::string& section, const std::string& name, const std::string& defaultValue) override
    {
        log.push_back({Op::ReadText, section, name});
        auto found = values.find({section, name});
        return found == values.end() ? defaultValue : found->second;
    }

    void WriteNumber(const std::string& section, const std::string& name, int value) override
    {
        log.push_back({Op::WriteNumber, section, name});
        values[{section, name}] = std::to_string(value);
    }

    void WriteText(const std::string& section, const std::string& name, const std::string& value) override
    {
        log.push_back({Op::WriteText, section, name});
        values[{section, name}] = value;
    }

    void RemoveValue(const std::string& section, const std::string& name) override
    {
        log.push_back({Op::Remove, section, name});
        values.erase({section, name});
    }

    void Flush() override { log.push_back({Op::Flush, "", ""}); }

    // Seeds a value without logging it.
    void Set(const std::string& section, const std::string& name, const std::string& text)
    {
        values[{section, name}] = text;
    }

    bool Has(const std::string& section, const std::string& name) const { return values.count({section, name}) != 0; }

    std::string Get(const std::string& section, const std::string& name) const
    {
        auto found = values.find({section, name});
        return found == values.end() ? std::string() : found->second;
    }

    // Names of the accesses of one kind, in order.
    std::vector<std::string> Names(Op op) const
    {
        std::vector<std::string> names;
        for (const Access& access : log)
            if (access.op == op)
                names.push_back(access.name);
        return names;
    }

    std::map<std::pair<std::string, std::string>, std::string> values;
    std::vector<Access> log;
};

}  // namespace tkan::test
