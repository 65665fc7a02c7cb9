#include "framework/TempFolder.h"

#include "base/FileSystem.h"
#include "base/Platform.h"
#include "base/Text.h"
#include "base/UniqueAny.h"

namespace stubframework {

std::wstring userTemporaryPath() {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = ::GetTempPathW(MAX_PATH, buffer);
  if (length == 0 || length >= MAX_PATH - 1) return {};
  std::wstring path(buffer, length);
  if (path.back() != L'\\') path += L'\\';
  wchar_t longPath[2 * MAX_PATH] = {};
  const DWORD longLength = ::GetLongPathNameW(path.c_str(), longPath, 2 * MAX_PATH);
  if (longLength > 0 && longLength < 2 * MAX_PATH) path.assign(longPath, longLength);
  if (!base::DirectoryExists(path)) return {};
  if (path.back() != L'\\') path += L'\\';
  return path;
}

std::wstring createTemporaryFolder(const std::wstring& tempPathOverride) {
  std::wstring temp = tempPathOverride.empty() ? userTemporaryPath() : tempPathOverride;
  if (temp.empty() || !base::DirectoryExists(temp)) return {};
  if (temp.back() != L'\\') temp += L'\\';
  DWORD n = ::GetTickCount();
  std::wstring folder;
  for (;;) {
    folder = temp + base::FormatText(L"%x", n) + L"\\";
    if (!base::PathExists(folder.substr(0, folder.size() - 1))) break;
    ++n;
  }
  ::CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

bool deleteFolder(const std::wstring& folder) {
  if (folder.empty()) return false;
  std::wstring base = folder;
  while (!base.empty() && base.back() == L'\\') base.pop_back();
  WIN32_FIND_DATAW entry;
  base::UniqueFindHandle find(::FindFirstFileW((base + L"\\*").c_str(), &entry));
  if (find) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = base + L"\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        deleteFolder(child);
      } else {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
          ::SetFileAttributesW(child.c_str(), entry.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY);
        }
        ::DeleteFileW(child.c_str());
      }
    } while (::FindNextFileW(find.get(), &entry));
  }
  find.reset();
  return ::RemoveDirectoryW(base.c_str()) != FALSE;
}

}  // namespace stubframework
