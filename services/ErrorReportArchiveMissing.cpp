// Stands in while this tree has no archive writer: no archive can be made, so
// error reports are not uploaded.
#include "services/ErrorReportArchive.h"

namespace stubframework::core {

bool BuildErrorReportArchive(const std::vector<std::wstring>&, const std::wstring&) { return false; }

}  // namespace stubframework::core
