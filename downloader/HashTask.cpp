#include "downloader/HashTask.h"

#include <wincrypt.h>

#include <cstdlib>
#include <memory>

namespace downloader {

namespace {

struct CryptContext {
  HCRYPTPROV provider = 0;
  HCRYPTHASH hash = 0;
  ~CryptContext() {
    if (hash) ::CryptDestroyHash(hash);
    if (provider) ::CryptReleaseContext(provider, 0);
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

bool HashTask::Sha1(const uint8_t* data, DWORD size, uint8_t digest[20]) noexcept {
  // A fresh verify-only context per block, as the provider is not shared
  // between threads or passes.
  CryptContext context;
  if (!::CryptAcquireContextW(&context.provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) return false;
  if (!::CryptCreateHash(context.provider, CALG_SHA1, 0, 0, &context.hash)) return false;
  if (!::CryptHashData(context.hash, data, size, 0)) return false;
  DWORD length = 20;
  return ::CryptGetHashParam(context.hash, HP_HASHVAL, digest, &length, 0) && length == 20;
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
  for (;;) {
    {
      base::CriticalSectionLock lock(lock_);
      if (state_ == kCancelRequested) return HashResult::Cancelled;
    }
    DWORD read = 0;
    if (!::ReadFile(file_, buffer.get(), kBlockSize, &read, nullptr)) return HashResult::Failed;
    if (read == 0) return HashResult::Completed;
    uint8_t digest[20];
    if (!Sha1(buffer.get(), read, digest)) return HashResult::Failed;
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
