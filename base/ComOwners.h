// Owners for the OLE automation types: BSTR and VARIANT. COM interface pointers
// use Microsoft::WRL::ComPtr (<wrl/client.h>).
#pragma once

#include "base/Platform.h"

#include <oleauto.h>

#include <string>
#include <utility>

namespace base {

// Owns one BSTR. Do not pass a BSTR to the constructor expecting a copy: it takes ownership.
class UniqueBstr {
 public:
  UniqueBstr() noexcept = default;
  explicit UniqueBstr(BSTR owned) noexcept : value_(owned) {}
  static UniqueBstr FromText(const std::wstring& text) {
    return UniqueBstr(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
  }
  UniqueBstr(UniqueBstr&& other) noexcept : value_(other.release()) {}
  UniqueBstr& operator=(UniqueBstr&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueBstr(const UniqueBstr&) = delete;
  UniqueBstr& operator=(const UniqueBstr&) = delete;
  ~UniqueBstr() { reset(); }

  BSTR get() const noexcept { return value_; }
  void reset(BSTR value = nullptr) noexcept {
    if (value_) ::SysFreeString(value_);
    value_ = value;
  }
  [[nodiscard]] BSTR release() noexcept { return std::exchange(value_, nullptr); }
  BSTR* put() noexcept {
    reset();
    return &value_;
  }
  std::wstring text() const { return value_ ? std::wstring(value_, ::SysStringLen(value_)) : std::wstring(); }

 private:
  BSTR value_ = nullptr;
};

// Owns one VARIANT; cleared with VariantClear when destroyed or reset.
class UniqueVariant {
 public:
  UniqueVariant() noexcept { ::VariantInit(&value_); }
  UniqueVariant(UniqueVariant&& other) noexcept {
    value_ = other.value_;
    ::VariantInit(&other.value_);
  }
  UniqueVariant& operator=(UniqueVariant&& other) noexcept {
    if (this != &other) {
      reset();
      value_ = other.value_;
      ::VariantInit(&other.value_);
    }
    return *this;
  }
  UniqueVariant(const UniqueVariant&) = delete;
  UniqueVariant& operator=(const UniqueVariant&) = delete;
  ~UniqueVariant() { reset(); }

  VARIANT* get() noexcept { return &value_; }
  const VARIANT* get() const noexcept { return &value_; }
  VARIANT* put() noexcept {
    reset();
    return &value_;
  }
  void reset() noexcept {
    ::VariantClear(&value_);
    ::VariantInit(&value_);
  }
  // Hands the contents to the caller, who then owns them.
  [[nodiscard]] VARIANT release() noexcept {
    VARIANT out = value_;
    ::VariantInit(&value_);
    return out;
  }

 private:
  VARIANT value_;
};

}  // namespace base
