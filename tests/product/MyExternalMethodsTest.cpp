// The product's own methods and its tracking properties.
#include "methods/SystemVersion.h"

#include <algorithm>
#include "tests/product/ProductFixture.h"

using namespace testsupport;
using namespace myexternalmethods;

namespace {

using MyExternalMethodsTest = ProductFixture;

std::wstring DeviceText(const TrackingProperties& p) {
  std::wstring text = L"|device.bits=" + p.deviceBits + L"|device.os=" + p.deviceOs;
  if (!p.deviceOsVersion.empty()) text += L"|device.os-version=" + p.deviceOsVersion;
  return text + L"|device.lang=" + p.deviceLang;
}

TEST_F(MyExternalMethodsTest, TrackingStringWithNothingSetHoldsTheFixedParts) {
  const TrackingProperties& p = *product().trackingProperties();
  EXPECT_EQ(p.text(), L"|install.application=Tarvik|install.stub-version=1.0.0.1" + DeviceText(p));
}

TEST_F(MyExternalMethodsTest, DeviceValuesOfThisMachine) {
  const TrackingProperties& p = *product().trackingProperties();
  EXPECT_EQ(p.deviceBits, L"64");
  EXPECT_EQ(p.deviceLang, deviceLangFor(::GetUserDefaultUILanguage()));
  stubframework::SystemVersion version;
  ASSERT_TRUE(stubframework::rtlSystemVersion(version));
  EXPECT_EQ(p.deviceOsVersion, std::to_wstring(version.major) + L"." + std::to_wstring(version.minor) + L"." +
                                   std::to_wstring(version.build));
  // The version marks follow the version-reporting rules of the executable's
  // manifest, as the reported version does.
  const stubframework::SystemVersion reported = stubframework::reportedVersion();
  const std::wstring expectedOs = reported.major >= 10  ? L"Windows 10"
                                  : reported.minor >= 2 ? L"Windows 8"
                                                        : L"Windows 7";
  EXPECT_EQ(p.deviceOs, expectedOs);
}

TEST_F(MyExternalMethodsTest, DeviceValueRules) {
  EXPECT_EQ(deviceBitsFor(PROCESSOR_ARCHITECTURE_AMD64), L"64");
  EXPECT_EQ(deviceBitsFor(PROCESSOR_ARCHITECTURE_IA64), L"64");
  EXPECT_EQ(deviceBitsFor(PROCESSOR_ARCHITECTURE_ARM64), L"86");
  EXPECT_EQ(deviceBitsFor(PROCESSOR_ARCHITECTURE_INTEL), L"86");
  struct Case {
    bool at61, at62, at100, win11;
    const wchar_t* os;
  } cases[] = {
      {true, true, true, true, L"Windows 11"},  {true, true, true, false, L"Windows 10"},
      {true, true, false, false, L"Windows 8"}, {true, false, false, false, L"Windows 7"},
      {false, false, false, false, L"Other"},
  };
  for (const Case& c : cases) EXPECT_EQ(deviceOsFor(c.at61, c.at62, c.at100, c.win11), c.os);
  struct Lang {
    unsigned id;
    const wchar_t* code;
  } langs[] = {{1028, L"tw"}, {3076, L"tw"}, {5124, L"tw"}, {1041, L"jp"}, {2070, L"pt"},
               {4100, L"zh"}, {3082, L"es"}, {2057, L"en"}, {1055, L"tr"}, {1158, L"other"}};
  for (const Lang& l : langs) EXPECT_EQ(deviceLangFor(l.id), l.code) << l.id;
}

TEST_F(MyExternalMethodsTest, SetTrackingPropertyFillsFieldsInTheirPlaces) {
  ASSERT_EQ(script().run(L"external.setTrackingProperty(0, 'beta');"
                         L"external.setTrackingProperty(1, 'fr');"
                         L"external.setTrackingProperty(2, 'Tarvik.msi');"
                         L"external.setTrackingProperty(3, 'opt-in');"
                         L"external.setTrackingProperty(4, 'yes');"),
            S_OK);
  TrackingProperties& p = *product().trackingProperties();
  p.installMsiBuildNumber = L"2.3.4";
  EXPECT_EQ(p.text(),
            L"|install.channel=beta|install.msi-build-number=2.3.4|install.msi-filename=Tarvik.msi"
            L"|install.application=Tarvik|install.language=fr|install.stub-version=1.0.0.1"
            L"|install.license=yes|install.analytics=opt-in" +
                DeviceText(p));
  EXPECT_NE(logText().find(L"EMSetTrackingProperty install.msi-filename: Tarvik.msi"), std::wstring::npos);
  // An empty value drops the part again.
  ASSERT_EQ(script().run(L"external.setTrackingProperty(0, '');"), S_OK);
  EXPECT_EQ(p.text().find(L"install.channel"), std::wstring::npos);
}

TEST_F(MyExternalMethodsTest, UnknownTrackingIndexChangesNothingAndLogsOnlyEntry) {
  const std::wstring before = product().trackingProperties()->text();
  ASSERT_EQ(script().run(L"external.setTrackingProperty(7, 'x'); external.setTrackingProperty(-1, 'x');"), S_OK);
  EXPECT_EQ(product().trackingProperties()->text(), before);
  const std::wstring log = logText();
  const size_t entry = log.rfind(L"EMSetTrackingProperty\r\n");
  ASSERT_NE(entry, std::wstring::npos);
  EXPECT_EQ(log.find(L"EMSetTrackingProperty ", entry), std::wstring::npos);
  EXPECT_EQ(script().errorOf(L"external.setTrackingProperty('0', 'x')"), 0x80020005ul);
}

TEST_F(MyExternalMethodsTest, SourceIdIsAlwaysEmpty) {
  EXPECT_EQ(script().evalText(L"'[' + external.getSourceID('partner-17') + ']'"), L"[]");
  EXPECT_NE(logText().find(L"EMGetSourceID args partner-17, Result \r\n"), std::wstring::npos);
  // As a statement: flags 1 is not its kind.
  EXPECT_EQ(script().errorOf(L"external.getSourceID('x')"), 0x80020003ul);
}

TEST_F(MyExternalMethodsTest, OsVersionAndBuildNumber) {
  EXPECT_EQ(script().evalText(L"external.getOSVersionAndBuildNumber()"), osVersionAndBuild());
  const std::wstring text = osVersionAndBuild();
  EXPECT_EQ(std::count(text.begin(), text.end(), L'.'), 2);
}

TEST_F(MyExternalMethodsTest, MinimizedWindowMinimisesTheHostWindow) {
  HWND window = ::CreateWindowExW(0, L"STATIC", L"host", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr,
                                  nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  external()->setWindow(window);
  ASSERT_EQ(script().run(L"external.minimizedWindow();"), S_OK);
  EXPECT_TRUE(::IsIconic(window));
  external()->setWindow(nullptr);
  ::DestroyWindow(window);
  EXPECT_NE(logText().find(L"EMMinimizedWindow"), std::wstring::npos);
}

TEST_F(MyExternalMethodsTest, ProductMethodsJoinTheFrameworkCatalogue) {
  for (const wchar_t* name : {L"getSourceID", L"minimizedWindow", L"setTrackingProperty", L"getOSVersionAndBuildNumber",
                              L"downloadAndInstallWV2RT", L"getProperty"}) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    EXPECT_EQ(external()->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK) << name;
    EXPECT_GT(id, 0) << name;
  }
  EXPECT_FALSE(product().extensionState()->analyticsStarted);
  EXPECT_FALSE(product().extensionState()->completionTracked);
}

}  // namespace
