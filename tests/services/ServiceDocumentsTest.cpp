// The pure pieces of the service layer: report documents, status texts, answer
// readers, machine-id rules and the timestamp query.
#include "services/AnalyticsDocument.h"
#include "services/MachineIdRules.h"
#include "services/ServiceAnswers.h"
#include "services/ServiceEndpoint.h"
#include "services/TimestampQuery.h"

#include <gtest/gtest.h>

namespace stubframework::core {
namespace {

AnalyticsFields SampleFields() {
  AnalyticsFields f;
  f.requestToken = L"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0";
  f.country = L"244";
  f.productId = L"TRVK";
  f.productVersion = L"1.2.3.4";
  f.channelId = L"test";
  f.installLanguage = L"English";
  f.statusText = L"started";
  f.os = L"Windows 10";
  f.language = L"English";
  f.architecture = L"x64";
  f.defaultBrowser = L"Other";
  f.clientVersion = L"1.0";
  f.machineId = L"ab12";
  return f;
}

TEST(AnalyticsXml, HasEveryElementInOrderWithoutExternalPropertiesWhenMapIsEmpty) {
  EXPECT_EQ(BuildAnalyticsXml(SampleFields()),
            L"<TVDLMAnalytics><requestToken>0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0</requestToken><country>244</country>"
            L"<mainApp><productId>TRVK</productId><productVersion>1.2.3.4</productVersion><channelId>test</channelId>"
            L"<installLanguage>English</installLanguage><status>started</status></mainApp><error></error>"
            L"<userEnvironment><OS>Windows 10</OS><language>English</language><architecture>x64</architecture>"
            L"<defaultBrowser>Other</defaultBrowser></userEnvironment><TVDLMVersion>1.0</TVDLMVersion>"
            L"<machineId>ab12</machineId></TVDLMAnalytics>");
}

TEST(AnalyticsXml, ListsExternalPropertiesInNameOrderAndInsertsValuesUnescaped) {
  AnalyticsFields f = SampleFields();
  f.productId = L"A&B<C";
  f.statusText = L"";
  f.externalProperties = {{L"zeta", L"1"}, {L"Alpha", L"x&y"}, {L"beta", L"<2>"}};
  const std::wstring xml = BuildAnalyticsXml(f);
  EXPECT_NE(xml.find(L"<productId>A&B<C</productId>"), std::wstring::npos);
  EXPECT_NE(xml.find(L"<status></status><externalProperties>"
                     L"<property><name>Alpha</name><value>x&y</value></property>"
                     L"<property><name>beta</name><value><2></value></property>"
                     L"<property><name>zeta</name><value>1</value></property>"
                     L"</externalProperties></mainApp>"),
            std::wstring::npos);
}

TEST(AnalyticsXml, UserActivityAndRegionCheckUseTheirOwnElementNames) {
  EXPECT_EQ(BuildUserActivityXml(L"tok", L"TRVK", L"1.0", L"Welcome&Next"),
            L"<UserActivity><token>tok</token><productId>TRVK</productId><productVersion>1.0</productVersion>"
            L"<activity>Welcome&Next</activity></UserActivity>");
  EXPECT_EQ(BuildRegionCheckXml(L"tok", L"TRVK", L"1.0", L"beta", L"Windows 10", L"ff"),
            L"<RegionRestrictions><token>tok</token><productId>TRVK</productId><productVersion>1.0</productVersion>"
            L"<channel>beta</channel><os>Windows 10</os><machineId>ff</machineId></RegionRestrictions>");
}

TEST(StatusTexts, MapEveryKnownCodeAndNothingElse) {
  const std::pair<int, const wchar_t*> cases[] = {
      {0, L"started"},
      {1, L"completed"},
      {2, L"error occurred"},
      {3, L"canceled"},
      {4, L"environment not supported"},
      {5, L"downloaded"},
      {6, L"stub failed"},
      {71, L"modify completed"},
      {72, L"modify error occurred"},
      {73, L"modify canceled"},
      {81, L"repair completed"},
      {82, L"repair error occurred"},
      {83, L"repair canceled"},
      {91, L"remove completed"},
      {92, L"remove error occurred"},
      {93, L"remove canceled"},
      {7, L""},
      {70, L""},
      {-1, L""},
      {2147483647, L""},
  };
  for (const auto& [code, text] : cases) EXPECT_EQ(StatusText(code), text) << code;
}

TEST(StatusTexts, FinalReportTurnsNotStartedIntoCanceled) {
  EXPECT_EQ(StatusText(FinalReportStatus(0)), L"canceled");
  EXPECT_EQ(FinalReportStatus(2), 2);
  EXPECT_EQ(FinalReportStatus(93), 93);
}

TEST(TokenAnswer, TakesTheQuotedValueAfterTheKey) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"{\"id\":1,\"tokenizedUrl\":\"https://cdn/p.msi?t=1\",\"x\":\"y\"}", L"https://cdn/p.msi?t=1"},
      {L"{\"tokenizedUrl\": \"a\\/b\"}", L"a\\/b"},  // escapes are kept as they are
      {L"{\"tokenizedUrl\":\"\"}", L""},
      {L"{\"tokenizedUrl\":\"unterminated", L""},
      {L"{\"tokenizedUrl\":", L""},
      {L"{\"TokenizedUrl\":\"a\"}", L""},
      {L"{\"url\":\"a\"}", L""},
      {L"", L""},
  };
  for (const auto& [answer, value] : cases) EXPECT_EQ(ExtractTokenizedUrl(answer), value) << answer;
}

