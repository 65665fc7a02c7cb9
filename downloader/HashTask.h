// Hashes a file block by block (1 MiB blocks, SHA-1) from its current position
// to its end on a system thread-pool thread, reporting OnHash per block and one
// OnComplete(Completed | Cancelled | Failed).
//
// Threads: Start and Cancel from any thread; OnHash and OnComplete run on the
// pool thread. Cancel takes effect before the next block.
//
// Ownership: the file handle is borrowed and must stay open until OnComplete;
// the task never seeks (its owner positions the file). It holds its callback
// until completion and itself while the work item runs.
#pragma once

#include "base/CriticalSection.h"
#include "base/Platform.h"
#include "downloader/ITask.h"

namespace downloader {

class HashTask : public ITask {
 public:
  static constexpr DWORD kBlockSize = 1048576;

  // Null when the callback is null or memory runs out.
  static HashTask* Create(HANDLE file, IHashCallback* callback) noexcept;

  void Start() noexcept override;
  void Cancel() noexcept override;

  // SHA-1 of one block after another with the system's CNG provider, opened
  // once per pass. (A CryptoAPI context acquired per block made verification
  // run at a twentieth of sha1sum's speed under Wine; the digests are the same.)
  class Sha1Pass {
   public:
    Sha1Pass() noexcept = default;
    ~Sha1Pass();
    Sha1Pass(const Sha1Pass&) = delete;
    Sha1Pass& operator=(const Sha1Pass&) = delete;
    [[nodiscard]] bool Open() noexcept;
    [[nodiscard]] bool Digest(const uint8_t* data, DWORD size, uint8_t digest[20]) noexcept;

   private:
    void* algorithm_ = nullptr;  // the provider handle's owner
  };

 protected:
  HashTask(HANDLE file, IHashCallback* callback) noexcept;
  ~HashTask() override;

 private:
  enum State : int { kIdle = 0, kRunning = 1, kCancelRequested = 2 };

  static DWORD WINAPI Worker(void* context) noexcept;
  HashResult Run() noexcept;
  void Finish(HashResult result) noexcept;

  HANDLE file_;
  IHashCallback* callback_;
  int state_ = kIdle;
  base::CriticalSection lock_;
};

}  // namespace downloader
