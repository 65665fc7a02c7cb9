#include "downloader/BlockingDownload.h"

#include <cstring>

namespace stubframework::utils {

using namespace downloader;

void HttpToMemCallback::OnComplete(HttpToMemResult&& result) noexcept {
  result_ = result.result;
  success_ = !results::Failed(result.result);
  if (success_) {
    const uint32_t size = result.data.size();
    if (target_->size() != size && !target_->SetSize(size)) {
      success_ = false;
      result_ = results::kOutOfMemory;
    } else if (size) {
      std::memcpy(target_->data(), result.data.data(), size);
    }
  }
  ::SetEvent(event_);
}

HashCallback::~HashCallback() {
  if (task_) task_->Release();
}

void HashCallback::SetTask(HashTask* task) noexcept {
  if (task) task->AddRef();
  if (task_) task_->Release();
  task_ = task;
}

void HashCallback::OnHash(const uint8_t digest[20]) noexcept {
  if (counter_ >= meta_->digests.size() ||
      std::memcmp(digest, meta_->digests[counter_].data(), kDigestSize) != 0) {
    if (task_) task_->Cancel();
    return;
  }
  ++counter_;
}

void HashCallback::OnComplete(HashResult result) noexcept {
  result_ = result;
  ::SetEvent(event_);
}

long DownloadToMemory(const wchar_t* url, ILogger* logger, Buffer* out) noexcept {
  base::UniqueHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!done) return results::kOutOfMemory;
  auto* callback = details::Object<HttpToMemCallback>::Create(out, done.get());
  if (!callback) return results::kOutOfMemory;
  HttpToMemTask* task = HttpToMemTask::Create(url, callback, logger);
  if (!task) {
    callback->Release();
    return results::kOutOfMemory;
  }
  task->Start();
  ::WaitForSingleObject(done.get(), INFINITE);
  const long result = callback->result();
  task->Release();
  callback->Release();
  return result;
}

HashResult VerifyFileBlocks(HANDLE file, const DownloadMetaSimple& meta) noexcept {
  base::UniqueHandle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!done) return HashResult::Failed;
  auto* callback = details::Object<HashCallback>::Create(&meta, done.get());
  if (!callback) return HashResult::Failed;
  HashTask* task = HashTask::Create(file, callback);
  if (!task) {
    callback->Release();
    return HashResult::Failed;
  }
  callback->SetTask(task);
  task->Start();
  ::WaitForSingleObject(done.get(), INFINITE);
  const HashResult result = callback->result();
  task->Release();
  callback->Release();
  return result;
}

}  // namespace stubframework::utils
