// Adapts the installer log to the download engine's ILogger: each engine line is
// written at TRACE level as "<tag>> <message>", the message cut to 1023 characters.
// Create it with downloader::details::Object<DownloadLogger>::Create(log).
#pragma once

#include "downloader/IObject.h"

namespace stubframework {
class InstallerLog;

namespace debug {

class DownloadLogger : public downloader::ILogger {
 public:
  // `log` is not owned and may be null (then nothing is written); it must
  // outlive every engine object that holds this logger.
  explicit DownloadLogger(InstallerLog* log) : log_(log) {}
  void Log(const wchar_t* source, const wchar_t* format, ...) override;

  static constexpr size_t kMessageChars = 1024;

 private:
  InstallerLog* log_;
};

}  // namespace debug
}  // namespace stubframework
