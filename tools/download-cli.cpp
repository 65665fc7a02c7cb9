// Command-line front end of the download engine, for benchmarks and checks.
//
//   download-cli verify <url> <meta-url> <destination>      block-verified download
//   download-cli range <url> <destination> <offset> <size>  ranged download into a file
//   download-cli memory <url> [<output>]                    download to memory
//   (--verbose before the command prints the engine's log lines on stderr)
//
// Prints progress and "HRESULT 0x........" at the end. Exit code: 0 on success,
// 2 for a wrong command line, otherwise the low 16 bits of the HRESULT (1 when
// those are 0). Ctrl+C cancels the running task.
#include "base/CriticalSection.h"
#include "base/Platform.h"
#include "base/UniqueAny.h"
#include "downloader/DownloadSimpleTask.h"
#include "downloader/HttpToFileTask.h"
#include "downloader/HttpToMemTask.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <string>

namespace {

using namespace downloader;

base::CriticalSection g_outputLock;
ITask* g_running = nullptr;  // cancelled by Ctrl+C

class ConsoleLogger : public ILogger {
 public:
  explicit ConsoleLogger(bool verbose) : verbose_(verbose) {}
  void Log(const wchar_t* source, const wchar_t* format, ...) override {
    if (!verbose_) return;
    wchar_t message[1024];
    va_list args;
    va_start(args, format);
    _vsnwprintf(message, 1023, format, args);
    va_end(args);
    message[1023] = L'\0';
    base::CriticalSectionLock lock(g_outputLock);
    std::fwprintf(stderr, L"%s> %s\n", source, message);
  }

 private:
  bool verbose_;
};

// Prints a progress line whenever another percent is done.
class ProgressPrinter {
 public:
  void Report(int64_t current, int64_t total) {
    const int percent = total > 0 ? static_cast<int>(current * 100 / total) : 100;
    base::CriticalSectionLock lock(g_outputLock);
    if (percent == lastPercent_) return;
    lastPercent_ = percent;
    std::wprintf(L"progress %lld/%lld (%d%%)\n", static_cast<long long>(current), static_cast<long long>(total),
                 percent);
    std::fflush(stdout);
  }

 private:
  int lastPercent_ = -1;
};

class Waiter {
 public:
  Waiter() : done_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  void Finish(long result) {
    result_ = result;
    ::SetEvent(done_.get());
  }
  long Wait() {
    ::WaitForSingleObject(done_.get(), INFINITE);
    return result_;
  }

 private:
  base::UniqueHandle done_;
  long result_ = results::kFailed;
};

class VerifyCallback : public IDownloadCallback {
 public:
  void OnProgress(int64_t current, int64_t total) override { progress.Report(current, total); }
  void OnComplete(long result) override { waiter.Finish(result); }
  ProgressPrinter progress;
  Waiter waiter;
};

class FileCallback : public IHttpToFileCallback {
 public:
  explicit FileCallback(int64_t start, int64_t size) : start_(start), size_(size) {}
  void OnProgress(int64_t offset, int64_t length) override { progress.Report(offset + length - start_, size_); }
  void OnComplete(long result) override { waiter.Finish(result); }
  ProgressPrinter progress;
  Waiter waiter;

