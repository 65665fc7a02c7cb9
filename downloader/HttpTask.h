// One HTTP GET over WinINet in asynchronous mode, streamed to an IHttpCallback:
// one OnHttpHeader, any number of OnData, one OnComplete. May ask for a byte
// range (Range) made conditional on an ETag (If-Range). No retries.
//
// Threads: Start runs CreateSession, Connect and SendRequest on the caller's
// thread; every later step runs on a WinINet worker thread from the status
// callback. Steps of one task never overlap. Cancel may come from any thread;
// it sets the closing flag and closes the request handle once no step runs.
// OnComplete comes from INTERNET_STATUS_HANDLE_CLOSING, except for failures of
// CreateSession and Connect, which complete inside Start.
//
// Ownership: the task holds one reference on its callback from creation to
// completion and one on its logger until destroyed; while a request handle is
// open it holds a reference on itself.
#pragma once

#include "base/Platform.h"
#include "downloader/ITask.h"
#include "downloader/TaskLock.h"

#include <wininet.h>

#include <string>

namespace downloader {

class HttpTask : public ITask, public TaskLock<HttpTask, long> {
 public:
  // Bytes asked for per InternetReadFile call. WinINet reports at most a few
  // KiB as available at a time; reading in large blocks is what makes the
  // transfer fast, and the read completes early at the end of the data.
  static constexpr DWORD kReadSize = 1048576;

  // Null when url, callback or logger is null or memory runs out.
  static HttpTask* Create(const wchar_t* url, HttpRange&& range, IHttpCallback* callback, ILogger* logger) noexcept;

  void Start() noexcept override;
  void Cancel() noexcept override;

 protected:
  HttpTask(std::wstring url, HttpRange&& range, IHttpCallback* callback, ILogger* logger) noexcept;
  ~HttpTask() override;

 private:
  friend class TaskLock<HttpTask, long>;
  using Step = void (HttpTask::*)(DWORD_PTR asyncResult);

  void CloseAction() noexcept;
  [[nodiscard]] long CreateSession() noexcept;
  [[nodiscard]] long Connect() noexcept;
  void SetRange() noexcept;
  void SetIfRange() noexcept;

  static void CALLBACK InternetStatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status, void* info,
                                              DWORD infoLength) noexcept;
  void OnStatus(DWORD status, void* info) noexcept;
  void OnHandleClosing() noexcept;

  void HeaderStep(DWORD_PTR asyncResult) noexcept;
  void DataStep(DWORD_PTR asyncResult) noexcept;
  void ReadStep(DWORD_PTR asyncResult) noexcept;

  void ProcessHeader() noexcept;
  int32_t GetStatusCode() noexcept;
  std::string GetHeader(DWORD infoLevel) noexcept;
  void GetContentRange(int64_t* offset, int64_t* size, int64_t* total) noexcept;
  void QueryAvailable() noexcept;
  [[nodiscard]] bool ProcessData() noexcept;
  [[nodiscard]] bool DeliverRead() noexcept;
  void Complete() noexcept;

  std::wstring url_;
  int64_t offset_;
  int64_t size_;
  std::string etag_;
  IHttpCallback* callback_;
  HINTERNET internet_ = nullptr;
  HINTERNET connection_ = nullptr;
  HINTERNET request_ = nullptr;
  DWORD available_ = 0;
  DWORD read_ = 0;
  Buffer buffer_;
  Step nextStep_ = nullptr;
  ILogger* logger_;
};

}  // namespace downloader
