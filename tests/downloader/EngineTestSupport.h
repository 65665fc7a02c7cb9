// Helpers of the download engine's tests: a logger that keeps its lines in
// memory, callbacks that record what a task reported and let the test wait for
// the completion, and access to the loopback servers and their request logs.
#pragma once

#include "base/CriticalSection.h"
#include "base/UniqueAny.h"
#include "downloader/ITask.h"

#include <functional>
#include <string>
#include <vector>

namespace enginetest {

// ILogger keeping "<source>> <message>" lines.
class RecordingLogger : public downloader::ILogger {
 public:
  void Log(const wchar_t* source, const wchar_t* format, ...) override;
  std::vector<std::wstring> Lines();
  bool Contains(const std::wstring& text);
  std::wstring Joined();

 private:
  base::CriticalSection lock_;
  std::vector<std::wstring> lines_;
};

// A manual-reset event with a bounded wait.
class Completion {
 public:
  Completion();
  void Signal();
  bool Wait(DWORD ms = 60000);
  bool IsSignalled();

 private:
  base::UniqueHandle event_;
};

class HttpRecorder : public downloader::IHttpCallback {
 public:
  void OnHttpHeader(const downloader::HttpHeaderInfo& header) override;
  void OnData(const downloader::Buffer& data) override;
  void OnComplete(long result) override;

  int headers = 0;
  downloader::HttpHeaderInfo header;
  std::string body;
  int dataCalls = 0;
  long result = 1;
  int completions = 0;
  DWORD completionThread = 0;
  std::function<void()> onFirstData;
  Completion done;
};

class FileRecorder : public downloader::IHttpToFileCallback {
 public:
  void OnProgress(int64_t offset, int64_t length) override;
  void OnComplete(long result) override;

  int64_t progressBytes = 0;
  int64_t lastEnd = -1;
  bool contiguous = true;
  long result = 1;
  int completions = 0;
  Completion done;
};

class MemRecorder : public downloader::ITaskCallback<downloader::HttpToMemResult&&> {
 public:
  void OnComplete(downloader::HttpToMemResult&& result) override;

  long result = 1;
  std::string data;
  int completions = 0;
  Completion done;
};

class DownloadRecorder : public downloader::IDownloadCallback {
 public:
  void OnProgress(int64_t current, int64_t total) override;
  void OnComplete(long result) override;

  std::vector<std::pair<int64_t, int64_t>> progress;
  std::function<void(int64_t current, int64_t total)> onProgress;
  long result = 1;
  int completions = 0;
  Completion done;
};

// Creates an engine object with count 1; the test releases it.
template <typename T, typename... Args>
downloader::details::Object<T>* Make(Args&&... args) {
  return downloader::details::Object<T>::Create(std::forward<Args>(args)...);
}

// http://127.0.0.1:<nginx port>/<path>
std::wstring NginxUrl(const std::wstring& path);
// http://127.0.0.1:<fault port>/<mode>/<file>
std::wstring FaultUrl(const std::wstring& mode, const std::wstring& file);
// A file the servers serve (Windows path).
std::wstring ServedFile(const std::wstring& name);
std::string ServedBytes(const std::wstring& name);

// Lines appended to a server log ("nginx-access.log" or "fault.log") since the mark.
class ServerLog {
 public:
  explicit ServerLog(const std::wstring& name);
  std::vector<std::string> NewLines() const;
  std::string NewText() const;

 private:
  std::wstring path_;
  size_t mark_;
};

// Waits until the engine's live object count is back at `baseline`.
bool WaitForLiveObjects(long baseline, DWORD ms = 10000);

// Whether the file can be opened with no sharing (nobody holds it open), or does not exist.
bool FileIsClosed(const std::wstring& path);

std::string HexResult(long result);

}  // namespace enginetest
