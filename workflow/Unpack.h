// Unpacking a downloaded product package: a ZIP archive holding "setup.exe"
// somewhere in its tree is extracted into a fresh folder in the temporary
// directory, and the folder that holds "setup.exe" is found.
//
// Threads: runs on the download or install worker thread; the reporter is
// called on that thread. The unpack folder outlives the call (the caller
// records it and deletes it later), also when unpacking failed.
#pragma once

#include "framework/ResultCodes.h"
#include "framework/ZipReporter.h"

#include <string>

namespace stubframework {
class StubFramework;
}

namespace stubframework::zip {

// Extracts `package` (its extension must be ".zip", any case) into a new folder
// (`folder`, ending with "\") and finds the folder holding "setup.exe"
// (`setupFolder`). Both outputs are emptied first. NoError, Failure (not a
// ".zip", cannot be opened, damaged, write failure), DiskFull (a write failed
// with the disk full) or FileNotExist (no "setup.exe"). `reporter` (may be null)
// sees the extraction's progress and errors; `framework` (may be null) gets the log lines.
[[nodiscard]] ErrorHandle Unpack(const std::wstring& package, std::wstring& folder, std::wstring& setupFolder,
                                 ZipReporter* reporter = nullptr, StubFramework* framework = nullptr) noexcept;

// The folder, at or below `folder`, that directly contains an entry called
// `name`; depth first in the order the file system lists entries, first match wins.
[[nodiscard]] bool FindFileFolder(const std::wstring& folder, const std::wstring& name, std::wstring& found);

}  // namespace stubframework::zip
