#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tkan {

class SettingsStore;

// The same section and value names ("File1", "File2", ...) as the recent-file
// list of the Windows program, so an imported registry key keeps its list.
inline constexpr char kRecentFileSection[] = "Recent File List";
constexpr int kRecentFileCount = 4;

// The files last opened, newest first, as the File menu lists them.
class RecentFileList {
public:
    explicit RecentFileList(int capacity = kRecentFileCount);

    // Empty entries are skipped, so a list with a gap closes up.
    void Load(SettingsStore& store);
    // Writes the entries from "File1" on and removes the unused names up to
    // the capacity, so a shortened list does not bring old files back.
    void Save(SettingsStore& store) const;

    // Puts `path` first; an entry already there moves up instead of showing
    // twice. The oldest entry drops off when the list is full.
    void Add(const std::string& path);
    // For a file that no longer opens. An index out of range does nothing.
    void Remove(std::size_t index);

    const std::vector<std::string>& Files() const { return files_; }
    int Capacity() const { return capacity_; }

private:
    int capacity_;
    std::vector<std::string> files_;
};

}  // namespace tkan
