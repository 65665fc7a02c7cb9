// Pure parsers of HTTP header values (no Windows headers; also built natively
// and fuzzed). Input is untrusted server text.
#pragma once

#include <cstdint>
#include <string_view>

namespace downloader {

// A Content-Range "bytes first-last/total" as offset = first, size = last - first + 1.
struct ContentRange {
  int64_t offset = 0;
  int64_t size = 0;
  int64_t total = -1;
};

// Accepts "bytes <first>-<last>/<total>" (spaces after "bytes", unit case-insensitive)
// with first <= last < total, every number decimal and below 2^63. Anything else
// (an unknown total "*", "bytes */N", garbage, trailing text) is rejected and
// `out` is left unchanged.
[[nodiscard]] bool ParseContentRange(std::string_view text, ContentRange* out) noexcept;

// A non-negative decimal below 2^63, optionally surrounded by spaces or tabs.
[[nodiscard]] bool ParseDecimal64(std::string_view text, int64_t* out) noexcept;

}  // namespace downloader
