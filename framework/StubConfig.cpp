#include "framework/StubConfig.h"

#include "BuildConfig.h"
#include "base/Platform.h"
#include "base/Text.h"
#include "base/UniqueAny.h"
#include "framework/CommandLine.h"
#include "framework/ProcessCommandLine.h"
#include "framework/Registry.h"
#include "methods/LanguageTable.h"
#include "services/MachineId.h"

#include <objbase.h>

namespace stubframework {

namespace {

constexpr wchar_t kBaseRegRoot[] = L"HKEY_CURRENT_USER\\SOFTWARE\\Vandor\\stubframework";
constexpr wchar_t kRequestTokenTemplate[] = L"XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX";
constexpr wchar_t kMachineIdTemplate[] = L"X-XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX";
constexpr wchar_t kOther[] = L"Other";

std::wstring NewRequestToken() {
  std::wstring token;
  return core::CreateGuidText(token) ? token : std::wstring(kRequestTokenTemplate);
}

std::wstring QueryArchitecture() {
  SYSTEM_INFO info = {};
  ::GetNativeSystemInfo(&info);
  return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
                 info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64
             ? L"x64"
             : L"x86";
}

std::wstring ReadStartMenuInternet(HKEY root, const wchar_t* subKey, bool& opened) {
  HKEY key = nullptr;
  opened = ::RegOpenKeyExW(root, subKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
  if (!opened) return {};
  BYTE buffer[520 + sizeof(wchar_t)] = {};
  DWORD size = 520;
  const bool read = ::RegQueryValueExW(key, nullptr, nullptr, nullptr, buffer, &size) == ERROR_SUCCESS;
  const bool closed = ::RegCloseKey(key) == ERROR_SUCCESS;
  return read && closed ? std::wstring(reinterpret_cast<const wchar_t*>(buffer)) : std::wstring(kOther);
}

std::wstring QueryDefaultBrowser() {
  bool opened = false;
  std::wstring browser = ReadStartMenuInternet(HKEY_CURRENT_USER, L"Software\\Clients\\StartMenuInternet", opened);
  if (!opened) browser = ReadStartMenuInternet(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Clients\\StartMenuInternet", opened);
  return opened ? browser : std::wstring(kOther);
}

std::wstring QueryOsName() {
  OSVERSIONINFOEXW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) return kOther;
#pragma GCC diagnostic pop
  SYSTEM_INFO system = {};
  ::GetNativeSystemInfo(&system);
  return StubConfig::osNameFor(info.dwMajorVersion, info.dwMinorVersion, info.wProductType,
                               system.wProcessorArchitecture);
}

}  // namespace

std::wstring StubConfig::majorVersionOf(const std::wstring& buildVersion) {
  return buildVersion.substr(0, buildVersion.find(L'.'));
}

std::wstring StubConfig::makeBaseRegKey(const std::wstring& productId, const std::wstring& buildVersion) {
  return std::wstring(kBaseRegRoot) + L"\\" + productId + L"\\" + majorVersionOf(buildVersion);
}

std::wstring StubConfig::osNameFor(unsigned major, unsigned minor, unsigned productType, unsigned nativeArchitecture) {
  if (major == 5) {
    if (minor == 1) return L"Windows XP";
    if (minor == 2 && productType == VER_NT_WORKSTATION && nativeArchitecture == PROCESSOR_ARCHITECTURE_AMD64) {
      return L"Windows XP";
    }
    return kOther;
  }
  if (productType != VER_NT_WORKSTATION) return kOther;
  if (major == 6) {
    switch (minor) {
      case 0: return L"Windows Vista";
      case 1: return L"Windows 7";
      case 2:
      case 3: return L"Windows 8";
      case 4: return L"Windows 10";
      default: return kOther;
    }
  }
  return major == 10 ? L"Windows 10" : kOther;
}

StubConfig::StubConfig(const std::wstring& buildVersion) {
  productId_ = build::kProductId;
  productVersion_ = buildVersion.empty() ? std::wstring(build::kBuildVersion) : buildVersion;
  clientVersion_ = L"1.0";
  channelId_ = L"test";
  passthrough_ = cmdline::passthroughFrom(processCommandLine());
  requestToken_ = NewRequestToken();
  machineIdSource_ = kMachineIdTemplate;
  {
    // The virtual-machine test asks WMI, which needs an apartment on this thread.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    (void)core::GetMachineId(machineIdSource_);  // keeps the placeholder on failure
    if (SUCCEEDED(com)) ::CoUninitialize();
  }
  architecture_ = QueryArchitecture();
  defaultBrowser_ = QueryDefaultBrowser();
  osName_ = QueryOsName();
  country_ = base::FormatText(L"%d", static_cast<int>(::GetUserGeoID(GEOCLASS_NATION)));
  uiLanguageIndex_ = languageNumberFromId(::GetUserDefaultUILanguage());
  status_ = kEnvironmentNotMeet;
  baseRegKey_ = makeBaseRegKey(productId_, productVersion_);
  properties_.set(L"osbits", architecture_ == L"x64" ? L"64" : L"32");
  setInstallLanguage(kLanguageEnglish);
}

std::wstring StubConfig::machineId() const { return core::ReportedMachineId(machineIdSource_); }

const std::wstring& StubConfig::fieldWithFallback(std::wstring& field, const wchar_t* valueName) {
  if (field.empty()) {
    std::wstring stored;
    if (readRegValue(baseRegKey_, valueName, stored)) field = stored;
  }
  return field;
}

bool StubConfig::writeMirror(const wchar_t* valueName, const std::wstring& text) {
  return writeRegValue(baseRegKey_, valueName, text, false);
}

const std::wstring& StubConfig::productId() { return fieldWithFallback(productId_, regvalue::kProductId); }
const std::wstring& StubConfig::productVersion() {
  return fieldWithFallback(productVersion_, regvalue::kProductVersion);
}
const std::wstring& StubConfig::channelId() { return fieldWithFallback(channelId_, regvalue::kChannel); }
const std::wstring& StubConfig::installLanguage() {
  return fieldWithFallback(installLanguage_, regvalue::kInstallLanguage);
}
const std::wstring& StubConfig::clientVersion() { return fieldWithFallback(clientVersion_, regvalue::kClientVersion); }

int StubConfig::getStatus() {
  if (status_ == kUnsetValue) {
    std::wstring stored;
    if (readRegValue(baseRegKey_, regvalue::kStatus, stored)) status_ = _wtoi(stored.c_str());
  }
  return status_;
}

void StubConfig::setStatus(int value) {
  status_ = value;
  writeMirror(regvalue::kStatus, base::FormatText(L"%d", value));
}

bool StubConfig::setInstallLanguage(int languageNumber) {
  const LanguageRow* row = languageRow(languageNumber);
  if (!row) return false;
  installLanguage_ = row->englishName;
  properties_.set(L"lang", row->code);
  writeMirror(regvalue::kInstallLanguage, installLanguage_);
  return true;
}

void StubConfig::setChannel(const std::wstring& channel) {
  channelId_ = channel;
  writeMirror(regvalue::kChannel, channel);
}

}  // namespace stubframework
