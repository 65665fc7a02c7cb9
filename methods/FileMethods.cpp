// Handlers of the file and path methods.
#include "base/FileSystem.h"
#include "base/Text.h"
#include "base/UniqueAny.h"
#include "framework/CommandLine.h"
#include "framework/ProcessCommandLine.h"
#include "framework/StubConfig.h"
#include "framework/StubFramework.h"
#include "htmlui/DispatchArgs.h"
#include "methods/ExternalMethods.h"

#include <msi.h>
#include <msiquery.h>
#include <shlobj.h>
#include <zlib.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace stubframework {

using namespace htmlui;

namespace {

constexpr DWORD kCrcBlockSize = 1024 * 1024;
constexpr DWORD kPathChars = 260;

struct MsiHandleTraits {
  using Type = MSIHANDLE;
  static Type Invalid() noexcept { return 0; }
  static void Close(Type h) noexcept { ::MsiCloseHandle(h); }
};
using UniqueMsiHandle = base::UniqueAny<MsiHandleTraits>;

// Opened for reading with no sharing, as the size and checksum queries need.
base::UniqueFileHandle OpenExclusive(const std::wstring& path) {
  return base::UniqueFileHandle(
      ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::wstring MsiProductVersion(const std::wstring& path) {
  UniqueMsiHandle database;
  if (::MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_READONLY, database.put()) != ERROR_SUCCESS) return {};
  UniqueMsiHandle view;
  if (::MsiDatabaseOpenViewW(database.get(), L"SELECT * FROM Property WHERE Property = 'ProductVersion'", view.put()) !=
      ERROR_SUCCESS) {
    return {};
  }
  if (::MsiViewExecute(view.get(), 0) != ERROR_SUCCESS) return {};
  UniqueMsiHandle record;
  if (::MsiViewFetch(view.get(), record.put()) != ERROR_SUCCESS) return {};
  wchar_t value[256] = {};
  DWORD length = 256;
  if (::MsiRecordGetStringW(record.get(), 2, value, &length) != ERROR_SUCCESS) return {};
  return value;
}

std::wstring ExeFileVersion(const std::wstring& path) {
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return {};
  std::vector<BYTE> block(size);
  if (!::GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return {};
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
      length < sizeof(VS_FIXEDFILEINFO)) {
    return {};
  }
  return base::FormatText(L"%d.%d.%d.%d", HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                          HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS));
}

}  // namespace

HRESULT ExternalMethods::isFileExists(WORD flags, DISPPARAMS* params, VARIANT* result) {
  const HRESULT checked = checkCall(flags, kCallMG, params, {VT_BSTR});
  if (FAILED(checked) || !result) return checked;
  const std::wstring path = TextArg(params, 0);
  const bool exists = base::PathExists(path);
  SetResultBool(result, exists);
  log(L"args: %s, Result: %s", path.c_str(), exists ? L"exist" : L"not exist");
  return S_OK;
}

HRESULT ExternalMethods::createDirectory(WORD flags, DISPPARAMS* params, VARIANT* result) {
  const HRESULT checked = checkCall(flags, kCallMG, params, {VT_BSTR});
  if (FAILED(checked) || !result) return checked;
  const std::wstring path = TextArg(params, 0);
  SetResultBool(result, ::SHCreateDirectoryExW(window(), path.c_str(), nullptr) == ERROR_SUCCESS);
  return S_OK;
}

HRESULT ExternalMethods::getFileSize(WORD flags, DISPPARAMS* params, VARIANT* result) {
  log(L"EMGetFileSize");
  const HRESULT checked = checkCall(flags, kCallMG, params, {VT_BSTR});
  if (FAILED(checked) || !result) return checked;
  std::wstring text = L"0";
  if (base::UniqueFileHandle file = OpenExclusive(TextArg(params, 0))) {
    LARGE_INTEGER size = {};
    if (::GetFileSizeEx(file.get(), &size))
      text = base::FormatText(L"%llu", static_cast<unsigned long long>(size.QuadPart));
  }
  log(L"EMGetFileSize %s", text.c_str());
  return SetResultText(result, text);
}

HRESULT ExternalMethods::getCrc(WORD flags, DISPPARAMS* params, VARIANT* result) {
  log(L"EMGetCRC");
  const HRESULT checked = checkCall(flags, kCallMG, params, {VT_BSTR});
  if (FAILED(checked) || !result) return checked;
  const std::wstring path = TextArg(params, 0);
  unsigned long crc = 0;
  if (base::UniqueFileHandle file = OpenExclusive(path)) {
    std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[kCrcBlockSize]);
    if (!block) return E_OUTOFMEMORY;
    crc = ::crc32(0L, Z_NULL, 0);
    DWORD read = 0;
    while (::ReadFile(file.get(), block.get(), kCrcBlockSize, &read, nullptr) && read > 0) {
      crc = ::crc32(crc, block.get(), read);
    }
  }
  const std::wstring text = base::FormatText(L"%u", static_cast<unsigned>(crc));
  log(L"EMGetCRC args %s, Result %s", path.c_str(), text.c_str());
  return SetResultText(result, text);
}

