#include "services/ErrorReportArchive.h"

#if __has_include("workflow/AddFileToArchive.h")
#include "workflow/AddFileToArchive.h"
#else
#include "workflow/ZipArchiveWriter.h"
#endif

namespace stubframework::core {

bool BuildErrorReportArchive(const std::vector<std::wstring>& files, const std::wstring& archivePath) {
  for (const std::wstring& file : files) {
    if (!zip::AddFileToArchive(file, archivePath)) return false;
  }
  return !files.empty();
}

}  // namespace stubframework::core
