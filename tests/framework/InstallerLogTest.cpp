#include "framework/DownloadLogger.h"
#include "framework/InstallerLog.h"

#include "base/FileSystem.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

using stubframework::InstallerLog;
using testsupport::ReadFileBytes;

void FixedClock(SYSTEMTIME* now) {
  *now = {};
  now->wYear = 2025;
  now->wMonth = 2;
  now->wDay = 27;
  now->wHour = 13;
  now->wMinute = 5;
  now->wSecond = 9;
  now->wMilliseconds = 42;
}

TEST(InstallerLogTest, LinesCarryTheUtcTimeWithSpacePaddedMilliseconds) {
  testsupport::ScopedTempDir temp;
  InstallerLog log(temp.path(), &FixedClock);
  ASSERT_TRUE(log.isOpen());
  EXPECT_EQ(base::FileNameOf(log.path()), L"installer_log_20250227130509.txt");
  EXPECT_EQ(base::ParentFolderOf(log.path()) + L"\\", log.folder());

  log.debug(L"hello %s %d", L"world", 7);
  log.error(L"narrow %S", "text");
  log.trace(L"trace");
  log.debug(L"Property %s: %s\n", L"a", L"b");
  EXPECT_EQ(ReadFileBytes(log.path()),
            "[20250227 13:05:09  42 DEBUG] hello world 7\r\n"
            "[20250227 13:05:09  42 ERROR] narrow text\r\n"
            "[20250227 13:05:09  42 TRACE] trace\r\n"
            "[20250227 13:05:09  42 DEBUG] Property a: b\r\n\r\n");
}

TEST(InstallerLogTest, PrefixPadsEachField) {
  SYSTEMTIME t = {};
  t.wYear = 2026;
  t.wMonth = 1;
  t.wDay = 2;
  t.wHour = 3;
  t.wMinute = 4;
  t.wSecond = 5;
  t.wMilliseconds = 6;
  EXPECT_EQ(InstallerLog::linePrefix(t, InstallerLog::kWarning), "[20260102 03:04:05   6 WARNING] ");
  t.wMilliseconds = 999;
  EXPECT_EQ(InstallerLog::linePrefix(t, InstallerLog::kTrace), "[20260102 03:04:05 999 TRACE] ");
}

TEST(InstallerLogTest, WritesAfterCloseLeaveTheFileUnchanged) {
  testsupport::ScopedTempDir temp;
  InstallerLog log(temp.path(), &FixedClock);
  log.debug(L"before");
  log.close();
  const std::string closed = ReadFileBytes(log.path());
  log.debug(L"after");
  log.error(L"after");
  EXPECT_EQ(ReadFileBytes(log.path()), closed);
}

TEST(InstallerLogTest, DestructorRemovesTheLogFolder) {
  testsupport::ScopedTempDir temp;
  std::wstring folder;
  {
    InstallerLog log(temp.path(), &FixedClock);
    folder = log.folder();
    log.debug(L"x");
    ASSERT_TRUE(base::DirectoryExists(folder));
  }
  EXPECT_FALSE(base::PathExists(folder));
}

TEST(InstallerLogTest, UnusableTemporaryFolderGivesASilentClosedLog) {
  InstallerLog log(L"Z:\\does\\not\\exist\\", &FixedClock);
  EXPECT_FALSE(log.isOpen());
  EXPECT_TRUE(log.path().empty());
  log.debug(L"dropped");  // must not crash
}

TEST(InstallerLogTest, NonAsciiMessagesAreWrittenAsUtf8) {
  testsupport::ScopedTempDir temp;
  InstallerLog log(temp.path(), &FixedClock);
  log.debug(L"%s", L"caf\u00e9 \u6f22");
  EXPECT_EQ(ReadFileBytes(log.path()), "[20250227 13:05:09  42 DEBUG] caf\xc3\xa9 \xe6\xbc\xa2\r\n");
}

TEST(DownloadLoggerTest, WritesTraceLinesWithTheTagAndCutsLongMessages) {
  testsupport::ScopedTempDir temp;
  InstallerLog log(temp.path(), &FixedClock);
  auto* logger = downloader::details::Object<stubframework::debug::DownloadLogger>::Create(&log);
  ASSERT_NE(logger, nullptr);
  logger->Log(L"HttpTask::Start", L"Url: %s, offset %d", L"http://x/", 5);
  const std::wstring longText(2000, L'y');
  logger->Log(L"HttpTask::OnData", L"%s", longText.c_str());
  logger->Release();

  const std::string expected = "[20250227 13:05:09  42 TRACE] HttpTask::Start> Url: http://x/, offset 5\r\n"
                               "[20250227 13:05:09  42 TRACE] HttpTask::OnData> " +
                               std::string(1023, 'y') + "\r\n";
  EXPECT_EQ(ReadFileBytes(log.path()), expected);
}

TEST(DownloadLoggerTest, WithoutALogNothingIsWrittenAndCountsBalance) {
  const long before = downloader::details::LiveObjectCount();
  auto* logger = downloader::details::Object<stubframework::debug::DownloadLogger>::Create(nullptr);
  ASSERT_NE(logger, nullptr);
  EXPECT_EQ(downloader::details::LiveObjectCount(), before + 1);
  logger->Log(L"T::x", L"nothing");
  EXPECT_EQ(logger->AddRef(), 2);
  EXPECT_EQ(logger->Release(), 1);
  EXPECT_EQ(logger->Release(), 0);
  EXPECT_EQ(downloader::details::LiveObjectCount(), before);
}

}  // namespace
