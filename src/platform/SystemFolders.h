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

}  // namespace tkan
