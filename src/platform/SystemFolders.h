#pragma once

#include <string>

namespace tkan {

// True when the user may make files in `folder`.
bool FolderCanBeWritten(const std::string& folder);

// A folder of this user's own under the system's temporary folder (made
// when missing, readable by nobody else), with a separator at its end. A
// folder of that name that someone else owns or may read is not used: a
// fresh one of a unique name is made instead. Empty when none can be made.
std::string PrivateTempFolder();

// This program's folder among the user's caches, for files it can make
// again: "tkan" in $XDG_CACHE_HOME when that is an absolute path, else in
// ".cache" of the home folder. Empty when the home folder is not known.
std::string ProgramCacheFolder();

// Makes `folder` and those of its parents that are missing, readable by this
// user only; folders already there are left as they are. True when `folder`
// is there afterwards.
bool MakePrivateFolders(const std::string& folder);

}  // namespace tkan
