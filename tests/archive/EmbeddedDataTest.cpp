// Data behind the first certificate of a signed executable. The signed stub
// copies are read by path; this program also runs as a signed copy of itself
// with EMBEDDED_PROBE_SIGNED=1, to read the running executable.
#include "framework/EmbeddedData.h"
#include "tests/archive/ArchiveTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using archivetest::FixturePath;
using namespace stubframework;

namespace {

const std::wstring kText = L"Tarvik-Kanal-\u00df-\u2713-42";

TEST(EmbeddedData, ReadsUtf8TextBehindTheCertificate) {
  EXPECT_EQ(readEmbeddedText(FixturePath(L"stubs\\signed_data.exe")), kText);
  EXPECT_EQ(readEmbeddedText(FixturePath(L"stubs\\signed.exe")), L"");          // signed, nothing behind
  EXPECT_EQ(readEmbeddedText(FixturePath(L"stubs\\packed.exe")), L"");          // not signed
  EXPECT_EQ(readEmbeddedText(FixturePath(L"stubs\\signed_bad_utf8.exe")), L"");  // not UTF-8
  EXPECT_EQ(readEmbeddedText(FixturePath(L"stubs\\missing.exe")), L"");
}

TEST(EmbeddedData, PrefixOfTheRequestedSize) {
  const std::wstring image = FixturePath(L"stubs\\signed_data.exe");
  struct Case {
    int size;
    std::wstring expected;
  };
  for (const Case& c : {Case{6, L"Tarvik"}, Case{static_cast<int>(kText.size()), kText},
                        Case{static_cast<int>(kText.size()) + 1, L""}, Case{0, L""}, Case{-3, L""}}) {
    EXPECT_EQ(embeddedDataPrefix(c.size, image), c.expected) << c.size;
  }
}

TEST(EmbeddedData, RunningExecutable) {
  // Unsigned as built; the signed copy made by the fixtures carries the text.
  const std::wstring expected = testsupport::EnvironmentValue(L"EMBEDDED_PROBE_SIGNED") == L"1" ? kText : L"";
  std::wstring result;
  ASSERT_TRUE(getEmbeddedDataFromCurrentExe(nullptr, 1000, &result));
  EXPECT_EQ(result, L"");
  ASSERT_TRUE(getEmbeddedDataFromCurrentExe(nullptr, static_cast<int>(expected.size()), &result));
  EXPECT_EQ(result, expected);
  EXPECT_FALSE(getEmbeddedDataFromCurrentExe(nullptr, 5, nullptr));  // no result wanted
}

}  // namespace
