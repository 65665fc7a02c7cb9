// The user-interface package extracted from the executable into a temporary
// folder. The package is the ZIP archive appended to the executable image (in
// front of any signature); the folder is removed with its contents when this
// object is destroyed.
//
// Ownership: owned by StubFramework; the log is not owned and must outlive this.
// Threads: built and destroyed on the main thread.
#pragma once

#include <string>

namespace stubframework {

class InstallerLog;

class ResourceFolder {
 public:
  explicit ResourceFolder(InstallerLog* log = nullptr) noexcept : log_(log) {}
  // Deletes the folder (if one was made) with its contents; a failure is logged.
  ~ResourceFolder();
  ResourceFolder(const ResourceFolder&) = delete;
  ResourceFolder& operator=(const ResourceFolder&) = delete;

  // Makes a new temporary folder (under `tempPathOverride` when not empty) and
  // extracts the running executable's package into it; sets and returns `loaded`.
  bool load(const std::wstring& tempPathOverride = {});

  // True once the package was extracted completely.
  bool loaded = false;
  // The folder the package was (or was to be) extracted into, ending with "\";
  // empty when no folder could be made.
  std::wstring folder;

 private:
  InstallerLog* log_;
};

// Extracts the archive appended to `executable` (the running one when empty)
// into `folder`, logging the outcome to `log` (may be null).
[[nodiscard]] bool extractPackage(InstallerLog* log, const std::wstring& folder,
                                  const std::wstring& executable = {}) noexcept;

}  // namespace stubframework
