// Unpacking product packages (extension rule, setup.exe search, results),
// FindFileFolder, AddFileToArchive, and both on a full disk.
#include "base/FileSystem.h"
#include "base/Text.h"
#include "framework/ExtractArchive.h"
#include "framework/TempFolder.h"
#include "tests/archive/ArchiveTestSupport.h"
#include "tests/support/TestSupport.h"
#include "workflow/AddFileToArchive.h"
#include "workflow/Unpack.h"

#include <gtest/gtest.h>

using archivetest::ExtractFile;
using archivetest::FixturePath;
using archivetest::ReadTree;
using archivetest::RecordingReporter;
using namespace stubframework;

namespace {

// Removes an unpack folder at the end of a test.
struct FolderCleanup {
  std::wstring folder;
  ~FolderCleanup() {
    if (!folder.empty()) deleteFolder(folder);
  }
};

// Points this process's temporary path elsewhere for one scope.
class ScopedTempPath {
 public:
  explicit ScopedTempPath(const std::wstring& path) {
    tmp_ = testsupport::EnvironmentValue(L"TMP");
    temp_ = testsupport::EnvironmentValue(L"TEMP");
    ::SetEnvironmentVariableW(L"TMP", path.c_str());
    ::SetEnvironmentVariableW(L"TEMP", path.c_str());
  }
  ~ScopedTempPath() {
    ::SetEnvironmentVariableW(L"TMP", tmp_.empty() ? nullptr : tmp_.c_str());
    ::SetEnvironmentVariableW(L"TEMP", temp_.empty() ? nullptr : temp_.c_str());
  }

 private:
  std::wstring tmp_, temp_;
};

// The reason the full-disk tests cannot run here, or empty when they can.
std::string FullDiskSkipReason() {
  const std::wstring marker = FixturePath(L"fullfs.skip");
  return base::FileExists(marker) ? testsupport::ReadFileBytes(marker) : std::string();
}

TEST(Unpack, FindsSetupTwoFoldersDeepAndReportsProgress) {
  std::wstring folder, setupFolder;
  RecordingReporter reporter;
  const ErrorHandle result = zip::Unpack(FixturePath(L"unpack\\deep.zip"), folder, setupFolder, &reporter);
  FolderCleanup cleanup{folder};
  ASSERT_EQ(result, NoError);
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), L'\\');
  EXPECT_TRUE(base::StartsWith(folder, userTemporaryPath()));
  EXPECT_TRUE(base::FileExists(base::JoinPath(setupFolder, L"setup.exe")));
  EXPECT_EQ(setupFolder, folder + L"a\\b");
  EXPECT_EQ(ReadTree(folder).size(), 4u);
  EXPECT_EQ(reporter.progress.back(), std::make_pair(4u, 4u));
}

TEST(Unpack, ResultsByPackage) {
  struct Case {
    const wchar_t* package;
    ErrorHandle result;
    bool folderMade;
  };
  for (const Case& c : {Case{L"unpack\\upper.ZIP", NoError, true}, Case{L"unpack\\nosetup.zip", FileNotExist, true},
                        Case{L"unpack\\package.rar", Failure, false}, Case{L"unpack\\damaged.zip", Failure, true},
                        Case{L"unpack\\missing.zip", Failure, true}}) {
    std::wstring folder = L"stale", setupFolder = L"stale";
    const ErrorHandle result = zip::Unpack(FixturePath(c.package), folder, setupFolder);
    FolderCleanup cleanup{folder};
    EXPECT_EQ(result, c.result) << c.package;
    EXPECT_EQ(!folder.empty(), c.folderMade) << c.package;
    EXPECT_EQ(setupFolder.empty(), c.result != NoError) << c.package;
    if (c.result == NoError) {
      EXPECT_EQ(setupFolder, folder);
    }
  }
}

TEST(Unpack, AnEarlierDiskFullErrorIsNotTakenForThisRunsError) {
  struct StickyReporter final : zip::ZipReporter {  // keeps its last error, as the script object does
    void ReportProgress(std::uint32_t, std::uint32_t) noexcept override {}
    void ReportError(std::uint32_t code) noexcept override { last = code; }
    std::uint32_t last = ERROR_DISK_FULL;
  } reporter;
  std::wstring folder, setupFolder;
  const ErrorHandle result = zip::Unpack(FixturePath(L"unpack\\damaged.zip"), folder, setupFolder, &reporter);
  FolderCleanup cleanup{folder};
  EXPECT_EQ(result, Failure);
}

TEST(FindFileFolder, DepthFirstAndReturnsTheHoldingFolder) {
  testsupport::ScopedTempDir scratch;
  ASSERT_TRUE(base::CreateFolderTree(scratch.file(L"x\\y\\z")));
  ASSERT_TRUE(testsupport::WriteFileBytes(scratch.file(L"x\\y\\z\\setup.exe"), "MZ"));
  ASSERT_TRUE(base::CreateFolderTree(scratch.file(L"x\\setup.exe.dir")));
  std::wstring found;
  ASSERT_TRUE(zip::FindFileFolder(scratch.path(), L"setup.exe", found));
  EXPECT_EQ(found, scratch.path() + L"x\\y\\z");
  EXPECT_FALSE(zip::FindFileFolder(scratch.path(), L"absent.exe", found));
  // A folder of that name counts too, as the check only asks whether the path exists.
  ASSERT_TRUE(zip::FindFileFolder(scratch.file(L"x"), L"setup.exe.dir", found));
  EXPECT_EQ(found, scratch.file(L"x"));
}

