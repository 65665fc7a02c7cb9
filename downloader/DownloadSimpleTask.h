// Block-verified, resumable download of one file. Fetches the meta file (size
// and one SHA-1 per 1 MiB block) into memory, sizes the local file to the final
// length keeping what it holds, hashes it from the start, and at the first
// block that does not match downloads from that block to the end; then hashes
// again from that block, until every block matches.
//
// Threads: Start on the caller's thread; the meta and file phases run on WinINet
// threads, the hash phase on a pool thread; Cancel from any thread. OnProgress
// and OnComplete are called on those threads. Only one inner task exists at a
// time, so the phases never overlap.
//
// Ownership: the destination file is opened (read-write, no sharing) once the
// meta file is known and closed exactly once, when the task completes. The task
// holds its callback until completion, its logger until destroyed and one
// reference on the inner task of the current phase.
#pragma once

#include "base/UniqueAny.h"
#include "downloader/CurrentTask.h"
#include "downloader/ITask.h"
#include "downloader/MetaFile.h"
#include "downloader/TaskLock.h"

#include <string>

namespace downloader {

class DownloadSimpleTask : public ITask, public TaskLock<DownloadSimpleTask, long> {
 public:
  // Verification rounds in a row that gain no block before the task gives up:
  // a server whose file does not match its meta would otherwise be downloaded
  // from forever.
  static constexpr int kMaxFruitlessRounds = 3;

  // Null when a URL, the path, the callback or the logger is null, or memory runs out.
  static DownloadSimpleTask* Create(const wchar_t* url, const wchar_t* metaUrl, const wchar_t* path,
                                    IDownloadCallback* callback, ILogger* logger) noexcept;

  void Start() noexcept override;
  void Cancel() noexcept override;

  // Nested callbacks of the three phases; each holds a plain pointer to the task.
  class DownloadMetaCallback : public ITaskCallback<HttpToMemResult&&> {
   public:
    explicit DownloadMetaCallback(DownloadSimpleTask* owner) noexcept : owner_(owner) {}
    void OnComplete(HttpToMemResult&& result) noexcept override { owner_->OnMetaComplete(std::move(result)); }

   private:
    DownloadSimpleTask* owner_;
  };
  class HashCallback : public IHashCallback {
   public:
    explicit HashCallback(DownloadSimpleTask* owner) noexcept : owner_(owner) {}
    void OnHash(const uint8_t digest[20]) noexcept override { owner_->OnHash(digest); }
    void OnComplete(HashResult result) noexcept override { owner_->OnHashComplete(result); }

   private:
    DownloadSimpleTask* owner_;
  };
  class DownloadFileCallback : public IHttpToFileCallback {
   public:
    explicit DownloadFileCallback(DownloadSimpleTask* owner) noexcept : owner_(owner) {}
    void OnProgress(int64_t offset, int64_t length) noexcept override { owner_->OnFileProgress(offset, length); }
    void OnComplete(long result) noexcept override;

   private:
    DownloadSimpleTask* owner_;
  };

 protected:
  DownloadSimpleTask(std::wstring url, std::wstring metaUrl, std::wstring path, IDownloadCallback* callback,
                     ILogger* logger) noexcept;
  ~DownloadSimpleTask() override;

 private:
  friend class TaskLock<DownloadSimpleTask, long>;
  void CloseAction() noexcept;
  [[nodiscard]] bool StartMeta() noexcept;
  void OnMetaComplete(HttpToMemResult&& meta) noexcept;
  [[nodiscard]] bool PrepareStart() noexcept;
  [[nodiscard]] bool StartHash() noexcept;
  void OnHash(const uint8_t digest[20]) noexcept;
  void OnHashComplete(HashResult result) noexcept;
  [[nodiscard]] bool StartDownload() noexcept;
  void OnFileProgress(int64_t offset, int64_t length) noexcept;
  void OnFileComplete(long result) noexcept;
  [[nodiscard]] bool SeekToBlock(const wchar_t* source) noexcept;
  // Leaves the current operation and runs the completion contract.
  void Finish(ITask* finished) noexcept;
  void Complete() noexcept;

  std::wstring url_;
  std::wstring metaUrl_;
  std::wstring path_;
  IDownloadCallback* callback_;
  CurrentTask current_;
  DownloadMetaSimple meta_;
  base::UniqueFileHandle file_;
  uint32_t blockIndex_ = 0;
  int64_t progress_ = 0;
  int64_t total_ = 0;
  uint32_t downloadBlock_ = 0;  // block the last download started at
  int fruitlessRounds_ = 0;
  bool downloaded_ = false;
  ILogger* logger_;
};

}  // namespace downloader
