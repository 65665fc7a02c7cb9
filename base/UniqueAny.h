// One owner template for every kind of handle: the traits say what "no handle" is
// and how a handle is closed. Move-only; closes what it holds when destroyed.
#pragma once

#include "base/Platform.h"

#include <utility>

namespace base {

template <typename Traits>
class UniqueAny {
 public:
  using Type = typename Traits::Type;

  UniqueAny() noexcept : value_(Traits::Invalid()) {}
  explicit UniqueAny(Type value) noexcept : value_(value) {}
  UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;
  ~UniqueAny() { reset(); }

  Type get() const noexcept { return value_; }
  bool valid() const noexcept { return value_ != Traits::Invalid(); }
  explicit operator bool() const noexcept { return valid(); }

  // Closes the current handle (if any) and takes ownership of `value`.
  void reset(Type value = Traits::Invalid()) noexcept {
    if (valid()) Traits::Close(value_);
    value_ = value;
  }
  // Gives up ownership without closing.
  [[nodiscard]] Type release() noexcept { return std::exchange(value_, Traits::Invalid()); }
  // For out-parameters: closes the current handle and returns the slot to fill.
  Type* put() noexcept {
    reset();
    return &value_;
  }

 private:
  Type value_;
};

struct HandleTraits {
  using Type = HANDLE;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::CloseHandle(h); }
};
struct FileHandleTraits {
  using Type = HANDLE;
  static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) noexcept { ::CloseHandle(h); }
};
struct RegKeyTraits {
  using Type = HKEY;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::RegCloseKey(h); }
};
struct FindHandleTraits {
  using Type = HANDLE;
  static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) noexcept { ::FindClose(h); }
};
struct LibraryTraits {
  using Type = HMODULE;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::FreeLibrary(h); }
};
struct LocalMemTraits {
  using Type = HLOCAL;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept { ::LocalFree(h); }
};

using UniqueHandle = UniqueAny<HandleTraits>;          // events, mutexes, processes, threads
using UniqueFileHandle = UniqueAny<FileHandleTraits>;  // CreateFileW results
using UniqueRegKey = UniqueAny<RegKeyTraits>;
using UniqueFindHandle = UniqueAny<FindHandleTraits>;
using UniqueLibrary = UniqueAny<LibraryTraits>;
using UniqueLocalMem = UniqueAny<LocalMemTraits>;

}  // namespace base