TEST(RegionAnswer, ReadsCountryAndVerdictFromTheFirstElements) {
  struct Case {
    const char* answer;
    const wchar_t* country;
    const wchar_t* isEmbargo;
    bool embargoed;
  };
  const Case cases[] = {
      {"<r><country>FR</country><isEmbargo>false</isEmbargo></r>", L"FR", L"false", false},
      {"<x><isEmbargo>true</isEmbargo><country>IR</country></x>", L"IR", L"true", true},
      {"<isEmbargo>True</isEmbargo><country>CU</country>", L"CU", L"True", false},
      {"<country>A</country><country>B</country>", L"A", L"", false},
      {"<country>open only<isEmbargo>true", L"", L"", false},
      {"</country>US<country>", L"", L"", false},
      {"", L"", L"", false},
      {"<country>\xc4</country>", L"\x00c4", L"", false},  // one byte per character
  };
  for (const Case& c : cases) {
    const RegionVerdict verdict = ParseRegionAnswer(c.answer);
    EXPECT_EQ(verdict.country, c.country) << c.answer;
    EXPECT_EQ(verdict.isEmbargo, c.isEmbargo) << c.answer;
    EXPECT_EQ(verdict.embargoed(), c.embargoed) << c.answer;
  }
}

TEST(MachineIdRules, BodyWalksTheAddressCyclically) {
  EXPECT_EQ(L"P-" + BuildMachineIdBody(L"00:1A:2B:3C:4D:5E"), L"P-001A2B3C-4D5E-001A-2B3C-4D5E001A2B3C");
  EXPECT_EQ(BuildMachineIdBody(L"ab"), L"abababab-abab-abab-abab-abababababab");
  EXPECT_EQ(BuildMachineIdBody(L"::"), L"");
  EXPECT_EQ(BuildMachineIdBody(L""), L"");
}

TEST(MachineIdRules, LowestAddressSortsFirst) {
  EXPECT_EQ(LowestMacAddress({L"00:50:56:C0:00:08", L"00:1A:2B:3C:4D:5E"}), L"00:1A:2B:3C:4D:5E");
  EXPECT_EQ(LowestMacAddress({L"0A:00:00:00:00:00", L"09:FF:FF:FF:FF:FF"}), L"09:FF:FF:FF:FF:FF");
  EXPECT_EQ(LowestMacAddress({}), L"");
}

