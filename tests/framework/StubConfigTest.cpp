#include "framework/StubConfig.h"

#include "framework/Registry.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cwctype>

namespace {

using stubframework::StubConfig;

const wchar_t kTestVersion[] = L"77.2.3";
const wchar_t kTestKeyPath[] = L"HKEY_CURRENT_USER\\SOFTWARE\\Vandor\\stubframework\\TRVK\\77";

class StubConfigTest : public ::testing::Test {
 protected:
  testsupport::ScopedRegistryCleanup cleanup_{HKEY_CURRENT_USER, L"SOFTWARE\\Vandor\\stubframework\\TRVK\\77"};
};

TEST(StubConfigKeyTest, BaseRegKeyUsesTheMajorVersion) {
  struct Case {
    const wchar_t* version;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {L"1.0.0.1", L"HKEY_CURRENT_USER\\SOFTWARE\\Vandor\\stubframework\\TRVK\\1"},
      {L"12.5", L"HKEY_CURRENT_USER\\SOFTWARE\\Vandor\\stubframework\\TRVK\\12"},
      {L"2024", L"HKEY_CURRENT_USER\\SOFTWARE\\Vandor\\stubframework\\TRVK\\2024"},
      {L".9", L"HKEY_CURRENT_USER\\SOFTWARE\\Vandor\\stubframework\\TRVK\\"},
  };
  for (const Case& c : cases) EXPECT_EQ(StubConfig::makeBaseRegKey(L"TRVK", c.version), c.expected) << c.version;
}

TEST(StubConfigOsNameTest, NamesFollowTheVersionTable) {
  constexpr unsigned kWorkstation = VER_NT_WORKSTATION, kServer = VER_NT_SERVER;
  constexpr unsigned kX64 = PROCESSOR_ARCHITECTURE_AMD64, kX86 = PROCESSOR_ARCHITECTURE_INTEL;
  struct Case {
    unsigned major, minor, type, arch;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {5, 1, kServer, kX86, L"Windows XP"},     {5, 2, kWorkstation, kX64, L"Windows XP"},
      {5, 2, kWorkstation, kX86, L"Other"},     {5, 0, kWorkstation, kX86, L"Other"},
      {6, 0, kWorkstation, kX86, L"Windows Vista"}, {6, 1, kWorkstation, kX64, L"Windows 7"},
      {6, 2, kWorkstation, kX64, L"Windows 8"}, {6, 3, kWorkstation, kX64, L"Windows 8"},
      {6, 4, kWorkstation, kX64, L"Windows 10"}, {6, 5, kWorkstation, kX64, L"Other"},
      {10, 0, kWorkstation, kX64, L"Windows 10"}, {10, 0, kServer, kX64, L"Other"},
      {11, 0, kWorkstation, kX64, L"Other"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StubConfig::osNameFor(c.major, c.minor, c.type, c.arch), c.expected) << c.major << "." << c.minor;
  }
}

TEST_F(StubConfigTest, ConstructionSetsTheDocumentedDefaults) {
  StubConfig config(kTestVersion);
  EXPECT_EQ(config.baseRegKey(), kTestKeyPath);
  EXPECT_EQ(config.productId(), L"TRVK");
  EXPECT_EQ(config.productVersion(), kTestVersion);
  EXPECT_EQ(config.channelId(), L"test");
  EXPECT_EQ(config.clientVersion(), L"1.0");
  EXPECT_EQ(config.installLanguage(), L"English");
  EXPECT_EQ(config.getStatus(), 4);
  EXPECT_EQ(config.selfUpdateCode(), StubConfig::kUnsetValue);
  EXPECT_EQ(config.properties().get(L"lang"), L"en");
  EXPECT_EQ(config.architecture(), L"x64");  // the test build runs as x86_64 on a 64-bit prefix
  EXPECT_EQ(config.properties().get(L"osbits"), L"64");
  EXPECT_EQ(config.osName(), L"Windows 10");
  EXPECT_FALSE(config.country().empty());
  EXPECT_EQ(config.uiLanguageIndex(), 1);  // the prefix runs in US English

  const std::wstring& token = config.requestToken();
  ASSERT_EQ(token.size(), 36u);
  for (size_t i = 0; i < token.size(); ++i) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      EXPECT_EQ(token[i], L'-');
    } else {
      EXPECT_TRUE(iswxdigit(token[i])) << i;
    }
  }
  EXPECT_NE(StubConfig(kTestVersion).requestToken(), token);

  std::wstring stored;
  EXPECT_TRUE(stubframework::readRegValue(kTestKeyPath, L"install_language", stored));
  EXPECT_EQ(stored, L"English");
}

TEST_F(StubConfigTest, StatusAndLanguageAreMirroredInThe32BitView) {
  StubConfig config(kTestVersion);
  config.setStatus(5);
  EXPECT_TRUE(config.setInstallLanguage(5));
  EXPECT_EQ(config.installLanguage(), L"Japanese");
  EXPECT_EQ(config.properties().get(L"lang"), L"jp");

  HKEY key = nullptr;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Vandor\\stubframework\\TRVK\\77", 0,
                            KEY_READ | KEY_WOW64_32KEY, &key),
            ERROR_SUCCESS);
  wchar_t buffer[64] = {};
  DWORD size = sizeof(buffer);
  DWORD type = 0;
  EXPECT_EQ(::RegQueryValueExW(key, L"status", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_STREQ(buffer, L"5");
  size = sizeof(buffer);
  EXPECT_EQ(::RegQueryValueExW(key, L"install_language", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
            ERROR_SUCCESS);
  EXPECT_STREQ(buffer, L"Japanese");
  ::RegCloseKey(key);
}

TEST_F(StubConfigTest, LanguageNumberOutsideTheTableChangesNothing) {
  StubConfig config(kTestVersion);
  for (int number : {-1, 108, 100000}) {
    EXPECT_FALSE(config.setInstallLanguage(number)) << number;
  }
  EXPECT_EQ(config.installLanguage(), L"English");
  EXPECT_EQ(config.properties().get(L"lang"), L"en");
}

TEST_F(StubConfigTest, EmptyFieldsFallBackToTheRegistryMirror) {
  StubConfig config(kTestVersion);
  config.setChannel(L"");
  EXPECT_EQ(config.channelId(), L"");
  // Another run stored a channel meanwhile (as a DWORD, which reads as decimal text).
  ASSERT_TRUE(stubframework::writeRegValueTyped(kTestKeyPath, L"channel", L"5", REG_DWORD, false));
  EXPECT_EQ(config.channelId(), L"5");
}

TEST(PropertyMapTest, MissingNamesReadEmptyAndAreInsertedInCodeUnitOrder) {
  stubframework::PropertyMap map;
  map.set(L"a", L"1");
  map.set(L"Z", L"2");
  EXPECT_EQ(map.get(L"uninstallOption"), L"");
  const auto entries = map.snapshot();
  ASSERT_EQ(entries.size(), 3u);
  auto it = entries.begin();
  EXPECT_EQ(it->first, L"Z");
  EXPECT_EQ((++it)->first, L"a");
  EXPECT_EQ((++it)->first, L"uninstallOption");
  EXPECT_EQ(it->second, L"");
}

}  // namespace