// --- AddFileToArchive ----------------------------------------------------------------
// The archives written here are checked again on the Linux side with unzip and
// Python's zipfile (verify_written.py).

const std::string kNote = [] {
  std::string s;
  for (int i = 0; i < 100; ++i) s += "first entry\r\n";
  return s;
}();
const std::string kSecond = [] {
  std::string s;
  for (int i = 0; i < 1024; ++i) s += static_cast<char>(i & 0xFF);
  return s;
}();

TEST(AddFileToArchive, CreatesAMissingArchiveAndAppendsToIt) {
  testsupport::ScopedTempDir scratch;
  ASSERT_TRUE(testsupport::WriteFileBytes(scratch.file(L"note.txt"), kNote));
  ASSERT_TRUE(testsupport::WriteFileBytes(scratch.file(L"second.log"), kSecond));
  const std::wstring archive = FixturePath(L"written\\new.zip");
  ::DeleteFileW(archive.c_str());
  ASSERT_TRUE(zip::AddFileToArchive(scratch.file(L"note.txt"), archive));
  ASSERT_TRUE(zip::AddFileToArchive(scratch.file(L"second.log"), archive));
  testsupport::ScopedTempDir out;
  ASSERT_TRUE(ExtractFile(archive, out.path(), nullptr));
  EXPECT_EQ(ReadTree(out.path()), (std::map<std::wstring, std::string>{{L"note.txt", kNote}, {L"second.log", kSecond}}));
  EXPECT_LT(testsupport::ReadFileBytes(archive).size(), kNote.size());  // the note was deflated
}

TEST(AddFileToArchive, AppendsToAnArchiveMadeByAnotherTool) {
  testsupport::ScopedTempDir scratch;
  ASSERT_TRUE(testsupport::WriteFileBytes(scratch.file(L"note.txt"), kNote));
  const std::wstring archive = FixturePath(L"written\\appended.zip");
  ASSERT_TRUE(::CopyFileW(FixturePath(L"existing_small.zip").c_str(), archive.c_str(), FALSE));
  ASSERT_TRUE(zip::AddFileToArchive(scratch.file(L"note.txt"), archive));
  testsupport::ScopedTempDir out;
  ASSERT_TRUE(ExtractFile(archive, out.path(), nullptr));
  const auto files = ReadTree(out.path());
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files.at(L"first.txt"), "first\r\n");
  EXPECT_EQ(files.at(L"note.txt"), kNote);
}

TEST(AddFileToArchive, RefusesWithoutTouchingTheArchive) {
  testsupport::ScopedTempDir scratch;
  ASSERT_TRUE(testsupport::WriteFileBytes(scratch.file(L"note.txt"), kNote));
  ASSERT_TRUE(testsupport::WriteFileBytes(scratch.file(L"\u65e5\u672c.txt"), kNote));  // no ANSI name
  const std::wstring notAnArchive = scratch.file(L"plain.zip");
  ASSERT_TRUE(testsupport::WriteFileBytes(notAnArchive, std::string(3000, 'p')));
  EXPECT_FALSE(zip::AddFileToArchive(scratch.file(L"missing.txt"), scratch.file(L"a.zip")));
  EXPECT_FALSE(base::PathExists(scratch.file(L"a.zip")));
  EXPECT_FALSE(zip::AddFileToArchive(scratch.file(L"\u65e5\u672c.txt"), scratch.file(L"b.zip")));
  EXPECT_FALSE(base::PathExists(scratch.file(L"b.zip")));
  EXPECT_FALSE(zip::AddFileToArchive(scratch.file(L"note.txt"), notAnArchive));
  EXPECT_EQ(testsupport::ReadFileBytes(notAnArchive), std::string(3000, 'p'));
  EXPECT_FALSE(zip::AddFileToArchive(scratch.file(L"note.txt"), scratch.path()));  // a folder
}

// --- a full disk (a 512 KiB tmpfs mounted by the fixture setup) ------------------------

TEST(FullDisk, UnpackGivesDiskFull) {
  const std::string skip = FullDiskSkipReason();
  if (!skip.empty()) GTEST_SKIP() << skip;
  std::wstring folder, setupFolder;
  ErrorHandle result;
  {
    ScopedTempPath temp(FixturePath(L"fullfs"));
    result = zip::Unpack(FixturePath(L"unpack\\big.zip"), folder, setupFolder);
  }
  FolderCleanup cleanup{folder};
  EXPECT_EQ(result, DiskFull);
  EXPECT_TRUE(base::StartsWith(folder, FixturePath(L"fullfs")));
  EXPECT_FALSE(base::PathExists(base::JoinPath(folder, L"payload.bin")));  // the partial file was removed
}

TEST(FullDisk, AddFileToArchiveRemovesANewArchiveAndRestoresAnExistingOne) {
  const std::string skip = FullDiskSkipReason();
  if (!skip.empty()) GTEST_SKIP() << skip;
  const std::wstring source = FixturePath(L"random_big.bin");
  const std::wstring created = FixturePath(L"fullfs\\created.zip");
  EXPECT_FALSE(zip::AddFileToArchive(source, created));
  EXPECT_FALSE(base::PathExists(created));

  const std::wstring existing = FixturePath(L"fullfs\\existing.zip");
  const std::string before = testsupport::ReadFileBytes(existing);
  ASSERT_FALSE(before.empty());
  EXPECT_FALSE(zip::AddFileToArchive(source, existing));
  EXPECT_EQ(testsupport::ReadFileBytes(existing), before);
}

}  // namespace
