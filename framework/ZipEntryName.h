// Rules for the names of archive entries. Pure (no Windows header).
//
// An extracted entry must land inside the folder it is extracted to: a name that
// is absolute, names a drive or stream (":"), or climbs out with a ".." component
// (or a component of dots and spaces that Windows reads as one) is refused.
// Both "/" and "\" count as separators here.
#pragma once

#include <string_view>

namespace stubframework::zip {

bool IsContainedEntryName(std::string_view name) noexcept;
bool IsContainedEntryName(std::wstring_view name) noexcept;

// What the archive writer accepts as a new entry's name: not empty, not
// starting with "/", and without "\" or ":".
bool IsStorableEntryName(std::string_view name) noexcept;

}  // namespace stubframework::zip
