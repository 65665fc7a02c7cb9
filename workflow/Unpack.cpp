#include "workflow/Unpack.h"

#include "base/Platform.h"
#include "base/Text.h"
#include "base/UniqueAny.h"
#include "framework/Debug.h"
#include "framework/ExtractArchive.h"
#include "framework/TempFolder.h"

#include <shlwapi.h>

namespace stubframework::zip {

namespace {

constexpr wchar_t kSetupFileName[] = L"setup.exe";
constexpr wchar_t kPackageExtension[] = L".zip";

// Forwards to the caller's reporter and keeps the last error of this
// extraction, so an error left by an earlier extraction is never read as ours.
class LastErrorReporter final : public ZipReporter {
 public:
  explicit LastErrorReporter(ZipReporter* inner) noexcept : inner_(inner) {}
  void ReportProgress(std::uint32_t index, std::uint32_t count) noexcept override {
    if (inner_) inner_->ReportProgress(index, count);
  }
  void ReportError(std::uint32_t code) noexcept override {
    lastError_ = code;
    if (inner_) inner_->ReportError(code);
  }
  std::uint32_t lastError() const noexcept { return lastError_; }

 private:
  ZipReporter* inner_;
  std::uint32_t lastError_ = 0;
};

}  // namespace

ErrorHandle Unpack(const std::wstring& package, std::wstring& folder, std::wstring& setupFolder,
                   ZipReporter* reporter, StubFramework* framework) noexcept {
  try {
    folder.clear();
    setupFolder.clear();
    if (!base::EqualsIgnoreCase(::PathFindExtensionW(package.c_str()), kPackageExtension)) return Failure;
    folder = createTemporaryFolder();
    LastErrorReporter errors(reporter);
    bool extracted = false;
    if (!folder.empty()) {
      base::UniqueFileHandle file(::CreateFileW(package.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (file) extracted = extractArchive(file.get(), folder, &errors);
    }
    if (!extracted) {
      debug::error(framework, L"Unzip failed, package_path: %s, unzip to: %s\n", package.c_str(), folder.c_str());
      return errors.lastError() == ERROR_DISK_FULL ? DiskFull : Failure;
    }
    if (!FindFileFolder(folder, kSetupFileName, setupFolder)) {
      debug::error(framework, L"Can not find setup.exe, unzip path : %s", folder.c_str());
      return FileNotExist;
    }
    return NoError;
  } catch (...) {  // memory exhaustion
    return Failure;
  }
}

bool FindFileFolder(const std::wstring& folder, const std::wstring& name, std::wstring& found) {
  std::wstring root = folder;
  while (!root.empty() && root.back() == L'\\') root.pop_back();
  if (::PathFileExistsW((root + L"\\" + name).c_str())) {
    found = folder;
    return true;
  }
  WIN32_FIND_DATAW entry;
  base::UniqueFindHandle search(::FindFirstFileW((root + L"\\*").c_str(), &entry));
  if (!search) return false;
  do {
    const std::wstring child = entry.cFileName;
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || child == L"." || child == L"..") continue;
    if (FindFileFolder(root + L"\\" + child, name, found)) return true;
  } while (::FindNextFileW(search.get(), &entry));
  return false;
}

}  // namespace stubframework::zip