 private:
  int64_t start_, size_;
};

class MemCallback : public ITaskCallback<HttpToMemResult&&> {
 public:
  void OnComplete(HttpToMemResult&& result) override {
    data = std::move(result.data);
    waiter.Finish(result.result);
  }
  Buffer data;
  Waiter waiter;
};

BOOL WINAPI OnConsoleControl(DWORD) {
  base::CriticalSectionLock lock(g_outputLock);
  if (g_running) g_running->Cancel();
  return TRUE;
}

// Starts `task` (taking over the caller's reference), waits for `waiter` and
// returns the result.
long RunTask(ITask* task, Waiter& waiter) {
  {
    base::CriticalSectionLock lock(g_outputLock);
    g_running = task;
  }
  task->Start();
  const long result = waiter.Wait();
  {
    base::CriticalSectionLock lock(g_outputLock);
    g_running = nullptr;
  }
  task->Release();
  return result;
}

long Verify(const wchar_t* url, const wchar_t* metaUrl, const wchar_t* path, ILogger* logger) {
  auto* callback = details::Object<VerifyCallback>::Create();
  if (!callback) return results::kOutOfMemory;
  long result = results::kOutOfMemory;
  if (ITask* task = DownloadSimpleTask::Create(url, metaUrl, path, callback, logger)) result = RunTask(task, callback->waiter);
  callback->Release();
  return result;
}

long Range(const wchar_t* url, const wchar_t* path, int64_t offset, int64_t size, ILogger* logger) {
  base::UniqueFileHandle file(
      ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return results::FromWin32(::GetLastError());
  LARGE_INTEGER position;
  position.QuadPart = offset;
  if (!::SetFilePointerEx(file.get(), position, nullptr, FILE_BEGIN)) return results::FromWin32(::GetLastError());
  auto* callback = details::Object<FileCallback>::Create(offset, size);
  if (!callback) return results::kOutOfMemory;
  long result = results::kOutOfMemory;
  if (ITask* task = HttpToFileTask::Create(url, file.get(), offset, size, callback, logger))
    result = RunTask(task, callback->waiter);
  callback->Release();
  return result;
}

long Memory(const wchar_t* url, const wchar_t* output, ILogger* logger) {
  auto* callback = details::Object<MemCallback>::Create();
  if (!callback) return results::kOutOfMemory;
  long result = results::kOutOfMemory;
  if (ITask* task = HttpToMemTask::Create(url, callback, logger)) result = RunTask(task, callback->waiter);
  if (!results::Failed(result)) {
    std::wprintf(L"received %u bytes\n", callback->data.size());
    if (output) {
      base::UniqueFileHandle file(
          ::CreateFileW(output, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
      DWORD written = 0;
      if (!file || !::WriteFile(file.get(), callback->data.data(), callback->data.size(), &written, nullptr) ||
          written != callback->data.size())
        result = results::FromWin32(::GetLastError());
    }
  }
  callback->Release();
  return result;
}

int Usage() {
  std::fwprintf(stderr,
                L"usage: download-cli [--verbose] verify <url> <meta-url> <destination>\n"
                L"       download-cli [--verbose] range <url> <destination> <offset> <size>\n"
                L"       download-cli [--verbose] memory <url> [<output>]\n");
  return 2;
}

bool ParseInt64(const wchar_t* text, int64_t* out) {
  wchar_t* end = nullptr;
  const long long value = std::wcstoll(text, &end, 10);
  if (!*text || *end || value < 0) return false;
  *out = value;
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int arg = 1;
  const bool verbose = arg < argc && std::wcscmp(argv[arg], L"--verbose") == 0;
  if (verbose) ++arg;
  if (arg >= argc) return Usage();
  const std::wstring command = argv[arg++];
  const int rest = argc - arg;
  wchar_t** args = argv + arg;

  auto* logger = details::Object<ConsoleLogger>::Create(verbose);
  if (!logger) return 1;
  ::SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
  long result;
  int64_t offset = 0, size = 0;
  if (command == L"verify" && rest == 3) {
    result = Verify(args[0], args[1], args[2], logger);
  } else if (command == L"range" && rest == 4 && ParseInt64(args[2], &offset) && ParseInt64(args[3], &size)) {
    result = Range(args[0], args[1], offset, size, logger);
  } else if (command == L"memory" && (rest == 1 || rest == 2)) {
    result = Memory(args[0], rest == 2 ? args[1] : nullptr, logger);
  } else {
    logger->Release();
    return Usage();
  }
  logger->Release();
  std::wprintf(L"HRESULT 0x%08X\n", static_cast<unsigned>(result));
  std::fflush(stdout);
  if (!results::Failed(result)) return 0;
  const int code = static_cast<int>(result & 0xFFFF);
  return code ? code : 1;
}
