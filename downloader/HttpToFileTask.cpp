#include "downloader/HttpToFileTask.h"

namespace downloader {

HttpToFileTask* HttpToFileTask::Create(const wchar_t* url, HANDLE file, int64_t offset, int64_t size,
                                       IHttpToFileCallback* callback, ILogger* logger) noexcept {
  if (!url || !callback || !logger) return nullptr;
  try {
    return details::Object<HttpToFileTask>::Create(std::wstring(url), file, offset, size, callback, logger);
  } catch (...) {
    return nullptr;
  }
}

HttpToFileTask::HttpToFileTask(std::wstring url, HANDLE file, int64_t offset, int64_t size,
                               IHttpToFileCallback* callback, ILogger* logger) noexcept
    : url_(std::move(url)), file_(file), offset_(offset), remaining_(size), callback_(callback), logger_(logger) {
  callback_->AddRef();
  logger_->AddRef();
}

HttpToFileTask::~HttpToFileTask() {
  if (callback_) callback_->Release();
  logger_->Release();
}

void HttpToFileTask::Start() noexcept {
  if (!BeginStart()) return;
  logger_->Log(L"HttpToFileTask::Start", L"Start download %s (OFFSET:%lld SIZE:%lld) to file.", url_.c_str(), offset_,
               remaining_);
  AddRef();
  if (StartHttp()) {
    LeaveOperation();
    return;
  }
  Close(results::kOutOfMemory);
  Complete();
}

void HttpToFileTask::Cancel() noexcept {
  logger_->Log(L"HttpToFileTask::Cancel", L"Cancel.");
  Close(results::kHttpCancelled);
}

void HttpToFileTask::CloseAction() noexcept {
  request_.CancelCurrent();
}

bool HttpToFileTask::StartHttp() noexcept {
  auto* callback = details::Object<HttpCallback>::Create(this);
  if (!callback) {
    logger_->Log(L"HttpToFileTask::StartHttp", L"Create HttpCallback failed.");
    return false;
  }
  HttpTask* request = nullptr;
  try {
    request = HttpTask::Create(url_.c_str(), HttpRange{offset_, remaining_, etag_}, callback, logger_);
  } catch (...) {
    request = nullptr;
  }
  callback->Release();
  if (!request) {
    logger_->Log(L"HttpToFileTask::StartHttp", L"Create HttpTask failed.");
    return false;
  }
  request->AddRef();  // the local reference below outlives a completion inside Start
  request_.Set(request);
  request->Start();
  request->Release();
  return true;
}

void HttpToFileTask::OnHttpHeader(const HttpHeaderInfo& header) noexcept {
  if (header.statusCode == 200) {
    if (offset_ == 0 && header.total == remaining_) {
      try {
        etag_ = header.etag;
      } catch (...) {
        etag_.clear();
      }
      return;
    }
    logger_->Log(L"HttpToFileTask::OnHttpStatusOK", L"Unexpected content length %lld/(OFFSET:%lld SIZE:%lld).",
                 header.total, offset_, remaining_);
  } else if (header.statusCode == 206) {
    if (header.offset == offset_ && header.size == remaining_) {
      // A ranged answer names the entity too: a restart must not stitch a
      // changed entity onto these bytes.
      if (etag_.empty()) {
        try {
          etag_ = header.etag;
        } catch (...) {
          etag_.clear();
        }
      }
      return;
    }
    logger_->Log(L"HttpToFileTask::OnHttpStatusPartialContent",
                 L"Unexpected content range (OFFSET:%lld SIZE:%lld TOTAL:%lld)/(OFFSET:%lld SIZE:%lld).", header.offset,
                 header.size, header.total, offset_, remaining_);
  } else {
    logger_->Log(L"HttpToFileTask::OnHttpHeader", L"Unexpected HTTP status code %d.", header.statusCode);
  }
  dropData_ = true;
  Close(results::kIncorrectFormat);
}

void HttpToFileTask::OnData(const Buffer& data) noexcept {
  // A rejected response's body, or blocks still in flight after a failure,
  // must never reach the file.
  if (dropData_) return;
  const int64_t size = data.size();
  if (remaining_ < size) {
    logger_->Log(L"HttpToFileTask::OnData", L"Data large than expected %lld", size - remaining_);
    dropData_ = true;
    Close(results::kIncorrectFormat);
    return;
  }
  DWORD written = 0;
  if (!::WriteFile(file_, data.data(), data.size(), &written, nullptr) || written != data.size()) {
    const DWORD error = ::GetLastError();
    logger_->Log(L"HttpToFileTask::OnData", L"WriteFile failed %u.", error);
    dropData_ = true;
    Close(error ? results::FromWin32(error) : results::FromWin32(ERROR_WRITE_FAULT));
  }
  callback_->OnProgress(offset_, written);
  offset_ += written;
  remaining_ -= written;
}

void HttpToFileTask::OnComplete(long result) noexcept {
  // The request has ended: there is nothing left for the close action to cancel.
  ITask* finished = request_.Take();
  if (EnterOperation()) {
    if (!results::Failed(result) && remaining_ != 0) {
      logger_->Log(L"HttpToFileTask::OnComplete", L"Data not complete %lld needed.", remaining_);
      if (finished) finished->Release();
      finished = nullptr;
      if (StartHttp()) {
        LeaveOperation();
        return;
      }
      result = results::kOutOfMemory;
    }
    Close(result);
    LeaveOperation();
  }
  if (finished) finished->Release();
  Complete();
}

void HttpToFileTask::Complete() noexcept {
  logger_->Log(L"HttpToFileTask::OnComplete", L"Complete.");
  request_.Release();
  IHttpToFileCallback* callback = std::exchange(callback_, nullptr);
  callback->OnComplete(StoredResult());
  callback->Release();
  Release();
}

}  // namespace downloader
