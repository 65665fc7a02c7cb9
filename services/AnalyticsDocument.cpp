#include "services/AnalyticsDocument.h"

#include <cwchar>
#include <utility>

namespace stubframework::core {

namespace {

// (code text, status text); the codes of 71 and above are maintenance results.
constexpr std::pair<const wchar_t*, const wchar_t*> kStatusTexts[] = {
    {L"0", L"started"},
    {L"1", L"completed"},
    {L"2", L"error occurred"},
    {L"3", L"canceled"},
    {L"4", L"environment not supported"},
    {L"5", L"downloaded"},
    {L"6", L"stub failed"},
    {L"71", L"modify completed"},
    {L"72", L"modify error occurred"},
    {L"73", L"modify canceled"},
    {L"81", L"repair completed"},
    {L"82", L"repair error occurred"},
    {L"83", L"repair canceled"},
    {L"91", L"remove completed"},
    {L"92", L"remove error occurred"},
    {L"93", L"remove canceled"},
};

const std::map<int, std::wstring>& StatusTable() {
  static const std::map<int, std::wstring> table = [] {
    std::map<int, std::wstring> built;
    for (const auto& [code, text] : kStatusTexts) built.emplace(static_cast<int>(std::wcstol(code, nullptr, 10)), text);
    return built;
  }();
  return table;
}

void AppendElement(std::wstring& out, const wchar_t* name, const std::wstring& value) {
  out += L'<';
  out += name;
  out += L'>';
  out += value;
  out += L"</";
  out += name;
  out += L'>';
}

}  // namespace

std::wstring StatusText(int statusCode) {
  const auto& table = StatusTable();
  const auto found = table.find(statusCode);
  return found == table.end() ? std::wstring() : found->second;
}

int FinalReportStatus(int status) { return status == 0 ? 3 : status; }

std::wstring BuildAnalyticsXml(const AnalyticsFields& fields) {
  std::wstring out = L"<TVDLMAnalytics>";
  AppendElement(out, L"requestToken", fields.requestToken);
  AppendElement(out, L"country", fields.country);
  out += L"<mainApp>";
  AppendElement(out, L"productId", fields.productId);
  AppendElement(out, L"productVersion", fields.productVersion);
  AppendElement(out, L"channelId", fields.channelId);
  AppendElement(out, L"installLanguage", fields.installLanguage);
  AppendElement(out, L"status", fields.statusText);
  if (!fields.externalProperties.empty()) {
    out += L"<externalProperties>";
    for (const auto& [name, value] : fields.externalProperties) {
      out += L"<property>";
      AppendElement(out, L"name", name);
      AppendElement(out, L"value", value);
      out += L"</property>";
    }
    out += L"</externalProperties>";
  }
  out += L"</mainApp>";
  out += L"<error></error>";
  out += L"<userEnvironment>";
  AppendElement(out, L"OS", fields.os);
  AppendElement(out, L"language", fields.language);
  AppendElement(out, L"architecture", fields.architecture);
  AppendElement(out, L"defaultBrowser", fields.defaultBrowser);
  out += L"</userEnvironment>";
  AppendElement(out, L"TVDLMVersion", fields.clientVersion);
  AppendElement(out, L"machineId", fields.machineId);
  out += L"</TVDLMAnalytics>";
  return out;
}

std::wstring BuildUserActivityXml(const std::wstring& requestToken, const std::wstring& productId,
                                  const std::wstring& productVersion, const std::wstring& activity) {
  std::wstring out = L"<UserActivity>";
  AppendElement(out, L"token", requestToken);
  AppendElement(out, L"productId", productId);
  AppendElement(out, L"productVersion", productVersion);
  AppendElement(out, L"activity", activity);
  out += L"</UserActivity>";
  return out;
}

std::wstring BuildRegionCheckXml(const std::wstring& requestToken, const std::wstring& productId,
                                 const std::wstring& productVersion, const std::wstring& channel,
                                 const std::wstring& os, const std::wstring& machineId) {
  std::wstring out = L"<RegionRestrictions>";
  AppendElement(out, L"token", requestToken);
  AppendElement(out, L"productId", productId);
  AppendElement(out, L"productVersion", productVersion);
  AppendElement(out, L"channel", channel);
  AppendElement(out, L"os", os);
  AppendElement(out, L"machineId", machineId);
  out += L"</RegionRestrictions>";
  return out;
}

}  // namespace stubframework::core