TEST(MachineIdRules, AdapterFilterLooksAtTheFrontOfPathAndDescription) {
  struct Case {
    const wchar_t* path;
    const wchar_t* description;
    bool kept;
  };
  const Case cases[] = {
      {L"\\\\?\\PCI#VEN_8086&DEV_15B8#3&11583659&0&FE#{ad498944}", L"Intel(R) Ethernet", true},
      {L"\\\\?\\USB#VID_0BDA&PID_8153#000001#{ad498944}", L"Realtek USB GbE", false},
      {L"\\\\?\\ROOT#NET#0000#{ad498944}", L"WAN Miniport", false},
      {L"\\\\?\\BTH#MS_BTHPAN#7&1#{ad498944}", L"Bluetooth Device", false},
      {L"\\\\?\\PCI#VEN_1AF4#usb#{ad498944}", L"virtio", true},  // "usb" only after index 7
      {L"\\\\?\\PCI#VEN_8086", L"microsoft Hyper-V Adapter", false},
      {L"\\\\?\\PCI#VEN_8086", L"Microsoft Hyper-V Adapter", true},  // the description test is case-sensitive
      {L"\\\\?\\PCI#VEN_8086", L"12345678microsoft", true},
      {L"\\\\?\\PCI#VEN_8086", L"1234567microsoft", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsPhysicalAdapter(c.path, c.description), c.kept) << c.path << L" " << c.description;
}

TEST(MachineIdRules, FormatsAddressesAndDigests) {
  const uint8_t address[6] = {0x00, 0x1a, 0x2b, 0xc3, 0x0d, 0xfe};
  EXPECT_EQ(FormatMacAddress(address), L"00:1A:2B:C3:0D:FE");
  const uint8_t bytes[] = {0x00, 0x0f, 0xa0, 0xff};
  EXPECT_EQ(LowerHex(bytes, 4), L"000fa0ff");
  EXPECT_EQ(MachineIdDigestInput(std::wstring(L"P-\x0141\x00ff", 4)), std::string("P-A\xff", 4));
}

TEST(TimestampQuery, AppendsWithTheRightSeparatorAndSpacePaddedMilliseconds) {
  const UtcTime time{2024, 3, 5, 7, 8, 9, 45};
  EXPECT_EQ(AppendTimestampQuery(L"http://h/p.msi", time), L"http://h/p.msi?timestamp=20240305070809 45");
  EXPECT_EQ(AppendTimestampQuery(L"http://h/p.msi?a=1", time), L"http://h/p.msi?a=1&timestamp=20240305070809 45");
  EXPECT_EQ(AppendTimestampQuery(L"u", UtcTime{2025, 12, 31, 23, 59, 58, 999}), L"u?timestamp=20251231235958999");
  EXPECT_EQ(AppendTimestampQuery(L"u", UtcTime{2025, 1, 1, 0, 0, 0, 0}), L"u?timestamp=20250101000000  0");
}

TEST(TimestampQuery, UsesTheCurrentTime) {
  const std::wstring url = AddTimestampQuery(L"http://h/f?x=1");
  ASSERT_EQ(url.size(), std::wstring(L"http://h/f?x=1&timestamp=").size() + 17);
  EXPECT_EQ(url.substr(0, 25), L"http://h/f?x=1&timestamp=");
  EXPECT_EQ(url.substr(25, 2), L"20");
}

TEST(ServiceEndpoint, TestBuildsTalkPlainHttpToLoopback) {
  EXPECT_FALSE(ServiceUsesTls());
  EXPECT_EQ(ServiceUrl(L"/v1/token"), L"http://127.0.0.1:18080/v1/token");
  ASSERT_TRUE(OverrideServicePort(18099));
  EXPECT_EQ(ServiceUrl(L"/v1/token"), L"http://127.0.0.1:18099/v1/token");
  ASSERT_TRUE(OverrideServicePort(0));
  EXPECT_EQ(ServicePort(), 18080);
}

}  // namespace
}  // namespace stubframework::core
