// The inner task a composite task currently runs, with the one reference the
// composite holds on it.
//
// Threads: the owner's handlers swap the task while a Cancel on another thread
// may be cancelling it; the pointer is guarded by its own critical section, and
// CancelCurrent keeps a reference for the duration of the call, so the inner
// task cannot go away underneath it.
#pragma once

#include "base/CriticalSection.h"
#include "downloader/ITask.h"

#include <utility>

namespace downloader {

class CurrentTask {
 public:
  CurrentTask() noexcept = default;
  CurrentTask(const CurrentTask&) = delete;
  CurrentTask& operator=(const CurrentTask&) = delete;
  ~CurrentTask() { Release(); }

  // Takes over the caller's reference on `task`.
  void Set(ITask* task) noexcept {
    ITask* old;
    {
      base::CriticalSectionLock lock(lock_);
      old = std::exchange(task_, task);
    }
    if (old) old->Release();
  }
  // Hands the held reference to the caller (null when none).
  [[nodiscard]] ITask* Take() noexcept {
    base::CriticalSectionLock lock(lock_);
    return std::exchange(task_, nullptr);
  }
  void Release() noexcept { Set(nullptr); }

  void CancelCurrent() noexcept {
    ITask* task;
    {
      base::CriticalSectionLock lock(lock_);
      task = task_;
      if (task) task->AddRef();
    }
    if (task) {
      task->Cancel();
      task->Release();
    }
  }

 private:
  base::CriticalSection lock_;
  ITask* task_ = nullptr;
};

}  // namespace downloader
