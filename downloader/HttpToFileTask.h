// Downloads a known byte range of a remote entity into an open file, restarting
// with Range and If-Range (the ETag of a 200 answer) when a request ends
// successfully but short, until every byte asked for was written.
//
// Threads: Start on the caller's thread; the handlers run on the inner
// request's WinINet threads; Cancel from any thread. OnProgress and OnComplete
// are called on those threads.
//
// Ownership: the file handle is borrowed (positioned at `offset` by the creator,
// closed by the creator after completion). The task holds its callback until
// completion, its logger until destroyed, and one reference on the current inner
// request.
#pragma once

#include "base/Platform.h"
#include "downloader/CurrentTask.h"
#include "downloader/HttpTask.h"
#include "downloader/ITask.h"
#include "downloader/TaskLock.h"

#include <string>

namespace downloader {

class HttpToFileTask : public ITask, public TaskLock<HttpToFileTask, long> {
 public:
  static HttpToFileTask* Create(const wchar_t* url, HANDLE file, int64_t offset, int64_t size,
                                IHttpToFileCallback* callback, ILogger* logger) noexcept;

  void Start() noexcept override;
  void Cancel() noexcept override;

  // Forwards the inner request's calls to the task; holds no reference on it.
  class HttpCallback : public IHttpCallback {
   public:
    explicit HttpCallback(HttpToFileTask* owner) noexcept : owner_(owner) {}
    void OnComplete(long result) noexcept override { owner_->OnComplete(result); }
    void OnHttpHeader(const HttpHeaderInfo& header) noexcept override { owner_->OnHttpHeader(header); }
    void OnData(const Buffer& data) noexcept override { owner_->OnData(data); }

   private:
    HttpToFileTask* owner_;
  };

 protected:
  HttpToFileTask(std::wstring url, HANDLE file, int64_t offset, int64_t size, IHttpToFileCallback* callback,
                 ILogger* logger) noexcept;
  ~HttpToFileTask() override;

 private:
  friend class TaskLock<HttpToFileTask, long>;
  void CloseAction() noexcept;
  [[nodiscard]] bool StartHttp() noexcept;
  void OnHttpHeader(const HttpHeaderInfo& header) noexcept;
  void OnData(const Buffer& data) noexcept;
  void OnComplete(long result) noexcept;
  void Complete() noexcept;

  std::wstring url_;
  HANDLE file_;
  int64_t offset_;
  int64_t remaining_;
  IHttpToFileCallback* callback_;
  CurrentTask request_;
  std::string etag_;
  bool dropData_ = false;  // set once the task failed: later blocks are not written
  ILogger* logger_;
};

}  // namespace downloader
