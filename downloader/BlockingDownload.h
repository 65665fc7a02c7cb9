// Blocking adapters over the engine for callers on worker threads that want a
// result synchronously. Each waits without a time limit: the task always
// completes (its own timeouts bound the network phases).
//
// Threads: call from a worker thread (never from a thread the engine needs).
#pragma once

#include "base/Platform.h"
#include "base/UniqueAny.h"
#include "downloader/HashTask.h"
#include "downloader/HttpToMemTask.h"
#include "downloader/MetaFile.h"

namespace stubframework::utils {

// Receives a memory download: copies the bytes into the caller's buffer on
// success, then sets its event.
class HttpToMemCallback : public downloader::ITaskCallback<downloader::HttpToMemResult&&> {
 public:
  // `target` must outlive the wait; `event` is a manual-reset event.
  HttpToMemCallback(downloader::Buffer* target, HANDLE event) noexcept : target_(target), event_(event) {}
  void OnComplete(downloader::HttpToMemResult&& result) noexcept override;
  bool succeeded() const noexcept { return success_; }
  long result() const noexcept { return result_; }

 private:
  downloader::Buffer* target_;
  HANDLE event_;
  bool success_ = false;
  long result_ = 0;
};

// Compares each block digest with the meta file's and cancels the hash at the
// first difference or at a block the meta does not list.
class HashCallback : public downloader::IHashCallback {
 public:
  HashCallback(const downloader::DownloadMetaSimple* meta, HANDLE event) noexcept : meta_(meta), event_(event) {}
  ~HashCallback() override;
  // Takes a reference on the task it may cancel (released with this object).
  void SetTask(downloader::HashTask* task) noexcept;
  void OnHash(const uint8_t digest[20]) noexcept override;
  void OnComplete(downloader::HashResult result) noexcept override;
  downloader::HashResult result() const noexcept { return result_; }

 private:
  const downloader::DownloadMetaSimple* meta_;
  size_t counter_ = 0;
  downloader::HashTask* task_ = nullptr;
  HANDLE event_;
  downloader::HashResult result_ = downloader::HashResult::Cancelled;
};

// Downloads `url` into `out`. Returns the task's HRESULT (0x8007000E when the
// task or its event cannot be made).
[[nodiscard]] long DownloadToMemory(const wchar_t* url, downloader::ILogger* logger, downloader::Buffer* out) noexcept;

// Hashes `file` from its current position and compares block by block with
// `meta`. Returns Completed only when every block read matched its digest (a
// file shorter than the meta also gives Completed: the caller compares sizes).
[[nodiscard]] downloader::HashResult VerifyFileBlocks(HANDLE file, const downloader::DownloadMetaSimple& meta) noexcept;

}  // namespace stubframework::utils
