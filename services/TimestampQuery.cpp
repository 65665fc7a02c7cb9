#include "services/TimestampQuery.h"

#include "base/Platform.h"
#include "base/Text.h"

namespace stubframework::core {

std::wstring AppendTimestampQuery(const std::wstring& url, const UtcTime& time) {
  const wchar_t* separator = url.find(L'?') == std::wstring::npos ? L"?" : L"&";
  return url + separator + L"timestamp=" +
         base::FormatText(L"%4d%02d%02d%02d%02d%02d%3d", time.year, time.month, time.day, time.hour, time.minute,
                          time.second, time.milliseconds);
}

std::wstring AddTimestampQuery(const std::wstring& url) {
  SYSTEMTIME now = {};
  ::GetSystemTime(&now);
  return AppendTimestampQuery(
      url, UtcTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds});
}

}  // namespace stubframework::core
