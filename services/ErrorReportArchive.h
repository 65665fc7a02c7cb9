// Packs the files of an error report into one ZIP archive, one entry per file
// named by the file's base name, in list order (the archive is created with the
// first entry). Stops at the first file that cannot be added.
#pragma once

#include <string>
#include <vector>

namespace stubframework::core {

[[nodiscard]] bool BuildErrorReportArchive(const std::vector<std::wstring>& files, const std::wstring& archivePath);

}  // namespace stubframework::core
