// Stands in for the browser runtime's bootstrapper in tests: run with
// "/install" it registers a runtime version for the current user, as the real
// installer does. With STUB_TEST_BOOTSTRAPPER_FAIL set it fails without
// registering anything.
#include "base/Platform.h"

#include <cwchar>

int main() {
  if (::GetEnvironmentVariableW(L"STUB_TEST_BOOTSTRAPPER_FAIL", nullptr, 0) > 0) return 1603;
  if (!std::wcsstr(::GetCommandLineW(), L"/install")) return 87;
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER,
                        L"SOFTWARE\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}", 0, nullptr,
                        0, KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return 2;
  }
  const wchar_t version[] = L"121.0.2277.83";
  const LSTATUS written =
      ::RegSetValueExW(key, L"pv", 0, REG_SZ, reinterpret_cast<const BYTE*>(version), sizeof(version));
  ::RegCloseKey(key);
  return written == ERROR_SUCCESS ? 0 : 3;
}
