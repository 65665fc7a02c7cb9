#include "product/TrackingProperties.h"

#include "BuildConfig.h"
#include "base/Platform.h"
#include "base/Text.h"
#include "framework/Registry.h"
#include "methods/LanguageTable.h"
#include "methods/SystemVersion.h"

#include <cwchar>

namespace myexternalmethods {

namespace {

// Set once by the version tests, never cleared (process-wide).
bool g_atLeast61 = false;
bool g_atLeast62 = false;
bool g_atLeast63 = false;
bool g_atLeast100 = false;

bool AtLeast(DWORD major, DWORD minor) {
  OSVERSIONINFOEXW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  info.dwMajorVersion = major;
  info.dwMinorVersion = minor;
  info.wServicePackMajor = 0;
  DWORDLONG condition = 0;
  condition = ::VerSetConditionMask(condition, VER_MAJORVERSION, VER_GREATER_EQUAL);
  condition = ::VerSetConditionMask(condition, VER_MINORVERSION, VER_GREATER_EQUAL);
  condition = ::VerSetConditionMask(condition, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
  return ::VerifyVersionInfoW(&info, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, condition) != FALSE;
}

void RunVersionChain() {
  if (!(AtLeast(5, 1) && AtLeast(6, 0) && AtLeast(6, 1))) return;
  g_atLeast61 = true;
  if (!AtLeast(6, 2)) return;
  g_atLeast62 = true;
  if (!AtLeast(6, 3)) return;
  g_atLeast63 = true;
  if (!AtLeast(10, 0)) return;
  g_atLeast100 = true;
}

bool IsWindows11() {
  const std::wstring key = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
  std::wstring major;
  if (!stubframework::readRegValue(key, L"CurrentMajorVersionNumber", major)) return false;
  if (std::wcstol(major.c_str(), nullptr, 10) < 10) return false;
  std::wstring build;
  if (!stubframework::readRegValue(key, L"CurrentBuildNumber", build)) return false;
  return std::wcstol(build.c_str(), nullptr, 10) >= 22000;
}

void AppendPart(std::wstring& out, const wchar_t* key, const std::wstring& value) {
  if (value.empty()) return;
  out += L"|";
  out += key;
  out += L"=";
  out += value;
}

}  // namespace

std::wstring deviceBitsFor(unsigned nativeArchitecture) {
  return nativeArchitecture == PROCESSOR_ARCHITECTURE_AMD64 || nativeArchitecture == PROCESSOR_ARCHITECTURE_IA64
             ? L"64"
             : L"86";
}

std::wstring deviceOsFor(bool atLeast61, bool atLeast62, bool atLeast100, bool windows11) {
  if (windows11) return L"Windows 11";
  if (atLeast100) return L"Windows 10";
  if (atLeast62) return L"Windows 8";
  if (atLeast61) return L"Windows 7";
  return L"Other";
}

std::wstring deviceLangFor(unsigned languageId) {
  const stubframework::LanguageRow* row = stubframework::languageRow(stubframework::languageNumberFromId(languageId));
  return row ? row->code : L"other";
}

std::wstring osVersionAndBuild() {
  stubframework::SystemVersion version;
  if (!stubframework::rtlSystemVersion(version)) return {};
  return base::FormatText(L"%u.%u.%u", version.major, version.minor, version.build);
}

TrackingProperties TrackingProperties::ForThisDevice() {
  TrackingProperties properties;
  properties.installStubVersion = stubframework::build::kBuildVersion;
  SYSTEM_INFO system = {};
  ::GetNativeSystemInfo(&system);
  properties.deviceBits = deviceBitsFor(system.wProcessorArchitecture);
  RunVersionChain();
  properties.deviceOs = deviceOsFor(g_atLeast61, g_atLeast62, g_atLeast100, IsWindows11());
  properties.deviceOsVersion = osVersionAndBuild();
  properties.deviceLang = deviceLangFor(::GetUserDefaultUILanguage());
  return properties;
}

std::wstring TrackingProperties::text() const {
  std::wstring out;
  AppendPart(out, L"install.channel", installChannel);
  AppendPart(out, L"install.msi-build-number", installMsiBuildNumber);
  AppendPart(out, L"install.msi-filename", installMsiFilename);
  AppendPart(out, L"install.application", installApplication);
  AppendPart(out, L"install.language", installLanguage);
  AppendPart(out, L"install.stub-version", installStubVersion);
  AppendPart(out, L"install.license", installLicense);
  AppendPart(out, L"install.analytics", installAnalytics);
  AppendPart(out, L"device.bits", deviceBits);
  AppendPart(out, L"device.os", deviceOs);
  AppendPart(out, L"device.os-version", deviceOsVersion);
  AppendPart(out, L"device.lang", deviceLang);
  return out;
}

}  // namespace myexternalmethods
