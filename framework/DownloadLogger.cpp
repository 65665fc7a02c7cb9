#include "framework/DownloadLogger.h"

#include "framework/InstallerLog.h"

#include <cstdarg>
#include <cwchar>

namespace stubframework::debug {

namespace {
void WriteTrace(InstallerLog* log, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  log->write(InstallerLog::kTrace, format, args);
  va_end(args);
}
}  // namespace

void DownloadLogger::Log(const wchar_t* source, const wchar_t* format, ...) {
  if (!log_ || !format) return;
  wchar_t message[kMessageChars] = {};
  va_list args;
  va_start(args, format);
  // Longer output is cut to fit; the buffer always ends with a NUL.
  _vsnwprintf(message, kMessageChars - 1, format, args);
  va_end(args);
  message[kMessageChars - 1] = L'\0';
  WriteTrace(log_, L"%s> %s", source ? source : L"", message);
}

}  // namespace stubframework::debug
