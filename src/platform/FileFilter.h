#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tkan {

// One choice of a file dialog's type list.
struct FileFilterEntry {
    std::string description;            // "Test (*.test)"
    std::vector<std::string> patterns;  // "*.test"
};

// The program keeps its dialog filters in the Windows form: description and
// patterns separated by "|", patterns by ";", the list ended by "||". A
// trailing description without patterns is dropped.
std::vector<FileFilterEntry> SplitFileFilter(std::string_view filter);

// The same list in the form Qt's file dialogs take, one entry per choice:
// "Test (*.test)". The patterns in the parentheses are the ones that filter,
// so they are always the entry's own, whatever its description shows.
std::vector<std::string> QtNameFilters(std::string_view filter);

}  // namespace tkan
