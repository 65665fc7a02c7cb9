#include "services/ErrorReportArchive.h"

#include "workflow/AddFileToArchive.h"

namespace stubframework::core {

bool BuildErrorReportArchive(const std::vector<std::wstring>& files, const std::wstring& archivePath) {
  for (const std::wstring& file : files) {
    if (!zip::AddFileToArchive(file, archivePath)) return false;
  }
  return !files.empty();
}

}  // namespace stubframework::core
