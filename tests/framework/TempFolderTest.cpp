#include "framework/TempFolder.h"

#include "base/FileSystem.h"
#include "base/Text.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

using stubframework::createTemporaryFolder;
using stubframework::deleteFolder;

unsigned long HexNameOf(const std::wstring& folder, const std::wstring& parent) {
  return wcstoul(folder.substr(parent.size(), folder.size() - parent.size() - 1).c_str(), nullptr, 16);
}

TEST(TempFolderTest, ConsecutiveFoldersTakeTheNextFreeHexName) {
  testsupport::ScopedTempDir parent;
  const std::wstring first = createTemporaryFolder(parent.path());
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(first.back(), L'\\');
  EXPECT_TRUE(base::DirectoryExists(first));
  // Occupy the next names with a file and a folder: both must be skipped.
  const unsigned long n = HexNameOf(first, parent.path());
  ASSERT_TRUE(testsupport::WriteFileBytes(parent.path() + base::FormatText(L"%lx", n + 1), "x"));
  ASSERT_TRUE(::CreateDirectoryW((parent.path() + base::FormatText(L"%lx", n + 2)).c_str(), nullptr));
  const std::wstring second = createTemporaryFolder(parent.path());
  // The tick count may have moved on, but never backwards onto a name in use.
  const unsigned long m = HexNameOf(second, parent.path());
  EXPECT_GT(m, n + 2) << "names " << n << " to " << n + 2 << " are taken";
  EXPECT_NE(second, first);
  EXPECT_TRUE(base::DirectoryExists(second));
  EXPECT_EQ(second, parent.path() + base::FormatText(L"%lx", m) + L"\\");
}

TEST(TempFolderTest, UnusableTemporaryPathGivesNoFolder) {
  EXPECT_EQ(createTemporaryFolder(L"Z:\\no\\such\\folder\\"), L"");
}

TEST(TempFolderTest, DeleteFolderRemovesNestedContentsAndReportsTheFinalRemoval) {
  testsupport::ScopedTempDir parent;
  const std::wstring root = parent.path() + L"tree";
  ASSERT_TRUE(base::CreateFolderTree(root + L"\\a\\b\\c"));
  ASSERT_TRUE(testsupport::WriteFileBytes(root + L"\\top.txt", "1"));
  ASSERT_TRUE(testsupport::WriteFileBytes(root + L"\\a\\b\\deep.txt", "2"));
  ASSERT_TRUE(testsupport::WriteFileBytes(root + L"\\a\\ro.txt", "3"));
  ::SetFileAttributesW((root + L"\\a\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(deleteFolder(root + L"\\"));
  EXPECT_FALSE(base::PathExists(root));
  EXPECT_FALSE(deleteFolder(root));
}

}  // namespace
