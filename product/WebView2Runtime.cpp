#include "product/WebView2Runtime.h"

#include "base/Platform.h"
#include "base/UniqueAny.h"

#include <objbase.h>
#include <shellapi.h>
#include <urlmon.h>

namespace myexternalmethods {

namespace {

using GetVersionStringFn = HRESULT(STDAPICALLTYPE*)(PCWSTR browserFolder, LPWSTR* version);

bool IsRealVersion(const std::wstring& version) { return !version.empty() && version != L"0.0.0.0"; }

// The loader library is taken only from the application folder or System32,
// never from the current directory.
bool LoaderVersion(std::wstring& version, bool& loaderPresent) {
  loaderPresent = false;
  base::UniqueLibrary loader(::LoadLibraryExW(L"WebView2Loader.dll", nullptr,
                                              LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32));
  if (!loader) return false;
  auto query = reinterpret_cast<GetVersionStringFn>(
      reinterpret_cast<void*>(::GetProcAddress(loader.get(), "GetAvailableCoreWebView2BrowserVersionString")));
  if (!query) return false;
  loaderPresent = true;
  LPWSTR text = nullptr;
  const HRESULT hr = query(nullptr, &text);
  if (text) {
    version = text;
    ::CoTaskMemFree(text);
  }
  return SUCCEEDED(hr) && IsRealVersion(version);
}

bool RegisteredVersion(HKEY root, REGSAM view, std::wstring& version) {
  base::UniqueRegKey key;
  if (::RegOpenKeyExW(root, kWebView2ClientKey, 0, KEY_QUERY_VALUE | view, key.put()) != ERROR_SUCCESS) return false;
  wchar_t buffer[64] = {};
  DWORD size = sizeof(buffer) - sizeof(wchar_t);
  DWORD type = 0;
  if (::RegQueryValueExW(key.get(), L"pv", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return false;
  }
  version.assign(buffer, size / sizeof(wchar_t));
  while (!version.empty() && version.back() == L'\0') version.pop_back();
  return IsRealVersion(version);
}

std::wstring BootstrapperPath() {
  wchar_t temp[MAX_PATH] = {};
  const DWORD length = ::GetTempPathW(MAX_PATH, temp);
  if (length == 0 || length >= MAX_PATH) return {};
  std::wstring path(temp, length);
  if (path.size() + wcslen(kWebView2BootstrapperName) >= MAX_PATH) return {};
  return path + kWebView2BootstrapperName;
}

// Some URL-moniker implementations save an error page for a failed request and
// report success; only a program image is ever started.
bool LooksLikeProgram(const std::wstring& path) {
  base::UniqueFileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return false;
  char magic[2] = {};
  DWORD read = 0;
  return ::ReadFile(file.get(), magic, sizeof(magic), &read, nullptr) && read == 2 && magic[0] == 'M' &&
         magic[1] == 'Z';
}

// Runs the bootstrapper elevated and hidden and waits for it to end. A refused
// elevation (or any start failure) waits for nothing; no error box is shown,
// since this runs during the environment check before any page is visible.
void RunBootstrapper(const std::wstring& path) {
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"runas";
  info.lpFile = path.c_str();
  info.lpParameters = L"/install";
  info.nShow = SW_HIDE;
  if (!::ShellExecuteExW(&info) || !info.hProcess) return;
  base::UniqueHandle process(info.hProcess);
  ::WaitForSingleObject(process.get(), INFINITE);
}

}  // namespace

bool installedWebView2Version(std::wstring& version) {
  version.clear();
  bool loaderPresent = false;
  if (LoaderVersion(version, loaderPresent)) return true;
  if (loaderPresent) return false;
  return RegisteredVersion(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, version) ||
         RegisteredVersion(HKEY_CURRENT_USER, 0, version);
}

bool ensureWebView2Runtime(const std::wstring& bootstrapperUrl) {
  std::wstring version;
  if (installedWebView2Version(version)) return true;
  const std::wstring path = BootstrapperPath();
  if (path.empty()) return false;
  if (SUCCEEDED(::URLDownloadToFileW(nullptr, bootstrapperUrl.c_str(), path.c_str(), 0, nullptr)) &&
      LooksLikeProgram(path)) {
    RunBootstrapper(path);
  }
  return installedWebView2Version(version);
}

}  // namespace myexternalmethods
