#include "tests/downloader/EngineTestSupport.h"

#include "tests/support/TestSupport.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>

namespace enginetest {

void RecordingLogger::Log(const wchar_t* source, const wchar_t* format, ...) {
  wchar_t message[1024];
  va_list args;
  va_start(args, format);
  _vsnwprintf(message, 1023, format, args);
  va_end(args);
  message[1023] = L'\0';
  base::CriticalSectionLock lock(lock_);
  lines_.push_back(std::wstring(source) + L"> " + message);
}

std::vector<std::wstring> RecordingLogger::Lines() {
  base::CriticalSectionLock lock(lock_);
  return lines_;
}

bool RecordingLogger::Contains(const std::wstring& text) {
  base::CriticalSectionLock lock(lock_);
  for (const auto& line : lines_)
    if (line.find(text) != std::wstring::npos) return true;
  return false;
}

std::wstring RecordingLogger::Joined() {
  std::wstring all;
  for (const auto& line : Lines()) all += line + L"\n";
  return all;
}

Completion::Completion() : event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
void Completion::Signal() { ::SetEvent(event_.get()); }
bool Completion::Wait(DWORD ms) { return ::WaitForSingleObject(event_.get(), ms) == WAIT_OBJECT_0; }
bool Completion::IsSignalled() { return Wait(0); }

void HttpRecorder::OnHttpHeader(const downloader::HttpHeaderInfo& h) {
  ++headers;
  header = h;
}
void HttpRecorder::OnData(const downloader::Buffer& data) {
  body.append(reinterpret_cast<const char*>(data.data()), data.size());
  if (dataCalls++ == 0 && onFirstData) onFirstData();
}
void HttpRecorder::OnComplete(long r) {
  result = r;
  ++completions;
  completionThread = ::GetCurrentThreadId();
  done.Signal();
}

void FileRecorder::OnProgress(int64_t offset, int64_t length) {
  if (lastEnd >= 0 && offset != lastEnd) contiguous = false;
  lastEnd = offset + length;
  progressBytes += length;
}
void FileRecorder::OnComplete(long r) {
  result = r;
  ++completions;
  done.Signal();
}

void MemRecorder::OnComplete(downloader::HttpToMemResult&& r) {
  result = r.result;
  data.assign(reinterpret_cast<const char*>(r.data.data()), r.data.size());
  ++completions;
  done.Signal();
}

void DownloadRecorder::OnProgress(int64_t current, int64_t total) {
  progress.emplace_back(current, total);
  if (onProgress) onProgress(current, total);
}
void DownloadRecorder::OnComplete(long r) {
  result = r;
  ++completions;
  done.Signal();
}

std::wstring NginxUrl(const std::wstring& path) {
  return L"http://127.0.0.1:" + testsupport::EnvironmentValue(L"DL_NGINX_PORT") + L"/" + path;
}

std::wstring FaultUrl(const std::wstring& mode, const std::wstring& file) {
  return L"http://127.0.0.1:" + testsupport::EnvironmentValue(L"DL_FAULT_PORT") + L"/" + mode + L"/" + file;
}

std::wstring ServedFile(const std::wstring& name) {
  return testsupport::EnvironmentValue(L"DL_SERVER_DIR") + L"\\www\\" + name;
}

std::string ServedBytes(const std::wstring& name) { return testsupport::ReadFileBytes(ServedFile(name)); }

ServerLog::ServerLog(const std::wstring& name)
    : path_(testsupport::EnvironmentValue(L"DL_SERVER_DIR") + L"\\" + name),
      mark_(testsupport::ReadFileBytes(path_).size()) {}

std::string ServerLog::NewText() const {
  const std::string all = testsupport::ReadFileBytes(path_);
  return all.size() > mark_ ? all.substr(mark_) : std::string();
}

std::vector<std::string> ServerLog::NewLines() const {
  std::vector<std::string> lines;
  const std::string text = NewText();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

bool WaitForLiveObjects(long baseline, DWORD ms) {
  for (DWORD waited = 0;; waited += 20) {
    if (downloader::details::LiveObjectCount() == baseline) return true;
    if (waited >= ms) return false;
    ::Sleep(20);
  }
}

bool FileIsClosed(const std::wstring& path) {
  base::UniqueFileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  const DWORD error = ::GetLastError();
  return file.valid() || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

std::string HexResult(long result) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(result));
  return text;
}

}  // namespace enginetest
