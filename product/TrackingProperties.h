// The product's tracking properties: the values every product-analytics event
// carries, as "|key=value" parts for the fields that are not empty.
//
// Threads: made on the main thread at start-up; the fields are changed by
// script methods on the user-interface thread.
#pragma once

#include <string>

namespace myexternalmethods {

struct TrackingProperties {
  std::wstring installChannel;
  std::wstring installMsiBuildNumber;
  std::wstring installMsiFilename;
  std::wstring installApplication = L"Tarvik";
  std::wstring installLanguage;
  std::wstring installStubVersion;
  std::wstring installLicense;
  std::wstring installAnalytics;
  std::wstring deviceBits;
  std::wstring deviceOs;
  std::wstring deviceOsVersion;
  std::wstring deviceLang;

  // A record with the build version and the device values of this machine.
  static TrackingProperties ForThisDevice();

  // "|install.channel=...|...|device.lang=..." over the non-empty fields, in
  // declared order, without escaping.
  std::wstring text() const;
};

// device.bits: "64" for the x64 (9) and Itanium (6) architectures, else "86".
std::wstring deviceBitsFor(unsigned nativeArchitecture);

// device.os from the version marks and the Windows 11 build test.
std::wstring deviceOsFor(bool atLeast61, bool atLeast62, bool atLeast100, bool windows11);

// device.lang: the language code of a user-interface language identifier.
std::wstring deviceLangFor(unsigned languageId);

// "major.minor.build" of RtlGetVersion; empty when it is unavailable.
std::wstring osVersionAndBuild();

}  // namespace myexternalmethods
