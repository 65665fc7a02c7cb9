// Extraction of real archives (Python's zipfile, Info-ZIP's zip) from files,
// including archives behind other data, damaged archives and names that try to
// leave the target folder.
#include "base/FileSystem.h"
#include "framework/ExtractArchive.h"
#include "tests/archive/ArchiveTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

using archivetest::ExtractFile;
using archivetest::FixturePath;
using archivetest::ReadTree;
using archivetest::RecordingReporter;

namespace {

// The package tree the archives were made from, with "/" turned into "\".
const std::map<std::wstring, std::string>& PackageTree() {
  static const std::map<std::wstring, std::string> tree = ReadTree(FixturePath(L"tree"));
  return tree;
}

std::map<std::wstring, std::string> Subset(const std::map<std::wstring, std::string>& all, size_t count) {
  std::map<std::wstring, std::string> out;
  // The first entries in archive order: Load.html, then the css files and so on.
  static const wchar_t* const kFirstTen[] = {
      L"Load.html", L"common\\css\\main.css", L"common\\css\\fonts.css", L"common\\css\\buttons.css",
      L"common\\css\\progress.css", L"common\\img\\logo.png", L"common\\img\\close.png", L"common\\img\\min.png",
      L"common\\img\\check.png", L"common\\img\\bar.png"};
  for (size_t i = 0; i < count && i < 10; ++i) out[kFirstTen[i]] = all.at(kFirstTen[i]);
  return out;
}

struct PackageCase {
  const wchar_t* file;
  size_t entries;  // 56 = the whole tree; 10 = its first ten files
};

class PackageArchives : public ::testing::TestWithParam<PackageCase> {};

TEST_P(PackageArchives, ExtractsEveryFileWithItsBytesAndFolderTree) {
  testsupport::ScopedTempDir scratch;
  const std::wstring target = scratch.file(L"package");  // made by the extraction
  RecordingReporter reporter;
  ASSERT_TRUE(ExtractFile(FixturePath(GetParam().file), target, &reporter));
  const auto expected = GetParam().entries == 56 ? PackageTree() : Subset(PackageTree(), GetParam().entries);
  EXPECT_EQ(ReadTree(target), expected);
  EXPECT_TRUE(reporter.errors.empty());
  if (GetParam().entries == 56) {
    for (const wchar_t* folder : {L"common\\css", L"common\\img", L"common\\js", L"config", L"pages\\welcome",
                                  L"pages\\finish"}) {
      EXPECT_TRUE(base::DirectoryExists(base::JoinPath(target, folder))) << folder;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Archives, PackageArchives,
    ::testing::Values(PackageCase{L"package56_py.zip", 56}, PackageCase{L"package56_infozip.zip", 56},
                      PackageCase{L"package56_infozip_stored.zip", 56},
                      PackageCase{L"package56_infozip_nodirs.zip", 56},
                      // Behind 70,002 bytes of image: offsets from the archive's start ...
                      PackageCase{L"appended_relative.bin", 10},
                      // ... and offsets adjusted to the file's start (zip -A).
                      PackageCase{L"appended_absolute.bin", 10},
                      // With a 21,296-byte table behind the archive, as a signed stub has.
                      PackageCase{L"trailing_table.bin", 10}));

TEST(ExtractArchive, FolderEntriesAreMadeByTrailingSlashOrByAttribute) {
  struct Case {
    const wchar_t* file;
    std::vector<std::wstring> folders;
  };
  for (const Case& c : {Case{L"py_stored_dirs.zip", {L"bin", L"docs", L"empty"}},
                        Case{L"slash_attr_clear.zip", {L"made_by_slash"}},
                        Case{L"attr_without_slash.zip", {L"made_by_attr"}}}) {
    testsupport::ScopedTempDir scratch;
    ASSERT_TRUE(ExtractFile(FixturePath(c.file), scratch.path(), nullptr)) << c.file;
    auto folders = archivetest::ListFolders(scratch.path());
    std::sort(folders.begin(), folders.end());
    EXPECT_EQ(folders, c.folders) << c.file;
  }
}

TEST(ExtractArchive, EmptyAndOneByteEntriesAndLargeInflation) {
  testsupport::ScopedTempDir scratch;
  ASSERT_TRUE(ExtractFile(FixturePath(L"empty_file.zip"), scratch.path(), nullptr));
  EXPECT_EQ(testsupport::ReadFileBytes(scratch.file(L"zero.bin")), "");
  EXPECT_EQ(testsupport::ReadFileBytes(scratch.file(L"one.bin")), "1");
  ASSERT_TRUE(ExtractFile(FixturePath(L"big_deflated.zip"), scratch.path(), nullptr));
  EXPECT_EQ(testsupport::ReadFileBytes(scratch.file(L"big.bin")), testsupport::ReadFileBytes(FixturePath(L"big.bin")));
}

TEST(ExtractArchive, ReportsEveryIndexThenTheCountAtTheEnd) {
  testsupport::ScopedTempDir scratch;
  RecordingReporter reporter;
  ASSERT_TRUE(ExtractFile(FixturePath(L"progress25.zip"), scratch.path(), &reporter));
  std::vector<std::pair<std::uint32_t, std::uint32_t>> expected;
  for (std::uint32_t i = 0; i <= 25; ++i) expected.emplace_back(i, 25);
  EXPECT_EQ(reporter.progress, expected);
}

TEST(ExtractArchive, ReplacesAnExistingFile) {
  testsupport::ScopedTempDir scratch;
  ASSERT_TRUE(testsupport::WriteFileBytes(scratch.file(L"one.bin"), std::string(5000, 'x')));
  ASSERT_TRUE(ExtractFile(FixturePath(L"empty_file.zip"), scratch.path(), nullptr));
  EXPECT_EQ(testsupport::ReadFileBytes(scratch.file(L"one.bin")), "1");
}

TEST(ExtractArchive, FailsWhenTheFileIsNotAnArchive) {
  testsupport::ScopedTempDir scratch;
  RecordingReporter reporter;
  EXPECT_FALSE(ExtractFile(FixturePath(L"big.bin"), scratch.file(L"out"), &reporter));
  EXPECT_FALSE(base::PathExists(scratch.file(L"out")));  // nothing is made before the directory checks pass
  EXPECT_TRUE(reporter.progress.empty());
}

// Damage at each checked field. Directory-level damage writes nothing; damage to
// the second entry keeps the first entry's file and leaves no second file.
struct DamageCase {
  const wchar_t* name;
  bool firstEntryWritten;
};

class DamagedArchives : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DamagedArchives, FailAndLeaveNoDamagedFile) {
  testsupport::ScopedTempDir scratch;
  const std::wstring target = scratch.file(L"out");
  RecordingReporter reporter;
  EXPECT_FALSE(ExtractFile(FixturePath(L"damaged\\") + GetParam().name + L".zip", target, &reporter));
  const auto files = ReadTree(target);
  EXPECT_EQ(files.count(L"a.txt"), GetParam().firstEntryWritten ? 1u : 0u);
  EXPECT_EQ(files.count(L"b.txt"), 0u);
  if (GetParam().firstEntryWritten) {
    // The loop stopped at the second entry and still reported the end.
    ASSERT_EQ(reporter.progress.size(), 3u);
    EXPECT_EQ(reporter.progress.back(), std::make_pair(2u, 2u));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, DamagedArchives,
    ::testing::Values(DamageCase{L"no_end_record", false}, DamageCase{L"disks_differ", false},
                      DamageCase{L"disks_both_two", false}, DamageCase{L"count_differs", false},
                      DamageCase{L"directory_too_small", false}, DamageCase{L"directory_beyond_file", false},
                      DamageCase{L"directory_before_start", false}, DamageCase{L"central_signature", false},
                      DamageCase{L"zip64_compressed", false}, DamageCase{L"zip64_uncompressed", false},
                      DamageCase{L"local_beyond_file", false}, DamageCase{L"stored_sizes_differ", false},
                      DamageCase{L"local_signature", true}, DamageCase{L"crc_mismatch", true},
                      DamageCase{L"size_mismatch", true}, DamageCase{L"method_unsupported", true},
                      DamageCase{L"encrypted", true}, DamageCase{L"patch_data", true},
                      DamageCase{L"deflate_cut_short", true}, DamageCase{L"deflate_corrupted", true}),
    [](const ::testing::TestParamInfo<DamageCase>& info) {
      std::string name;
      for (const wchar_t* p = info.param.name; *p; ++p) name += static_cast<char>(*p);
      return name;
    });

// Each archive holds "good.txt" and then an entry whose name leaves the folder.
class ZipSlip : public ::testing::TestWithParam<const wchar_t*> {};

TEST_P(ZipSlip, FailsTheEntryAndWritesNothingOutsideTheFolder) {
  testsupport::ScopedTempDir scratch;
  const std::wstring target = scratch.file(L"one\\two\\target");
  EXPECT_FALSE(ExtractFile(FixturePath(L"slip\\") + GetParam() + L".zip", target, nullptr));
  const auto everything = ReadTree(scratch.path());
  ASSERT_EQ(everything.size(), 1u);
  EXPECT_EQ(everything.begin()->first, L"one\\two\\target\\good.txt");
  auto folders = archivetest::ListFolders(scratch.path());
  std::sort(folders.begin(), folders.end());
  EXPECT_EQ(folders, (std::vector<std::wstring>{L"one", L"one\\two", L"one\\two\\target"}));
  for (const wchar_t* outside : {L"C:\\evil_drive.txt", L"C:\\evil_absolute.txt", L"C:\\evil_drive_relative.txt"}) {
    EXPECT_FALSE(base::PathExists(outside)) << outside;
  }
}

INSTANTIATE_TEST_SUITE_P(Names, ZipSlip,
                         ::testing::Values(L"slip_dotdot", L"slip_nested", L"slip_deep", L"slip_absolute",
                                           L"slip_drive", L"slip_drive_relative", L"slip_backslash",
                                           L"slip_dots_spaces", L"slip_folder"));

}  // namespace
