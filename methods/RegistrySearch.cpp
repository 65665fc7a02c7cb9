#include "methods/RegistrySearch.h"

#include "base/Platform.h"
#include "base/Text.h"
#include "base/UniqueAny.h"
#include "framework/Registry.h"

namespace stubframework {

namespace {

constexpr DWORD kSubkeyNameChars = 260;

void SearchBelow(HKEY parent, bool view64, const std::wstring& path, const std::wstring& rel,
                 const std::vector<std::wstring>& names, const std::wstring& valueName, bool& found) {
  if (found || names.empty()) return;
  base::UniqueRegKey key;
  const REGSAM access = KEY_READ | (view64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY);
  if (::RegOpenKeyExW(parent, path.c_str(), 0, access, key.put()) != ERROR_SUCCESS) return;

  const LSTATUS value = ::RegQueryValueExW(key.get(), valueName.c_str(), nullptr, nullptr, nullptr, nullptr);
  if (value == ERROR_SUCCESS || value == ERROR_MORE_DATA) {
    for (const std::wstring& name : names) {
      if (relativePathEndsWith(rel, name)) {
        found = true;
        return;
      }
    }
    return;  // a key holding the value ends this branch
  }

  DWORD subkeys = 0;
  if (::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS) {
    return;
  }
  for (DWORD index = 0; index < subkeys && !found; ++index) {
    wchar_t name[kSubkeyNameChars + 1] = {};
    DWORD length = kSubkeyNameChars + 1;
    if (::RegEnumKeyExW(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) continue;
    const std::wstring subkey(name, length);
    SearchBelow(key.get(), view64, subkey, rel + subkey + L"\\", names, valueName, found);
  }
}

}  // namespace

std::vector<std::wstring> splitSearchNames(const std::wstring& names) {
  std::vector<std::wstring> items;
  size_t start = 0;
  while (start <= names.size()) {
    size_t end = names.find(L';', start);
    if (end == std::wstring::npos) end = names.size();
    if (end > start) items.push_back(names.substr(start, end - start));
    start = end + 1;
  }
  return items;
}

bool relativePathEndsWith(const std::wstring& rel, const std::wstring& name) {
  if (rel.size() <= name.size()) return false;
  const std::wstring tail = rel.substr(rel.size() - 1 - name.size(), name.size());
  return base::ToLower(tail) == base::ToLower(name);
}

bool searchRegistryKey(const std::wstring& key, bool view64, const std::vector<std::wstring>& names,
                       const std::wstring& valueName) {
  if (names.empty()) return false;
  const RegistryPath start = splitRootKey(key);
  if (!start.root) return false;
  bool found = false;
  SearchBelow(start.root, view64, start.subKey, L"", names, valueName, found);
  return found;
}

}  // namespace stubframework
