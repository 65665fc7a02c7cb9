// The search behind searchRegKey: below a key, is there a subkey path ending
// with one of the given names whose key holds a value of the given name?
// No shared state; any thread.
#pragma once

#include <string>
#include <vector>

namespace stubframework {

// Splits "a;b;;c" at ";" and drops empty items.
std::vector<std::wstring> splitSearchNames(const std::wstring& names);

// True when `rel` (a path below the searched key ending with "\") ends with
// `name` followed by one character, comparing in lower case.
bool relativePathEndsWith(const std::wstring& rel, const std::wstring& name);

// Searches from `key` (a text path with its root name) in the chosen view. Keys
// that hold `valueName` are not searched further.
bool searchRegistryKey(const std::wstring& key, bool view64, const std::vector<std::wstring>& names,
                       const std::wstring& valueName);

}  // namespace stubframework