HRESULT ExternalMethods::getFileVersion(WORD flags, DISPPARAMS* params, VARIANT* result) {
  log(L"EMGetMSIFileVersion");
  const HRESULT checked = checkCall(flags, kCallMG, params, {VT_BSTR, VT_BSTR});
  if (FAILED(checked) || !result) return checked;
  const std::wstring kind = TextArg(params, 0);
  const std::wstring path = TextArg(params, 1);
  std::wstring version;
  if (base::EqualsIgnoreCase(kind, L".MSI")) {
    version = MsiProductVersion(path);
  } else if (base::EqualsIgnoreCase(kind, L".EXE")) {
    version = ExeFileVersion(path);
  }
  log(L"EMGetMSIFileVersion args %s, Result %s", path.c_str(), version.c_str());
  return SetResultText(result, version);
}

HRESULT ExternalMethods::renameFile(WORD flags, DISPPARAMS* params, VARIANT* result) {
  log(L"EMRenameFile");
  const HRESULT checked = checkCall(flags, kCallMG, params, {VT_BSTR, VT_BSTR});
  if (FAILED(checked) || !result) return checked;
  const std::wstring oldName = TextArg(params, 0);
  const std::wstring newName = TextArg(params, 1);
  const int code = ::_wrename(oldName.c_str(), newName.c_str()) == 0 ? 0 : -1;
  SetResultBool(result, code == 0);
  log(L"EMRenameFile args oldFileName:%s, newFileName:%s, Result: %d", oldName.c_str(), newName.c_str(), code);
  return S_OK;
}

HRESULT ExternalMethods::getDiskAvailableSpace(WORD flags, DISPPARAMS* params, VARIANT* result) {
  log(L"EMGetDiskAvailableSpace");
  const HRESULT checked = checkCall(flags, kCallMG, params, {VT_BSTR});
  if (FAILED(checked) || !result) return checked;
  const std::wstring path = TextArg(params, 0);
  ULARGE_INTEGER totalFree = {};
  const bool ok = ::GetDiskFreeSpaceExW(path.c_str(), nullptr, nullptr, &totalFree) != FALSE;
  log(L"EMGetDiskAvailableSpace args: %s, Result", path.c_str());
  return SetResultText(
      result, ok ? base::FormatText(L"%llu", static_cast<unsigned long long>(totalFree.QuadPart)) : std::wstring(L"0"));
}

HRESULT ExternalMethods::getCurrentPath(WORD flags, DISPPARAMS* params, VARIANT* result) {
  log(L"EMGetCurrentPath");
  const HRESULT checked = checkCall(flags, kCallM, params, {});
  if (FAILED(checked) || !result) return checked;
  const std::wstring shortcut = cmdline::shortcutPath(processArguments());
  const size_t slash = shortcut.rfind(L'\\');
  const std::wstring folder =
      slash != std::wstring::npos ? shortcut.substr(0, slash) : base::ParentFolderOf(base::CurrentModulePath());
  log(L"EMGetCurrentPath %s", folder.c_str());
  return SetResultText(result, folder);
}

HRESULT ExternalMethods::getDesktopPath(WORD flags, DISPPARAMS* params, VARIANT* result) {
  log(L"EMGetDesktopPath");
  const HRESULT checked = checkCall(flags, kCallM, params, {});
  if (FAILED(checked) || !result) return checked;
  wchar_t path[MAX_PATH] = {};
  std::wstring desktop;
  if (SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path))) desktop = path;
  while (desktop.size() > 3 && desktop.back() == L'\\') desktop.pop_back();
  log(L"EMGetDesktopPath %s", desktop.c_str());
  return SetResultText(result, desktop);
}

HRESULT ExternalMethods::getTempPath(WORD flags, DISPPARAMS* params, VARIANT* result) {
  log(L"EMGetTempPath");
  const HRESULT checked = checkCall(flags, kCallMG, params, {VT_BSTR});
  if (FAILED(checked) || !result) return checked;
  std::wstring subfolder = TextArg(params, 0);
  if (subfolder.empty()) {
    StubConfig* config = framework() ? framework()->config() : nullptr;
    if (config) subfolder = config->productId();
  }
  std::wstring path;
  wchar_t temp[kPathChars] = {};
  const DWORD length = ::GetTempPathW(kPathChars, temp);
  if (length > 0 && length < kPathChars - 1) {
    wchar_t longForm[2 * kPathChars] = {};
    const DWORD longLength = ::GetLongPathNameW(temp, longForm, 2 * kPathChars);
    path = longLength > 0 && longLength < 2 * kPathChars ? longForm : temp;
    if (path.back() != L'\\') path += L'\\';
    path += subfolder;
    path += L'\\';
    ::CreateDirectoryW(path.c_str(), nullptr);  // an existing folder is fine
  }
  log(L"EMGetTempPath %s", path.c_str());
  return SetResultText(result, path);
}

}  // namespace stubframework
