// The report channel: synchronous WinHTTP requests to the service host carrying
// XML reports and the zipped error logs. It has its own user agent, takes its
// proxy from the user's browser settings and never reads answers from a cache.
//
// Threads: no shared state; blocking; callable from any thread (reports run on
// the user-interface thread and on user-activity workers).
#pragma once

#include "base/Platform.h"
#include "base/UniqueAny.h"

#include <string>

namespace stubframework::core {

// Owner of a WinHTTP handle (closed with WinHttpCloseHandle).
struct ReportChannelHandleTraits {
  using Type = void*;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type h) noexcept;
};
using ReportChannelHandle = base::UniqueAny<ReportChannelHandleTraits>;

inline constexpr wchar_t kReportUserAgent[] = L"Pellion Message Client/1.0";
inline constexpr wchar_t kReportHeader[] = L"Content-Type:application/xml";

// A root handle over the user's browser proxy (named proxy and bypass list when
// one is set, otherwise no proxy); empty on failure.
[[nodiscard]] ReportChannelHandle OpenReportChannel();

// <windows.h> (included above) maps the name SendMessage to SendMessageW, so
// this function is core::SendMessageW in every file that sees this header.
// Sends one request with the report header and `body`; the answer is not read, so
// the result is whether the request went out. `verb` is "POST" or "PUT".
[[nodiscard]] bool SendMessage(const void* body, DWORD length, const wchar_t* path, const wchar_t* verb);

// POSTs `body` (with the report header only when there is a body) and reads the
// answer, whatever its HTTP status. True when send and receive succeeded;
// `response` holds the bytes read.
[[nodiscard]] bool ExchangeMessage(const wchar_t* path, const std::string& body, std::string& response);

}  // namespace stubframework::core
