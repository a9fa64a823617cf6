#include "platform/FileFilter.h"

namespace tkan {

namespace {

std::string Trim(std::string_view text)
{
    std::size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos)
        return {};
    std::size_t end = text.find_last_not_of(" \t");
    return std::string(text.substr(begin, end - begin + 1));
}

std::vector<std::string> Split(std::string_view text, char separator)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t at = text.find(separator, start);
        parts.emplace_back(text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
        if (at == std::string_view::npos)
            return parts;
        start = at + 1;
    }
}

}  // namespace

std::vector<FileFilterEntry> SplitFileFilter(std::string_view filter)
{
    std::vector<FileFilterEntry> entries;
    std::vector<std::string> fields = Split(filter, '|');
    for (std::size_t i = 0; i + 1 < fields.size(); i += 2) {
        FileFilterEntry entry;
        entry.description = Trim(fields[i]);
        for (const std::string& pattern : Split(fields[i + 1], ';')) {
            std::string p = Trim(pattern);
            if (!p.empty())
                entry.patterns.push_back(p);
        }
        if (entry.patterns.empty())
            continue;
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<std::string> QtNameFilters(std::string_view filter)
{
    std::vector<std::string> filters;
    for (const FileFilterEntry& entry : SplitFileFilter(filter)) {
        std::string description = entry.description;
        // Qt filters on the last parenthesised group; a description that
        // shows its own patterns there would otherwise be taken at its word.
        if (!description.empty() && description.back() == ')') {
            std::size_t open = description.rfind('(');
            if (open != std::string::npos)
                description = Trim(std::string_view(description).substr(0, open));
        }
        std::string patterns;
        for (const std::string& p : entry.patterns)
            patterns += (patterns.empty() ? "" : " ") + p;
        filters.push_back((description.empty() ? "" : description + " ") + "(" + patterns + ")");
    }
    return filters;
}

}  // namespace tkan
