// The XML documents the stub sends to the service host: the analytics report,
// the user-activity record and the region-check request, plus the status texts
// of the analytics report. Values are inserted exactly as given (the service
// reads them raw, so nothing is escaped), elements follow one fixed order and
// nothing separates them. Pure functions without system calls.
#pragma once

#include <map>
#include <string>

namespace stubframework::core {

struct AnalyticsFields {
  std::wstring requestToken;
  std::wstring country;
  std::wstring productId;
  std::wstring productVersion;
  std::wstring channelId;
  std::wstring installLanguage;
  std::wstring statusText;
  std::map<std::wstring, std::wstring> externalProperties;  // sent in ascending name order
  std::wstring os;
  std::wstring language;
  std::wstring architecture;
  std::wstring defaultBrowser;
  std::wstring clientVersion;
  std::wstring machineId;
};

// The text reported for an install status code; empty for a code without one.
std::wstring StatusText(int statusCode);
// The code the final report carries for a status: NOTSTART (0) becomes CANCEL (3).
int FinalReportStatus(int status);

std::wstring BuildAnalyticsXml(const AnalyticsFields& fields);
std::wstring BuildUserActivityXml(const std::wstring& requestToken, const std::wstring& productId,
                                  const std::wstring& productVersion, const std::wstring& activity);
std::wstring BuildRegionCheckXml(const std::wstring& requestToken, const std::wstring& productId,
                                 const std::wstring& productVersion, const std::wstring& channel,
                                 const std::wstring& os, const std::wstring& machineId);

}  // namespace stubframework::core
