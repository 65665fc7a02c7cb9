#include "downloader/ContentRange.h"

#include <limits>

namespace downloader {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

// Reads digits at `pos`; false on no digit or overflow of int64.
bool ReadNumber(std::string_view text, size_t* pos, int64_t* out) {
  const int64_t max = std::numeric_limits<int64_t>::max();
  size_t i = *pos;
  int64_t value = 0;
  if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const int digit = text[i] - '0';
    if (value > (max - digit) / 10) return false;
    value = value * 10 + digit;
  }
  *pos = i;
  *out = value;
  return true;
}

bool Expect(std::string_view text, size_t* pos, char c) {
  if (*pos >= text.size() || text[*pos] != c) return false;
  ++*pos;
  return true;
}

}  // namespace

bool ParseContentRange(std::string_view text, ContentRange* out) noexcept {
  size_t pos = 0;
  while (pos < text.size() && IsSpace(text[pos])) ++pos;
  static constexpr std::string_view kUnit = "bytes";
  if (text.size() - pos < kUnit.size()) return false;
  for (size_t i = 0; i < kUnit.size(); ++i) {
    const char c = text[pos + i];
    if ((c | 0x20) != kUnit[i]) return false;
  }
  pos += kUnit.size();
  if (pos >= text.size() || !IsSpace(text[pos])) return false;
  while (pos < text.size() && IsSpace(text[pos])) ++pos;
  int64_t first = 0, last = 0, total = 0;
  if (!ReadNumber(text, &pos, &first) || !Expect(text, &pos, '-') || !ReadNumber(text, &pos, &last) ||
      !Expect(text, &pos, '/') || !ReadNumber(text, &pos, &total))
    return false;
  while (pos < text.size() && IsSpace(text[pos])) ++pos;
  if (pos != text.size()) return false;
  if (first > last || last >= total) return false;
  out->offset = first;
  out->size = last - first + 1;
  out->total = total;
  return true;
}

bool ParseDecimal64(std::string_view text, int64_t* out) noexcept {
  size_t pos = 0;
  while (pos < text.size() && IsSpace(text[pos])) ++pos;
  int64_t value = 0;
  if (!ReadNumber(text, &pos, &value)) return false;
  while (pos < text.size() && IsSpace(text[pos])) ++pos;
  if (pos != text.size()) return false;
  *out = value;
  return true;
}

}  // namespace downloader
