#include "framework/Registry.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

using stubframework::deleteRegKeyView;
using stubframework::readRegValue;
using stubframework::splitRootKey;
using stubframework::writeRegValue;
using stubframework::writeRegValueTyped;

const wchar_t kTestSubKey[] = L"SOFTWARE\\TarvikTests\\Registry";
const std::wstring kTestPath = std::wstring(L"HKEY_CURRENT_USER\\") + kTestSubKey;

class RegistryTest : public ::testing::Test {
 protected:
  testsupport::ScopedRegistryCleanup cleanup_{HKEY_CURRENT_USER, L"SOFTWARE\\TarvikTests"};

  static DWORD valueType(REGSAM view, const wchar_t* name) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kTestSubKey, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return REG_NONE;
    DWORD type = REG_NONE;
    ::RegQueryValueExW(key, name, nullptr, &type, nullptr, nullptr);
    ::RegCloseKey(key);
    return type;
  }
};

TEST(RegistryPathTest, SplitsEveryRootNameIgnoringCase) {
  struct Case {
    const wchar_t* path;
    HKEY root;
    const wchar_t* subKey;
  };
  const Case cases[] = {
      {L"HKEY_LOCAL_MACHINE\\SOFTWARE\\X", HKEY_LOCAL_MACHINE, L"SOFTWARE\\X"},
      {L"hklm\\SOFTWARE\\X", HKEY_LOCAL_MACHINE, L"SOFTWARE\\X"},
      {L"HKCU\\a", HKEY_CURRENT_USER, L"a"},
      {L"hkey_current_user\\a\\b", HKEY_CURRENT_USER, L"a\\b"},
      {L"HKCC\\x", HKEY_CURRENT_CONFIG, L"x"},
      {L"HKEY_USERS\\.DEFAULT", HKEY_USERS, L".DEFAULT"},
      {L"HKCR\\.txt", HKEY_CLASSES_ROOT, L".txt"},
      {L"HKDD\\y", HKEY_DYN_DATA, L"y"},
      {L"HKCU", HKEY_CURRENT_USER, L""},
      {L"HKXX\\SOFTWARE", nullptr, L"HKXX\\SOFTWARE"},
      {L"", nullptr, L""},
  };
  for (const Case& c : cases) {
    const auto split = splitRootKey(c.path);
    EXPECT_EQ(split.root, c.root) << c.path;
    EXPECT_EQ(split.subKey, c.subKey) << c.path;
  }
}

TEST_F(RegistryTest, WriteCreatesMissingParentsAndReadsBack) {
  ASSERT_TRUE(writeRegValue(kTestPath + L"\\deep\\er", L"name", L"value", true));
  std::wstring out;
  EXPECT_TRUE(readRegValue(kTestPath + L"\\deep\\er", L"name", out));
  EXPECT_EQ(out, L"value");
}

TEST_F(RegistryTest, LowerCaseRootNamesTheSameKey) {
  ASSERT_TRUE(writeRegValue(kTestPath, L"case", L"same", true));
  std::wstring out;
  EXPECT_TRUE(readRegValue(std::wstring(L"hkcu\\") + kTestSubKey, L"case", out));
  EXPECT_EQ(out, L"same");
}

TEST_F(RegistryTest, DwordValuesReadAsSignedDecimal) {
  struct Case {
    const wchar_t* written;
    const wchar_t* read;
  };
  const Case cases[] = {{L"5", L"5"}, {L"4294967295", L"-1"}, {L"0", L"0"}, {L"-2", L"-2"}, {L"2147483648", L"-2147483648"}};
  for (const Case& c : cases) {
    ASSERT_TRUE(writeRegValueTyped(kTestPath, L"dword", c.written, REG_DWORD, false)) << c.written;
    EXPECT_EQ(valueType(KEY_WOW64_32KEY, L"dword"), static_cast<DWORD>(REG_DWORD));
    std::wstring out;
    EXPECT_TRUE(readRegValue(kTestPath, L"dword", out));
    EXPECT_EQ(out, c.read) << c.written;
  }
}

