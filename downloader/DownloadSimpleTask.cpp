#include "downloader/DownloadSimpleTask.h"

#include "downloader/HashTask.h"
#include "downloader/HttpToFileTask.h"
#include "downloader/HttpToMemTask.h"

#include <cstring>

namespace downloader {

namespace {

void ReleaseTask(ITask* task) noexcept {
  if (task) task->Release();
}

}  // namespace

DownloadSimpleTask* DownloadSimpleTask::Create(const wchar_t* url, const wchar_t* metaUrl, const wchar_t* path,
                                               IDownloadCallback* callback, ILogger* logger) noexcept {
  if (!url || !metaUrl || !path || !callback || !logger) return nullptr;
  try {
    return details::Object<DownloadSimpleTask>::Create(std::wstring(url), std::wstring(metaUrl), std::wstring(path),
                                                       callback, logger);
  } catch (...) {
    return nullptr;
  }
}

DownloadSimpleTask::DownloadSimpleTask(std::wstring url, std::wstring metaUrl, std::wstring path,
                                       IDownloadCallback* callback, ILogger* logger) noexcept
    : url_(std::move(url)), metaUrl_(std::move(metaUrl)), path_(std::move(path)), callback_(callback),
      logger_(logger) {
  callback_->AddRef();
  logger_->AddRef();
}

DownloadSimpleTask::~DownloadSimpleTask() {
  current_.Release();
  if (callback_) callback_->Release();
  logger_->Release();
}

void DownloadSimpleTask::Start() noexcept {
  if (!BeginStart()) return;
  logger_->Log(L"DownloadSimpleTask::Start", L"Start download %s to %s.", url_.c_str(), path_.c_str());
  AddRef();
  if (StartMeta()) {
    LeaveOperation();
    return;
  }
  Close(results::kOutOfMemory);
  Finish(nullptr);
}

void DownloadSimpleTask::Cancel() noexcept {
  logger_->Log(L"DownloadSimpleTask::Cancel", L"Cancel.");
  Close(results::kAborted);
}

void DownloadSimpleTask::CloseAction() noexcept { current_.CancelCurrent(); }

bool DownloadSimpleTask::StartMeta() noexcept {
  auto* callback = details::Object<DownloadMetaCallback>::Create(this);
  if (!callback) {
    logger_->Log(L"DownloadSimpleTask::StartMeta", L"Create DownloadMetaCallback failed.");
    return false;
  }
  HttpToMemTask* task = HttpToMemTask::Create(metaUrl_.c_str(), callback, logger_);
  callback->Release();
  if (!task) {
    logger_->Log(L"DownloadSimpleTask::StartMeta", L"Create HttpToMemTask failed.");
    return false;
  }
  task->AddRef();  // the local reference outlives a completion inside Start
  current_.Set(task);
  task->Start();
  task->Release();
  return true;
}

void DownloadSimpleTask::OnMetaComplete(HttpToMemResult&& meta) noexcept {
  ITask* finished = current_.Take();
  if (!EnterOperation()) {
    ReleaseTask(finished);
    Complete();
    return;
  }
  if (results::Failed(meta.result)) {
    Close(meta.result);
    Finish(finished);
    return;
  }
  if (!CreateDownloadMetaSimple(meta.data.data(), meta.data.size(), &meta_)) {
    logger_->Log(L"DownloadSimple::OnMetaComplete", L"CreateDownloadMetaSimple failed.");
    Close(results::kFailed);
    Finish(finished);
    return;
  }
  total_ = static_cast<int64_t>(meta_.fileSize);
  progress_ = 0;
  callback_->OnProgress(0, total_);
  if (!PrepareStart()) {
    Finish(finished);
    return;
  }
  ReleaseTask(finished);
  if (StartHash()) {
    LeaveOperation();
    return;
  }
  Finish(nullptr);
}

bool DownloadSimpleTask::PrepareStart() noexcept {
  static constexpr wchar_t kSource[] = L"DownloadSimpleTask::PrepareStart";
  file_.reset(::CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file_) {
    const DWORD error = ::GetLastError();
    logger_->Log(kSource, L"CreateFileW failed %u.", error);
    Close(results::FromWin32(error));
    return false;
  }
  // The file gets exactly S bytes: what it holds below S stays, new bytes read as zero.
  LARGE_INTEGER size;
  size.QuadPart = total_;
  if (!::SetFilePointerEx(file_.get(), size, nullptr, FILE_BEGIN)) {
    const DWORD error = ::GetLastError();
    logger_->Log(kSource, L"SetFilePointerEx failed %u.", error);
    Close(results::FromWin32(error));
    file_.reset();
    return false;
  }
  if (!::SetEndOfFile(file_.get())) {
    const DWORD error = ::GetLastError();
    logger_->Log(kSource, L"SetEndOfFile failed %u.", error);
    Close(results::FromWin32(error));
    file_.reset();
    return false;
  }
  blockIndex_ = 0;
  return true;
}

bool DownloadSimpleTask::SeekToBlock(const wchar_t* source) noexcept {
  LARGE_INTEGER position;
  position.QuadPart = static_cast<LONGLONG>(blockIndex_) * static_cast<LONGLONG>(kMetaBlockSize);
  if (::SetFilePointerEx(file_.get(), position, nullptr, FILE_BEGIN)) return true;
  const DWORD error = ::GetLastError();
  logger_->Log(source, L"SetFilePointerEx failed %u.", error);
  Close(results::FromWin32(error));
  return false;
}

bool DownloadSimpleTask::StartHash() noexcept {
  static constexpr wchar_t kSource[] = L"DownloadSimpleTask::StartHash";
  if (!SeekToBlock(kSource)) return false;
  auto* callback = details::Object<HashCallback>::Create(this);
  if (!callback) {
    logger_->Log(kSource, L"Create HashCallback failed.");
    Close(results::kOutOfMemory);
    return false;
  }
  HashTask* task = HashTask::Create(file_.get(), callback);
  callback->Release();
  if (!task) {
    logger_->Log(kSource, L"Create HashTask failed.");
    Close(results::kOutOfMemory);
    return false;
  }
  logger_->Log(kSource, L"Start hash from block %Iu.", static_cast<size_t>(blockIndex_));
  task->AddRef();
  current_.Set(task);
  task->Start();
  task->Release();
  return true;
}

void DownloadSimpleTask::OnHash(const uint8_t digest[20]) noexcept {
  static constexpr wchar_t kSource[] = L"DownloadSimpleTask::OnHash";
  const size_t blocks = meta_.digests.size();
  if (blockIndex_ >= blocks) {
    logger_->Log(kSource, L"Unexpected hash data %Iu/%Iu.", static_cast<size_t>(blockIndex_), blocks);
    Close(results::kFailed);
    return;
  }
  if (std::memcmp(digest, meta_.digests[blockIndex_].data(), kDigestSize) != 0) {
    logger_->Log(kSource, L"Hash mismatch found for block %Iu.", static_cast<size_t>(blockIndex_));
    current_.CancelCurrent();
    return;
  }
  ++blockIndex_;
  int64_t candidate = static_cast<int64_t>(blockIndex_) * static_cast<int64_t>(kMetaBlockSize);
  if (candidate > total_) candidate = total_;
  if (candidate > progress_) progress_ = candidate;
  callback_->OnProgress(progress_, total_);
}

void DownloadSimpleTask::OnHashComplete(HashResult result) noexcept {
  static constexpr wchar_t kSource[] = L"DownloadSimpleTask::OnHashComplete";
  ITask* finished = current_.Take();
  if (!EnterOperation()) {
    ReleaseTask(finished);
    Complete();
    return;
  }
  if (result == HashResult::Failed) {
    logger_->Log(kSource, L"Hash failed.");
    Close(results::kFailed);
  } else if (blockIndex_ < meta_.digests.size()) {
    logger_->Log(kSource, L"Hash mismatch.");
    if (downloaded_ && downloadBlock_ == blockIndex_ && ++fruitlessRounds_ >= kMaxFruitlessRounds) {
      logger_->Log(kSource, L"Block %Iu still mismatches after %d downloads.", static_cast<size_t>(blockIndex_),
                   fruitlessRounds_);
      Close(results::kFailed);
      Finish(finished);
      return;
    }
    ReleaseTask(finished);
    finished = nullptr;
    if (StartDownload()) {
      LeaveOperation();
      return;
    }
  } else {
    logger_->Log(kSource, L"Hash success.");
    Close(results::kOk);
  }
  Finish(finished);
}

bool DownloadSimpleTask::StartDownload() noexcept {
  static constexpr wchar_t kSource[] = L"DownloadSimpleTask::StartDownload";
  if (!SeekToBlock(kSource)) return false;
  const int64_t offset = static_cast<int64_t>(blockIndex_) * static_cast<int64_t>(kMetaBlockSize);
  if (downloadBlock_ != blockIndex_) fruitlessRounds_ = 0;
  downloadBlock_ = blockIndex_;
  downloaded_ = true;
  progress_ = offset;
  callback_->OnProgress(progress_, total_);
  auto* callback = details::Object<DownloadFileCallback>::Create(this);
  if (!callback) {
    logger_->Log(kSource, L"Create DownloadFileCallback failed.");
    Close(results::kOutOfMemory);
    return false;
  }
  HttpToFileTask* task = HttpToFileTask::Create(url_.c_str(), file_.get(), offset, total_ - offset, callback, logger_);
  callback->Release();
  if (!task) {
    logger_->Log(kSource, L"Create HttpToFileTask failed.");
    Close(results::kOutOfMemory);
    return false;
  }
  task->AddRef();
  current_.Set(task);
  task->Start();
  task->Release();
  return true;
}

void DownloadSimpleTask::OnFileProgress(int64_t offset, int64_t length) noexcept {
  progress_ = offset + length;
  callback_->OnProgress(progress_, total_);
}

void DownloadSimpleTask::DownloadFileCallback::OnComplete(long result) noexcept {
  // The task may complete inside the handler; keep it alive until it returns.
  owner_->AddRef();
  owner_->OnFileComplete(result);
  owner_->Release();
}

void DownloadSimpleTask::OnFileComplete(long result) noexcept {
  ITask* finished = current_.Take();
  if (!EnterOperation()) {
    ReleaseTask(finished);
    Complete();
    return;
  }
  if (results::Failed(result)) {
    Close(result);
    Finish(finished);
    return;
  }
  ReleaseTask(finished);
  // The downloaded blocks are verified like the rest.
  if (StartHash()) {
    LeaveOperation();
    return;
  }
  Finish(nullptr);
}

void DownloadSimpleTask::Finish(ITask* finished) noexcept {
  LeaveOperation();
  ReleaseTask(finished);
  Complete();
}

void DownloadSimpleTask::Complete() noexcept {
  file_.reset();
  IDownloadCallback* callback = std::exchange(callback_, nullptr);
  callback->OnComplete(StoredResult());
  callback->Release();
  Release();
}

}  // namespace downloader
