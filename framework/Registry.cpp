#include "framework/Registry.h"

#include "base/Text.h"
#include "base/UniqueAny.h"

#include <cerrno>
#include <cwchar>

namespace stubframework {

namespace {

constexpr DWORD kReadBufferBytes = 512;

struct RootName {
  const wchar_t* longName;
  const wchar_t* shortName;
  HKEY key;
};

const RootName kRootNames[] = {
    {L"HKEY_LOCAL_MACHINE", L"HKLM", HKEY_LOCAL_MACHINE}, {L"HKEY_CURRENT_USER", L"HKCU", HKEY_CURRENT_USER},
    {L"HKEY_CURRENT_CONFIG", L"HKCC", HKEY_CURRENT_CONFIG}, {L"HKEY_USERS", L"HKU", HKEY_USERS},
    {L"HKEY_CLASSES_ROOT", L"HKCR", HKEY_CLASSES_ROOT},   {L"HKEY_DYN_DATA", L"HKDD", HKEY_DYN_DATA},
};

REGSAM ViewFlag(bool view64) { return view64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY; }

bool ReadInView(const RegistryPath& key, const std::wstring& name, REGSAM view, std::wstring& out) {
  base::UniqueRegKey handle;
  if (::RegOpenKeyExW(key.root, key.subKey.c_str(), 0, KEY_QUERY_VALUE | view, handle.put()) != ERROR_SUCCESS) {
    return false;
  }
  // One extra zeroed wide character guarantees termination of a text value that fills the buffer.
  BYTE buffer[kReadBufferBytes + sizeof(wchar_t)] = {};
  DWORD size = kReadBufferBytes;
  DWORD type = REG_NONE;
  if (::RegQueryValueExW(handle.get(), name.c_str(), nullptr, &type, buffer, &size) != ERROR_SUCCESS) {
    return false;
  }
  if (type == REG_DWORD) {
    int value = 0;
    memcpy(&value, buffer, sizeof(value));
    out = base::FormatText(L"%d", value);
  } else {
    out.assign(reinterpret_cast<const wchar_t*>(buffer));
  }
  return true;
}

}  // namespace

RegistryPath splitRootKey(const std::wstring& path) {
  const size_t slash = path.find(L'\\');
  const std::wstring rootName = slash == std::wstring::npos ? path : path.substr(0, slash);
  for (const RootName& root : kRootNames) {
    if (base::EqualsIgnoreCase(rootName, root.longName) || base::EqualsIgnoreCase(rootName, root.shortName)) {
      return {root.key, slash == std::wstring::npos ? std::wstring() : path.substr(slash + 1)};
    }
  }
  return {nullptr, path};
}

bool readRegValue(const std::wstring& path, const std::wstring& name, std::wstring& out) {
  const RegistryPath key = splitRootKey(path);
  if (!key.root) return false;
  return ReadInView(key, name, KEY_WOW64_64KEY, out) || ReadInView(key, name, KEY_WOW64_32KEY, out);
}

bool writeRegValue(const std::wstring& path, const std::wstring& name, const std::wstring& text, bool view64) {
  return writeRegValueTyped(path, name, text, REG_SZ, view64);
}

bool writeRegValueTyped(const std::wstring& path, const std::wstring& name, const std::wstring& text, DWORD type,
                        bool view64) {
  const RegistryPath key = splitRootKey(path);
  if (!key.root) return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_DWORD) return false;

  // Parse before touching the registry, so text that is not a number writes nothing.
  DWORD dword = 0;
  if (type == REG_DWORD) {
    wchar_t* end = nullptr;
    errno = 0;
    const long long parsed = wcstoll(text.c_str(), &end, 10);
    if (text.empty() || *end != L'\0' || errno == ERANGE || parsed < INT32_MIN || parsed > UINT32_MAX) return false;
    dword = static_cast<DWORD>(parsed);
  }

  const REGSAM access = KEY_ALL_ACCESS | ViewFlag(view64);
  base::UniqueRegKey handle;
  if (::RegOpenKeyExW(key.root, key.subKey.c_str(), 0, access, handle.put()) != ERROR_SUCCESS &&
      ::RegCreateKeyExW(key.root, key.subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                        handle.put(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  LSTATUS status;
  if (type == REG_DWORD) {
    status = ::RegSetValueExW(handle.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dword),
                              sizeof(dword));
  } else {
    status = ::RegSetValueExW(handle.get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }
  return status == ERROR_SUCCESS;
}

bool deleteRegKeyView(const std::wstring& path, bool view64) {
  using DeleteKeyEx = LSTATUS(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);
  HMODULE advapi = ::GetModuleHandleW(L"Advapi32.dll");
  if (!advapi) return false;
  auto deleteKeyEx = reinterpret_cast<DeleteKeyEx>(reinterpret_cast<void*>(::GetProcAddress(advapi, "RegDeleteKeyExW")));
  if (!deleteKeyEx) return false;
  const RegistryPath key = splitRootKey(path);
  if (!key.root || key.subKey.empty()) return false;
  return deleteKeyEx(key.root, key.subKey.c_str(), KEY_ALL_ACCESS | ViewFlag(view64), 0) == ERROR_SUCCESS;
}

}  // namespace stubframework
