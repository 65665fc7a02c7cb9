// Makes a download URL unique with a "timestamp=" query parameter of the current
// UTC time. Callable from any thread.
#pragma once

#include <string>

namespace stubframework::core {

struct UtcTime {
  int year, month, day, hour, minute, second, milliseconds;
};

// Appends "?" (or "&" when the URL already has a query) and "timestamp=" with the
// time as yyyymmddhhmmss followed by the milliseconds in a field 3 characters
// wide padded with spaces ("%3d"), e.g. "timestamp=20240305070809 45".
std::wstring AppendTimestampQuery(const std::wstring& url, const UtcTime& time);

// The same with the system's current UTC time.
std::wstring AddTimestampQuery(const std::wstring& url);

}  // namespace stubframework::core
