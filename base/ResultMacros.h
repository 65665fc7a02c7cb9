// Early-return macros for the ways a Windows call can fail. Each failure is handed
// to one hook with its file and line, so the root of an error is marked where it begins.
#pragma once

#include "base/Platform.h"

namespace base {

using FailureHook = void (*)(const char* file, int line, HRESULT hr) noexcept;

// Installs the hook that sees every failure passing through the macros below
// (null removes it). Set once at start-up, before worker threads exist.
void SetFailureHook(FailureHook hook) noexcept;
void ReportFailure(const char* file, int line, HRESULT hr) noexcept;

// Win32 error code to HRESULT: codes above 0 become 0x80070000 | (code & 0xFFFF);
// zero and negative values pass unchanged.
constexpr HRESULT HresultFromWin32(long code) noexcept {
  return code > 0 ? static_cast<HRESULT>(0x80070000u | (static_cast<unsigned long>(code) & 0xFFFFu))
                  : static_cast<HRESULT>(code);
}
inline HRESULT LastErrorHresult() noexcept {
  const DWORD error = ::GetLastError();
  return error == 0 ? E_FAIL : HresultFromWin32(static_cast<long>(error));
}

}  // namespace base

#define RETURN_IF_FAILED(expr)                                 \
  do {                                                         \
    const HRESULT hr_ = (expr);                                \
    if (FAILED(hr_)) {                                         \
      ::base::ReportFailure(__FILE__, __LINE__, hr_);          \
      return hr_;                                              \
    }                                                          \
  } while (0)

#define RETURN_IF_WIN32_BOOL_FALSE(expr)                       \
  do {                                                         \
    if (!(expr)) {                                             \
      const HRESULT hr_ = ::base::LastErrorHresult();          \
      ::base::ReportFailure(__FILE__, __LINE__, hr_);          \
      return hr_;                                              \
    }                                                          \
  } while (0)

#define RETURN_IF_WIN32_ERROR(expr)                                              \
  do {                                                                           \
    const long error_ = static_cast<long>(expr);                                 \
    if (error_ != 0) {                                                           \
      const HRESULT hr_ = ::base::HresultFromWin32(error_);                      \
      ::base::ReportFailure(__FILE__, __LINE__, hr_);                            \
      return hr_;                                                                \
    }                                                                            \
  } while (0)

#define RETURN_HR_IF(hr, condition)                            \
  do {                                                         \
    if (condition) {                                           \
      ::base::ReportFailure(__FILE__, __LINE__, (hr));         \
      return (hr);                                             \
    }                                                          \
  } while (0)
