// The run's text log: one file "installer_log_<UTC yyyymmddhhmmss>.txt" in a
// temporary folder of its own. Each line is "[yyyymmdd hh:mm:ss mmm LEVEL] "
// (milliseconds padded with spaces) followed by the message and CR LF, flushed at once.
//
// Threads: every thread writes to the same log. A line is assembled first and
// written with one call on the stream, which the C runtime serialises, so lines
// never interleave. No failure of the log is ever reported to the caller.
#pragma once

#include "base/Platform.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace stubframework {

class InstallerLog {
 public:
  enum Level : int { kTrace = 1, kError = 2, kWarning = 3, kDebug = 4 };
  using Clock = void (*)(SYSTEMTIME* utcNow);

  // Makes the log folder and opens the file. `tempPathOverride` replaces the
  // user's temporary path and `clock` the system's UTC clock (both for tests).
  explicit InstallerLog(const std::wstring& tempPathOverride = {}, Clock clock = nullptr);
  ~InstallerLog();  // closes the file and deletes the log's folder with its contents
  InstallerLog(const InstallerLog&) = delete;
  InstallerLog& operator=(const InstallerLog&) = delete;

  void trace(const wchar_t* format, ...);
  void error(const wchar_t* format, ...);
  void debug(const wchar_t* format, ...);
  void write(Level level, const wchar_t* format, va_list args);

  // Closes the file; later writes are dropped.
  void close();

  const std::wstring& path() const { return path_; }
  const std::wstring& folder() const { return folder_; }
  bool isOpen() const { return file_ != nullptr; }

  static const char* levelName(int level);
  // The line prefix for a time and level, e.g. "[20250227 13:05:09  42 DEBUG] ".
  static std::string linePrefix(const SYSTEMTIME& utc, int level);

 private:
  std::wstring path_;
  std::wstring folder_;
  int level_ = kDebug;
  FILE* file_ = nullptr;
  Clock clock_;
};

}  // namespace stubframework
