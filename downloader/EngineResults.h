// Result codes and record types shared by the download engine's tasks.
//
// Every result inside the engine is an HRESULT (a `long`); Win32 codes become
// 0x80070000 | code. The records here are plain values, moved between threads
// only through the task callbacks.
#pragma once

#include "downloader/Buffer.h"

#include <cstdint>
#include <string>

namespace downloader {

namespace results {
constexpr long kOk = 0;
constexpr long kOutOfMemory = static_cast<long>(0x8007000EL);
constexpr long kFailed = static_cast<long>(0x80004005L);
constexpr long kAborted = static_cast<long>(0x80004004L);           // DownloadSimpleTask cancelled
constexpr long kHttpCancelled = static_cast<long>(0x80072EF1L);     // 12017 operation cancelled
constexpr long kIncorrectFormat = static_cast<long>(0x80072EFBL);   // 12027 unexpected status/length/range
constexpr long kInternalError = static_cast<long>(0x80072EE4L);     // 12004 short read
constexpr long kInvalidUrl = static_cast<long>(0x80072EE5L);        // 12005 scheme not HTTP(S)

constexpr bool Failed(long result) noexcept { return result < 0; }

// Win32 error code to HRESULT: codes above 0 become 0x80070000 | (code & 0xFFFF).
constexpr long FromWin32(unsigned long code) noexcept {
  return static_cast<long>(code) > 0 ? static_cast<long>(0x80070000UL | (code & 0xFFFFUL))
                                     : static_cast<long>(code);
}
}  // namespace results

enum HashResult : int32_t { Completed = 0, Cancelled = 1, Failed = 2 };

// Parameters of one HTTP GET. size 0 asks for the whole entity (no Range header);
// an empty etag sends no If-Range.
struct HttpRange {
  int64_t offset = 0;
  int64_t size = 0;
  std::string etag;
};

// What a response header told. statusCode is -1 when it could not be read and
// total is -1 when the response states no length.
struct HttpHeaderInfo {
  int32_t statusCode = -1;
  std::string etag;
  int64_t offset = 0;
  int64_t size = 0;
  int64_t total = -1;
};

// Outcome of a download to memory; on success `data` holds the whole entity.
struct HttpToMemResult {
  long result = results::kOk;
  Buffer data;
};

}  // namespace downloader
