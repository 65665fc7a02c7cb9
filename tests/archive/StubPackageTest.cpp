// The real stub extracting its appended pages at start-up: packed, signed (a
// certificate table behind the archive), signed with data behind the
// certificate, and with no archive at all (status 2, no window).
#include "base/FileSystem.h"
#include "base/Text.h"
#include "framework/Registry.h"
#include "tests/archive/ArchiveTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using archivetest::FixturePath;

namespace {

constexpr wchar_t kStubKey[] = L"SOFTWARE\\Vandor\\stubframework\\TRVK\\1";
constexpr wchar_t kStubKeyPath[] = L"HKEY_CURRENT_USER\\SOFTWARE\\Vandor\\stubframework\\TRVK\\1";
const std::string kLoadedLine = "load resource success, temporary folder path : ";

std::string CopiedLog(const std::wstring& temp) {
  const auto logs = archivetest::ReadTree(base::JoinPath(temp, L"TRVK_log"));
  return logs.size() == 1 ? logs.begin()->second : std::string();
}

std::wstring ExtractionFolderOf(const std::string& log) {
  const size_t at = log.find(kLoadedLine);
  if (at == std::string::npos) return {};
  const size_t start = at + kLoadedLine.size();
  const size_t end = log.find_first_of("\r\n", start);
  const std::string folder = log.substr(start, end - start);
  return std::wstring(folder.begin(), folder.end());
}

struct StubCase {
  const wchar_t* exe;
  bool loaded;
};

class StubStartup : public ::testing::TestWithParam<StubCase> {};

TEST_P(StubStartup, ExtractsItsPagesOrRecordsStatusTwo) {
  testsupport::ScopedRegistryCleanup registry(HKEY_CURRENT_USER, kStubKey);
  testsupport::ScopedTempDir temp;
  const std::wstring exe = GetParam().exe[0] ? FixturePath(L"stubs\\") + GetParam().exe : testsupport::StubExePath();
  const auto run = testsupport::RunProcess(L"\"" + exe + L"\"", testsupport::StubEnvironment(temp.path()));
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0u);
  const std::string log = CopiedLog(temp.path());
  ASSERT_NE(log.find("Load Resource from pe."), std::string::npos) << log;
  std::wstring status;  // not written when the pages never set one
  const bool statusStored = stubframework::readRegValue(kStubKeyPath, L"status", status);
  if (GetParam().loaded) {
    EXPECT_NE(log.find("Load Resource from pe finished."), std::string::npos) << log;
    const std::wstring folder = ExtractionFolderOf(log);
    ASSERT_FALSE(folder.empty()) << log;
    EXPECT_TRUE(base::StartsWith(folder, temp.path()));
    EXPECT_FALSE(base::PathExists(folder));  // removed at the end of the run
    EXPECT_TRUE(!statusStored || status != L"2") << testing::PrintToString(status);
  } else {
    EXPECT_NE(log.find("Load Resource from pe failed."), std::string::npos) << log;
    EXPECT_EQ(log.find(kLoadedLine), std::string::npos);
    EXPECT_TRUE(statusStored);
    EXPECT_EQ(status, L"2");
  }
}

INSTANTIATE_TEST_SUITE_P(Stubs, StubStartup,
                         ::testing::Values(StubCase{L"", true}, StubCase{L"signed.exe", true},
                                           StubCase{L"signed_data.exe", true}, StubCase{L"bare.exe", false}));

}  // namespace
