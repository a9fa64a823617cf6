#pragma once

namespace tkan {

// The program's version, as its window title, its About box and its printed
// pages name it.
inline constexpr char kSoftwareVersion[] = "1.13";

}  // namespace tkan
