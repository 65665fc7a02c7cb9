#include "framework/InstallerLog.h"

#include "base/Text.h"
#include "framework/TempFolder.h"

#include <shlwapi.h>

namespace stubframework {

namespace {
void SystemUtcClock(SYSTEMTIME* now) { ::GetSystemTime(now); }
}  // namespace

const char* InstallerLog::levelName(int level) {
  switch (level) {
    case kTrace: return "TRACE";
    case kError: return "ERROR";
    case kWarning: return "WARNING";
    case kDebug: return "DEBUG";
    default: return "";
  }
}

std::string InstallerLog::linePrefix(const SYSTEMTIME& t, int level) {
  char time[64] = {};
  snprintf(time, sizeof(time), "%4d%02d%02d %02d:%02d:%02d %3d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
           t.wSecond, t.wMilliseconds);
  char prefix[96] = {};
  snprintf(prefix, sizeof(prefix), "[%s %s] ", time, levelName(level));
  return prefix;
}

InstallerLog::InstallerLog(const std::wstring& tempPathOverride, Clock clock)
    : clock_(clock ? clock : SystemUtcClock) {
  folder_ = createTemporaryFolder(tempPathOverride);
  if (folder_.empty()) return;
  SYSTEMTIME now;
  clock_(&now);
  const std::wstring name = base::FormatText(L"installer_log_%4d%02d%02d%02d%02d%02d.txt", now.wYear, now.wMonth,
                                             now.wDay, now.wHour, now.wMinute, now.wSecond);
  wchar_t combined[MAX_PATH] = {};
  if (!::PathCombineW(combined, folder_.c_str(), name.c_str())) return;
  path_ = combined;
  file_ = _wfopen(path_.c_str(), L"a+N");
}

InstallerLog::~InstallerLog() {
  close();
  if (!folder_.empty()) deleteFolder(folder_);
  folder_.clear();
  path_.clear();
}

void InstallerLog::close() {
  if (file_) fclose(file_);
  file_ = nullptr;
}

void InstallerLog::write(Level level, const wchar_t* format, va_list args) {
  if (!file_ || level > level_) return;
  SYSTEMTIME now;
  clock_(&now);
  // The message goes out as UTF-8; the text-mode stream turns "\n" into CR LF.
  std::string line = linePrefix(now, level);
  line += base::WideToUtf8(base::FormatTextV(format, args));
  line += '\n';
  fwrite(line.data(), 1, line.size(), file_);
  fflush(file_);
}

#define STUB_LOG_WRITER(name, level)          \
  void InstallerLog::name(const wchar_t* format, ...) { \
    va_list args;                             \
    va_start(args, format);                   \
    write(level, format, args);               \
    va_end(args);                             \
  }
STUB_LOG_WRITER(trace, kTrace)
STUB_LOG_WRITER(error, kError)
STUB_LOG_WRITER(debug, kDebug)
#undef STUB_LOG_WRITER

}  // namespace stubframework
