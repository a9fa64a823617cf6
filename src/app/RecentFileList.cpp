#include "app/RecentFileList.h"

#include <algorithm>

#include "platform/SettingsStore.h"

namespace tkan {

namespace {

std::string EntryName(int n)
{
    return "File" + std::to_string(n);
}

}  // namespace

RecentFileList::RecentFileList(int capacity) : capacity_(std::max(capacity, 1)) {}

void RecentFileList::Load(SettingsStore& store)
{
    files_.clear();
    for (int n = 1; n <= capacity_; ++n) {
        std::string path = store.ReadText(kRecentFileSection, EntryName(n), "");
        if (!path.empty() && std::find(files_.begin(), files_.end(), path) == files_.end())
            files_.push_back(std::move(path));
    }
}

void RecentFileList::Save(SettingsStore& store) const
{
    int n = 1;
    for (const std::string& path : files_)
        store.WriteText(kRecentFileSection, EntryName(n++), path);
    for (; n <= capacity_; ++n)
        store.RemoveValue(kRecentFileSection, EntryName(n));
    store.Flush();
}

void RecentFileList::Add(const std::string& path)
{
    if (path.empty())
        return;
    files_.erase(std::remove(files_.begin(), files_.end(), path), files_.end());
    files_.insert(files_.begin(), path);
    if (files_.size() > static_cast<std::size_t>(capacity_))
        files_.resize(static_cast<std::size_t>(capacity_));
}

void RecentFileList::Remove(std::size_t index)
{
    if (index < files_.size())
        files_.erase(files_.begin() + static_cast<std::ptrdiff_t>(index));
}

}  // namespace tkan
