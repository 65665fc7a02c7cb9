// Extraction of a ZIP archive from an open file into a folder: the package
// appended to the executable at start-up, and downloaded product archives.
//
// The archive may sit behind other data (an executable image) with its offsets
// counting from its own start. Entries are stored or deflated; folders are made
// as needed. An entry whose name would land outside `folder` fails the run, and
// nothing is written for it. Files already written by a failed run stay.
//
// Threads: runs on the calling thread; the reporter is called on it too.
#pragma once

#include "base/Platform.h"
#include "framework/ZipReporter.h"

#include <string>

namespace stubframework {

// Extracts every entry of the archive in `file` (read with positioned reads;
// the handle is not closed) into `folder`, creating it with missing parents.
// `reporter` may be null. True only when every entry was extracted.
[[nodiscard]] bool extractArchive(HANDLE file, const std::wstring& folder, zip::ZipReporter* reporter) noexcept;

}  // namespace stubframework
