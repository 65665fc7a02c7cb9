// The state word and close protocol shared by the engine's tasks.
//
// The word starts at -1 (never started). Its low 31 bits count operations in
// flight (Start itself counts as one); bit 31 is the closing flag, never cleared
// once set. The first Close records the task's result; the close action runs
// exactly once, when the task is closing and no operation is in flight.
//
// Threads: every method may be called from any thread. The word and the result
// are read and written only under the critical section, which the holding
// thread may enter again. The close action itself (Derived::CloseAction) runs
// after the section is left, so a close action that completes the task at once
// (and so may destroy it) never runs with the section held; the caller of
// Close/LeaveOperation must keep the task alive for the duration of the call.
#pragma once

#include "base/CriticalSection.h"

#include <cstdint>

namespace downloader {

template <typename Derived, typename Result>
class TaskLock {
 protected:
  static constexpr int32_t kNotStarted = -1;
  static constexpr uint32_t kClosingFlag = 0x80000000u;

  // -1 -> 1. Returns false (and changes nothing) when the task was started before.
  bool BeginStart() noexcept {
    base::CriticalSectionLock lock(lock_);
    if (state_ != static_cast<uint32_t>(kNotStarted)) return false;
    state_ = 1;
    return true;
  }

  // Returns false when the task is closing: the caller skips its work and must
  // not call LeaveOperation.
  bool EnterOperation() noexcept {
    base::CriticalSectionLock lock(lock_);
    if (state_ & kClosingFlag) return false;
    ++state_;
    return true;
  }

  void LeaveOperation() noexcept {
    bool closeNow;
    {
      base::CriticalSectionLock lock(lock_);
      const uint32_t before = state_--;
      closeNow = before == (kClosingFlag | 1u);
    }
    if (closeNow) static_cast<Derived*>(this)->CloseAction();
  }

  // Sets the closing flag; the first Close of a started task records `result`.
  void Close(Result result) noexcept {
    bool closeNow;
    {
      base::CriticalSectionLock lock(lock_);
      const uint32_t old = state_;
      if (old == static_cast<uint32_t>(kNotStarted)) return;  // a Cancel before Start has no effect
      state_ = old | kClosingFlag;
      if (!(old & kClosingFlag)) result_ = result;
      closeNow = old == 0;
    }
    if (closeNow) static_cast<Derived*>(this)->CloseAction();
  }

  Result StoredResult() noexcept {
    base::CriticalSectionLock lock(lock_);
    return result_;
  }
  bool IsClosing() noexcept {
    base::CriticalSectionLock lock(lock_);
    return (state_ & kClosingFlag) != 0;
  }

 private:
  base::CriticalSection lock_;
  uint32_t state_ = static_cast<uint32_t>(kNotStarted);
  Result result_{};
};

}  // namespace downloader
