#include "framework/Debug.h"

#include "framework/InstallerLog.h"
#include "framework/StubFramework.h"

#include <cstdarg>

namespace stubframework::debug {

void debug(StubFramework* framework, const wchar_t* format, ...) {
  if (!framework || !framework->log()) return;
  va_list args;
  va_start(args, format);
  framework->log()->write(InstallerLog::kDebug, format, args);
  va_end(args);
}

void error(StubFramework* framework, const wchar_t* format, ...) {
  if (!framework || !framework->log()) return;
  va_list args;
  va_start(args, format);
  framework->log()->write(InstallerLog::kError, format, args);
  va_end(args);
}

}  // namespace stubframework::debug
