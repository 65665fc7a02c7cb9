// Reference counting of the download engine's objects and its logging interface.
//
// Objects are created as details::Object<T> with a count of 1 (the creator's
// reference). AddRef and Release are safe from any thread: the count is guarded
// by a critical section per object. The object destroys itself when the last
// reference goes.
#pragma once

#include "base/CriticalSection.h"

#include <atomic>
#include <new>
#include <utility>

namespace downloader {

class IObject {
 public:
  virtual long AddRef() = 0;
  virtual long Release() = 0;

 protected:
  virtual ~IObject() = default;
};

// Engine log lines: `source` is "Class::Operation" (e.g. "HttpTask::Start"); the
// format is printf-style wide text ("%s" wide, "%S" narrow).
class ILogger : public IObject {
 public:
  virtual void Log(const wchar_t* source, const wchar_t* format, ...) = 0;
};

namespace details {

// Number of engine objects alive in this process; tests use it to find leaks.
long LiveObjectCount() noexcept;
void CountObject(int delta) noexcept;

template <typename T>
class Object final : public T {
 public:
  template <typename... Args>
  explicit Object(Args&&... args) : T(std::forward<Args>(args)...) {
    CountObject(+1);
  }

  // Returns a new object with count 1, or null when memory runs out.
  template <typename... Args>
  static Object* Create(Args&&... args) noexcept {
    return new (std::nothrow) Object(std::forward<Args>(args)...);
  }

  long AddRef() override {
    base::CriticalSectionLock lock(countLock_);
    return ++count_;
  }

  long Release() override {
    long before;
    {
      base::CriticalSectionLock lock(countLock_);
      before = count_--;
    }
    if (before == 1) delete this;
    return before - 1;
  }

 private:
  ~Object() override { CountObject(-1); }

  long count_ = 1;
  base::CriticalSection countLock_;
};

}  // namespace details

// Owning pointer to an engine object: releases its reference when destroyed.
template <typename T>
class RefPtr {
 public:
  RefPtr() noexcept = default;
  // Adopts a reference the caller already holds (e.g. from a factory).
  static RefPtr Adopt(T* object) noexcept {
    RefPtr out;
    out.object_ = object;
    return out;
  }
  RefPtr(const RefPtr& other) noexcept : object_(other.object_) {
    if (object_) object_->AddRef();
  }
  RefPtr(RefPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  RefPtr& operator=(RefPtr other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~RefPtr() { reset(); }

  void reset() noexcept {
    if (T* old = std::exchange(object_, nullptr)) old->Release();
  }
  T* get() const noexcept { return object_; }
  T* operator->() const noexcept { return object_; }
  explicit operator bool() const noexcept { return object_ != nullptr; }
  [[nodiscard]] T* release() noexcept { return std::exchange(object_, nullptr); }

 private:
  T* object_ = nullptr;
};

}  // namespace downloader
