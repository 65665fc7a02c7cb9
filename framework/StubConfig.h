// The configuration record of a run, built once at start-up on the main thread.
// A few values are mirrored under baseRegKey
// ("HKEY_CURRENT_USER\SOFTWARE\Vandor\stubframework\<product id>\<major version>",
// 32-bit view) so a later run can read them back.
//
// Threads: status, channel and install language are written on the user-interface
// thread and read elsewhere without a lock; the PropertyMap locks itself.
#pragma once

#include "framework/PropertyMap.h"

#include <map>
#include <string>

namespace stubframework {

// Names of the values mirrored under baseRegKey.
namespace regvalue {
inline constexpr const wchar_t kProductId[] = L"product_id";
inline constexpr const wchar_t kProductVersion[] = L"production_version";
inline constexpr const wchar_t kChannel[] = L"channel";
inline constexpr const wchar_t kInstallLanguage[] = L"install_language";
inline constexpr const wchar_t kStatus[] = L"status";
inline constexpr const wchar_t kSelfUpdateCode[] = L"selfupdate_code";
inline constexpr const wchar_t kClientVersion[] = L"client_version";
}  // namespace regvalue

class StubConfig {
 public:
  static constexpr int kUnsetValue = 2147483647;
  static constexpr int kEnvironmentNotMeet = 4;

  // `buildVersion` defaults to the build constant; tests pass their own.
  explicit StubConfig(const std::wstring& buildVersion = std::wstring());

  // Getters that fall back to the registry mirror when the field is empty.
  const std::wstring& productId();
  const std::wstring& productVersion();
  const std::wstring& channelId();
  const std::wstring& installLanguage();
  const std::wstring& clientVersion();

  int getStatus();
  void setStatus(int value);
  // Language number 0 to 107; a number outside the table changes nothing.
  bool setInstallLanguage(int languageNumber);
  void setChannel(const std::wstring& channel);

  int selfUpdateCode() const { return selfUpdateCode_; }
  void setSelfUpdateCode(int code) { selfUpdateCode_ = code; }

  const std::wstring& baseRegKey() const { return baseRegKey_; }
  const std::wstring& requestToken() const { return requestToken_; }
  const std::wstring& country() const { return country_; }
  const std::wstring& osName() const { return osName_; }
  int uiLanguageIndex() const { return uiLanguageIndex_; }
  const std::wstring& architecture() const { return architecture_; }
  const std::wstring& defaultBrowser() const { return defaultBrowser_; }
  const std::wstring& machineIdSource() const { return machineIdSource_; }
  // The reported machine id: the SHA-256 digest of the raw id in lower-case hex,
  // computed on each call (callable from any thread).
  std::wstring machineId() const;
  std::wstring& machineIdField() { return machineId_; }
  const std::wstring& passthrough() const { return passthrough_; }

  std::map<std::wstring, std::wstring>& externalProperties() { return externalProperties_; }
  PropertyMap& properties() { return properties_; }

  // "<root>\<product id>\<major>" where major is the version up to its first ".".
  static std::wstring makeBaseRegKey(const std::wstring& productId, const std::wstring& buildVersion);
  static std::wstring majorVersionOf(const std::wstring& buildVersion);
  // osName rule for a version record (major, minor, product type, native architecture).
  static std::wstring osNameFor(unsigned major, unsigned minor, unsigned productType, unsigned nativeArchitecture);

 private:
  const std::wstring& fieldWithFallback(std::wstring& field, const wchar_t* valueName);
  bool writeMirror(const wchar_t* valueName, const std::wstring& text);

  std::wstring baseRegKey_;
  std::wstring requestToken_;
  std::wstring country_;
  std::wstring productId_;
  std::wstring productVersion_;
  std::wstring channelId_;
  std::wstring installLanguage_;
  int status_ = kUnsetValue;
  int selfUpdateCode_ = kUnsetValue;
  std::wstring osName_;
  int uiLanguageIndex_ = kUnsetValue;
  std::wstring architecture_;
  std::wstring defaultBrowser_;
  std::wstring clientVersion_;
  std::wstring machineIdSource_;
  std::wstring machineId_;
  std::map<std::wstring, std::wstring> externalProperties_;
  PropertyMap properties_;
  std::wstring passthrough_;
};

}  // namespace stubframework