TEST_F(RegistryTest, DwordWriteOfTextThatIsNoNumberWritesNothing) {
  for (const wchar_t* text : {L"", L"abc", L"12x", L"99999999999"}) {
    EXPECT_FALSE(writeRegValueTyped(kTestPath, L"bad", text, REG_DWORD, false)) << text;
  }
  std::wstring out = L"untouched";
  EXPECT_FALSE(readRegValue(kTestPath, L"bad", out));
  EXPECT_EQ(out, L"untouched");
}

TEST_F(RegistryTest, ExpandStringKeepsItsType) {
  ASSERT_TRUE(writeRegValueTyped(kTestPath, L"expand", L"%TEMP%\\x", REG_EXPAND_SZ, true));
  EXPECT_EQ(valueType(KEY_WOW64_64KEY, L"expand"), static_cast<DWORD>(REG_EXPAND_SZ));
  std::wstring out;
  EXPECT_TRUE(readRegValue(kTestPath, L"expand", out));
  EXPECT_EQ(out, L"%TEMP%\\x");
}

TEST_F(RegistryTest, ValueOnlyInThe32BitViewIsFoundAfterThe64BitView) {
  // HKCU\Software is shared between the views; HKLM\Software is redirected, so
  // the 32-bit-only case is made there.
  const std::wstring path = L"HKLM\\SOFTWARE\\TarvikTests\\Views";
  testsupport::ScopedRegistryCleanup cleanup(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TarvikTests");
  ASSERT_TRUE(writeRegValue(path, L"channel", L"beta32", false));
  HKEY key64 = nullptr;
  EXPECT_NE(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TarvikTests\\Views", 0, KEY_READ | KEY_WOW64_64KEY, &key64),
            ERROR_SUCCESS)
      << "the value must not be visible in the 64-bit view for this test to mean anything";
  if (key64) ::RegCloseKey(key64);
  std::wstring out;
  EXPECT_TRUE(readRegValue(path, L"channel", out));
  EXPECT_EQ(out, L"beta32");
}

TEST_F(RegistryTest, UnknownRootReadsNothingAndWritesNothing) {
  std::wstring out = L"untouched";
  EXPECT_FALSE(readRegValue(L"HKXX\\SOFTWARE\\TarvikTests", L"v", out));
  EXPECT_EQ(out, L"untouched");
  EXPECT_FALSE(writeRegValue(L"HKXX\\SOFTWARE\\TarvikTests", L"v", L"x", true));
  EXPECT_FALSE(deleteRegKeyView(L"HKXX\\SOFTWARE\\TarvikTests", true));
}

TEST_F(RegistryTest, ValueLargerThanTheReadBufferCountsAsMissing) {
  const std::wstring fits(255, L'a');      // 255 characters + NUL = 512 bytes
  const std::wstring tooLong(256, L'b');   // 514 bytes
  ASSERT_TRUE(writeRegValue(kTestPath, L"fits", fits, true));
  ASSERT_TRUE(writeRegValue(kTestPath, L"long", tooLong, true));
  std::wstring out;
  EXPECT_TRUE(readRegValue(kTestPath, L"fits", out));
  EXPECT_EQ(out, fits);
  out = L"untouched";
  EXPECT_FALSE(readRegValue(kTestPath, L"long", out));
  EXPECT_EQ(out, L"untouched");
}

TEST_F(RegistryTest, DeleteLeavesAKeyWithSubkeysAndRemovesALeaf) {
  ASSERT_TRUE(writeRegValue(kTestPath + L"\\parent\\child", L"v", L"1", true));
  EXPECT_FALSE(deleteRegKeyView(kTestPath + L"\\parent", true));
  std::wstring out;
  EXPECT_TRUE(readRegValue(kTestPath + L"\\parent\\child", L"v", out));
  EXPECT_TRUE(deleteRegKeyView(kTestPath + L"\\parent\\child", true));
  EXPECT_FALSE(readRegValue(kTestPath + L"\\parent\\child", L"v", out));
  EXPECT_TRUE(deleteRegKeyView(kTestPath + L"\\parent", true));
}

}  // namespace
