#include "downloader/HttpToMemTask.h"

#include <cstring>

namespace downloader {

namespace {
constexpr int64_t kMaxEntity = 0x7FFFFFFF;
}

HttpToMemTask* HttpToMemTask::Create(const wchar_t* url, Callback* callback, ILogger* logger) noexcept {
  if (!url || !callback || !logger) return nullptr;
  details::Object<HttpToMemTask>* task = nullptr;
  try {
    task = details::Object<HttpToMemTask>::Create(std::wstring(url), callback, logger);
  } catch (...) {
    return nullptr;
  }
  if (task && !task->requestCallback_) {
    task->Release();
    return nullptr;
  }
  return task;
}

HttpToMemTask::HttpToMemTask(std::wstring url, Callback* callback, ILogger* logger) noexcept
    : url_(std::move(url)), callback_(callback), logger_(logger) {
  callback_->AddRef();
  logger_->AddRef();
  requestCallback_ = details::Object<HttpToMemHttpCallback>::Create(this);
}

HttpToMemTask::~HttpToMemTask() {
  request_.Release();
  if (requestCallback_) requestCallback_->Release();
  if (callback_) callback_->Release();
  logger_->Release();
}

void HttpToMemTask::Start() noexcept {
  if (!BeginStart()) return;
  logger_->Log(L"HttpToMemTask::Start", L"Start download %s to memory.", url_.c_str());
  AddRef();
  if (StartHttp()) {
    LeaveOperation();
    return;
  }
  Close(results::kOutOfMemory);
  Complete();
}

void HttpToMemTask::Cancel() noexcept {
  logger_->Log(L"HttpToMemTask::Cancel", L"Cancel.");
  Close(results::kHttpCancelled);
}

void HttpToMemTask::CloseAction() noexcept { request_.CancelCurrent(); }

bool HttpToMemTask::StartHttp() noexcept {
  HttpRange range;
  if (haveBuffer_) {
    // The whole entity size, not the part still missing: servers clamp a range
    // that runs past the end, and the 206 check relies on that.
    range.offset = position_;
    range.size = result_.data.size();
    try {
      range.etag = etag_;
    } catch (...) {
      range.etag.clear();
    }
  }
  result_.result = results::kOk;
  HttpTask* request = HttpTask::Create(url_.c_str(), std::move(range), requestCallback_, logger_);
  if (!request) {
    logger_->Log(L"HttpToMemTask::StartHttp", L"Create HttpTask failed.");
    return false;
  }
  request->AddRef();  // the local reference outlives a completion inside Start
  request_.Set(request);
  request->Start();
  request->Release();
  return true;
}

void HttpToMemTask::OnHttpHeader(const HttpHeaderInfo& header) noexcept {
  if (header.statusCode == 200) {
    if (header.total < 0) {
      logger_->Log(L"HttpToMemTask::OnHttpStatusOK", L"Unexpected content length %lld.", header.total);
      dropData_ = true;
      Close(results::kIncorrectFormat);
      return;
    }
    if (header.total >= kMaxEntity ||
        (!(haveBuffer_ && result_.data.size() == header.total) &&
         !result_.data.SetSize(static_cast<uint32_t>(header.total)))) {
      logger_->Log(L"HttpToMemTask::OnHttpStatusOK", L"Buffer::SetSize(%lld) failed.", header.total);
      haveBuffer_ = false;
      dropData_ = true;
      Close(results::kOutOfMemory);
      return;
    }
    haveBuffer_ = true;
    try {
      etag_ = header.etag;
    } catch (...) {
      etag_.clear();
    }
    position_ = 0;
    return;
  }
  if (header.statusCode == 206) {
    const int64_t size = result_.data.size();
    if (haveBuffer_ && size == header.total && header.total < (int64_t{1} << 32) && header.offset == position_ &&
        header.offset + header.size == header.total)
      return;
    logger_->Log(L"HttpToMemTask::OnHttpStatusPartialContent",
                 L"Unexpected content range (OFFSET:%lld SIZE:%lld TOTAL:%lld)/(POS:%lld SIZE:%Iu).", header.offset,
                 header.size, header.total, position_, static_cast<size_t>(size));
  } else {
    logger_->Log(L"HttpToMemTask::OnHttpHeader", L"Unexpected HTTP status code %d.", header.statusCode);
  }
  dropData_ = true;
  Close(results::kIncorrectFormat);
}

void HttpToMemTask::OnData(const Buffer& data) noexcept {
  if (dropData_) return;
  const int64_t end = position_ + data.size();
  if (!haveBuffer_ || end > result_.data.size()) {
    logger_->Log(L"HttpToMemTask::OnData", L"Data large than expected %lld/%Iu.", end,
                 static_cast<size_t>(result_.data.size()));
    dropData_ = true;
    Close(results::kIncorrectFormat);
    return;
  }
  std::memcpy(result_.data.data() + position_, data.data(), data.size());
  position_ = end;
}

void HttpToMemTask::OnComplete(long result) noexcept {
  // The request has ended: there is nothing left for the close action to cancel.
  ITask* finished = request_.Take();
  if (EnterOperation()) {
    if (!results::Failed(result) && position_ != result_.data.size()) {
      logger_->Log(L"HttpToMemTask::OnComplete", L"Data not complete %lld/%Iu.", position_,
                   static_cast<size_t>(result_.data.size()));
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

void HttpToMemTask::Complete() noexcept {
  logger_->Log(L"HttpToMemTask::OnComplete", L"Complete.");
  request_.Release();
  result_.result = StoredResult();
  Callback* callback = std::exchange(callback_, nullptr);
  callback->OnComplete(std::move(result_));
  callback->Release();
  Release();
}

}  // namespace downloader
