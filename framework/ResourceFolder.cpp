#include "framework/ResourceFolder.h"

#include "base/FileSystem.h"
#include "base/UniqueAny.h"
#include "framework/ExtractArchive.h"
#include "framework/InstallerLog.h"
#include "framework/TempFolder.h"

namespace stubframework {

ResourceFolder::~ResourceFolder() {
  if (folder.empty() || !base::PathExists(folder)) return;
  if (!deleteFolder(folder) && log_) log_->error(L"Delete Temp folder failed!");
}

bool ResourceFolder::load(const std::wstring& tempPathOverride) {
  folder = createTemporaryFolder(tempPathOverride);
  if (folder.empty()) {
    if (log_) log_->error(L"create temporary folder failed!");
    return loaded = false;
  }
  loaded = extractPackage(log_, folder);
  if (loaded && log_) log_->debug(L"load resource success, temporary folder path : %s", folder.c_str());
  return loaded;
}

bool extractPackage(InstallerLog* log, const std::wstring& folder, const std::wstring& executable) noexcept {
  if (log) log->debug(L"Load Resource from pe.");
  std::wstring path = executable;
  if (path.empty()) {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
      if (log) log->error(L"get current app full path failed!");
      return false;
    }
    path.assign(buffer, length);
  }
  bool extracted = false;
  base::UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file) extracted = extractArchive(file.get(), folder, nullptr);
  if (log) {
    if (extracted) {
      log->debug(L"Load Resource from pe finished.");
    } else {
      log->error(L"Load Resource from pe failed.");
    }
  }
  return extracted;
}

}  // namespace stubframework
