// Downloads a whole entity of any size (below 2 GiB) into memory, restarting
// with Range and If-Range (the ETag of the 200 answer) when a request ends
// successfully but short.
//
// Threads: Start on the caller's thread; the handlers run on the inner
// request's WinINet threads; Cancel from any thread. OnComplete is called on
// one of those threads with the record (status and buffer), which the receiver
// may move out of.
//
// Ownership: the task holds its callback until completion, its logger and its
// one inner-request callback until destroyed, and one reference on the current
// inner request.
#pragma once

#include "downloader/CurrentTask.h"
#include "downloader/HttpTask.h"
#include "downloader/ITask.h"
#include "downloader/TaskLock.h"

#include <string>

namespace downloader {

class HttpToMemTask : public ITask, public TaskLock<HttpToMemTask, long> {
 public:
  using Callback = ITaskCallback<HttpToMemResult&&>;

  static HttpToMemTask* Create(const wchar_t* url, Callback* callback, ILogger* logger) noexcept;

  void Start() noexcept override;
  void Cancel() noexcept override;

  // Forwards the inner requests' calls to the task; holds no reference on it.
  class HttpToMemHttpCallback : public IHttpCallback {
   public:
    explicit HttpToMemHttpCallback(HttpToMemTask* owner) noexcept : owner_(owner) {}
    void OnComplete(long result) noexcept override { owner_->OnComplete(result); }
    void OnHttpHeader(const HttpHeaderInfo& header) noexcept override { owner_->OnHttpHeader(header); }
    void OnData(const Buffer& data) noexcept override { owner_->OnData(data); }

   private:
    HttpToMemTask* owner_;
  };

 protected:
  HttpToMemTask(std::wstring url, Callback* callback, ILogger* logger) noexcept;
  ~HttpToMemTask() override;

 private:
  friend class TaskLock<HttpToMemTask, long>;
  void CloseAction() noexcept;
  [[nodiscard]] bool StartHttp() noexcept;
  void OnHttpHeader(const HttpHeaderInfo& header) noexcept;
  void OnData(const Buffer& data) noexcept;
  void OnComplete(long result) noexcept;
  void Complete() noexcept;

  std::wstring url_;
  Callback* callback_;
  HttpToMemHttpCallback* requestCallback_ = nullptr;
  CurrentTask request_;
  std::string etag_;
  int64_t position_ = 0;
  bool haveBuffer_ = false;  // a 200 answer has sized the buffer
  bool dropData_ = false;    // set once the task failed: later blocks are ignored
  HttpToMemResult result_;
  ILogger* logger_;
};

}  // namespace downloader
