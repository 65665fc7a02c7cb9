#include "downloader/HashTask.h"

#include <bcrypt.h>

#include <cstdlib>
#include <memory>
#include <new>

namespace downloader {

namespace {

struct AlgorithmOwner {
  BCRYPT_ALG_HANDLE handle = nullptr;
  ~AlgorithmOwner() {
    if (handle) ::BCryptCloseAlgorithmProvider(handle, 0);
  }
};
struct HashOwner {
  BCRYPT_HASH_HANDLE handle = nullptr;
  ~HashOwner() {
    if (handle) ::BCryptDestroyHash(handle);
  }
};

struct FreeDeleter {
  void operator()(uint8_t* p) const noexcept { std::free(p); }
};

}  // namespace

HashTask* HashTask::Create(HANDLE file, IHashCallback* callback) noexcept {
  if (!callback) return nullptr;
  return details::Object<HashTask>::Create(file, callback);
}

HashTask::HashTask(HANDLE file, IHashCallback* callback) noexcept : file_(file), callback_(callback) {
  callback_->AddRef();
}

HashTask::~HashTask() {
  if (callback_) callback_->Release();
}

void HashTask::Start() noexcept {
  {
    base::CriticalSectionLock lock(lock_);
    if (state_ != kIdle) return;
    state_ = kRunning;
  }
  AddRef();
  if (!::QueueUserWorkItem(&HashTask::Worker, this, WT_EXECUTELONGFUNCTION)) Finish(HashResult::Failed);
}

void HashTask::Cancel() noexcept {
  base::CriticalSectionLock lock(lock_);
  if (state_ == kRunning) state_ = kCancelRequested;
}

bool HashTask::Sha1Pass::Open() noexcept {
  auto* owner = new (std::nothrow) AlgorithmOwner;
  if (!owner) return false;
  algorithm_ = owner;
  return BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&owner->handle, BCRYPT_SHA1_ALGORITHM, nullptr, 0));
}

HashTask::Sha1Pass::~Sha1Pass() { delete static_cast<AlgorithmOwner*>(algorithm_); }

bool HashTask::Sha1Pass::Digest(const uint8_t* data, DWORD size, uint8_t digest[20]) noexcept {
  auto* algorithm = static_cast<AlgorithmOwner*>(algorithm_);
  if (!algorithm || !algorithm->handle) return false;
  HashOwner hash;
  return BCRYPT_SUCCESS(::BCryptCreateHash(algorithm->handle, &hash.handle, nullptr, 0, nullptr, 0, 0)) &&
         BCRYPT_SUCCESS(::BCryptHashData(hash.handle, const_cast<PUCHAR>(data), size, 0)) &&
         BCRYPT_SUCCESS(::BCryptFinishHash(hash.handle, digest, 20, 0));
}

DWORD WINAPI HashTask::Worker(void* context) noexcept {
  auto* task = static_cast<HashTask*>(context);
  task->Finish(task->Run());
  return 0;
}

HashResult HashTask::Run() noexcept {
  // One buffer for the whole pass.
  std::unique_ptr<uint8_t, FreeDeleter> buffer(static_cast<uint8_t*>(std::malloc(kBlockSize)));
  if (!buffer) return HashResult::Failed;
  Sha1Pass sha1;
  if (!sha1.Open()) return HashResult::Failed;
  for (;;) {
    {
      base::CriticalSectionLock lock(lock_);
      if (state_ == kCancelRequested) return HashResult::Cancelled;
    }
    DWORD read = 0;
    if (!::ReadFile(file_, buffer.get(), kBlockSize, &read, nullptr)) return HashResult::Failed;
    if (read == 0) return HashResult::Completed;
    uint8_t digest[20];
    if (!sha1.Digest(buffer.get(), read, digest)) return HashResult::Failed;
    callback_->OnHash(digest);
  }
}

void HashTask::Finish(HashResult result) noexcept {
  IHashCallback* callback = std::exchange(callback_, nullptr);
  callback->OnComplete(result);
  callback->Release();
  Release();
}

}  // namespace downloader
