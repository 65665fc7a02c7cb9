// Registry access by text path: a root name ("HKEY_LOCAL_MACHINE", "HKLM", ...),
// a backslash and the subkey path. The view (64-bit or 32-bit) is chosen per call;
// reads try the 64-bit view first, then the 32-bit view.
// No shared state: safe from any thread. Failures never raise; they report false.
#pragma once

#include "base/Platform.h"

#include <string>

namespace stubframework {

struct RegistryPath {
  HKEY root = nullptr;     // null when the root name is unknown
  std::wstring subKey;     // the whole path when the root name is unknown
};

// Splits "ROOT\sub\key" by the root-name table (case-insensitive). A path without
// a backslash names the root key itself.
RegistryPath splitRootKey(const std::wstring& path);

// Reads a value; a REG_DWORD becomes its signed decimal text, other types are
// taken as text up to the first NUL. A value larger than 512 bytes counts as
// missing. `out` is left untouched when nothing is found.
bool readRegValue(const std::wstring& path, const std::wstring& name, std::wstring& out);

// Writes a REG_SZ value, creating the key and its missing parents.
bool writeRegValue(const std::wstring& path, const std::wstring& name, const std::wstring& text, bool view64);

// Writes REG_SZ, REG_EXPAND_SZ or REG_DWORD (the text parsed as a decimal integer).
bool writeRegValueTyped(const std::wstring& path, const std::wstring& name, const std::wstring& text, DWORD type,
                        bool view64);

// Deletes a key that has no subkeys, in the chosen view.
bool deleteRegKeyView(const std::wstring& path, bool view64);

}  // namespace stubframework
