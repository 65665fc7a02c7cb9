// The pure parsers over in-memory bytes: end-record search and checks, the
// central-directory walk with the base offset, entry-name rules, and the
// certificate-table trailer of PE32 and PE32+ images.
#include "framework/PeCertificateTable.h"
#include "framework/ZipEntryName.h"
#include "framework/ZipFormat.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace stubframework;
using namespace stubframework::zip;

namespace {

// A stored archive of the given names (each holding its own name as data).
std::string MakeArchive(const std::vector<std::string>& names, const std::string& comment = {}) {
  std::string out, directory;
  for (const std::string& name : names) {
    Entry entry;
    entry.name = name;
    entry.method = kMethodStored;
    entry.compressedSize = entry.uncompressedSize = static_cast<std::uint32_t>(name.size());
    const auto offset = static_cast<std::uint32_t>(out.size());
    AppendLocalHeader(out, entry);
    out += name;
    AppendCentralHeader(directory, entry, offset);
  }
  const auto directoryOffset = static_cast<std::uint32_t>(out.size());
  out += directory;
  AppendEndRecord(out, static_cast<std::uint16_t>(names.size()), static_cast<std::uint32_t>(directory.size()),
                  directoryOffset, comment);
  return out;
}

std::optional<std::uint64_t> Find(const std::string& bytes) {
  MemoryByteSource source(bytes.data(), bytes.size());
  return FindEndRecord(source);
}

bool Read(const std::string& bytes, Directory& directory) {
  MemoryByteSource source(bytes.data(), bytes.size());
  return ReadDirectory(source, directory);
}

TEST(FindEndRecord, FindsTheRecordBehindCommentsOfEveryLength) {
  // 4,075 puts the signature across the first two windows; 65,535 is the longest comment.
  for (size_t commentLength : {0, 1, 3, 4074, 4075, 4076, 4093, 8190, 40000, 65535}) {
    const std::string archive = MakeArchive({"a.txt"}, std::string(commentLength, 'c'));
    const auto position = Find(archive);
    ASSERT_TRUE(position.has_value()) << commentLength;
    EXPECT_EQ(*position, archive.size() - kEndRecordSize - commentLength) << commentLength;
  }
}

TEST(FindEndRecord, GivesUpBeyondTheSearchSpanAndOnTinyFiles) {
  const std::string archive = MakeArchive({"a.txt"});
  EXPECT_TRUE(Find(archive + std::string(60000, '\0')).has_value());
  EXPECT_FALSE(Find(archive + std::string(70000, '\0')).has_value());
  EXPECT_FALSE(Find(std::string(21, '\0')).has_value());
  EXPECT_FALSE(Find(std::string(100000, 'x')).has_value());
}

TEST(FindEndRecord, TheHitNearestTheEndIsTheRecord) {
  const std::string archive = MakeArchive({"a.txt"});
  // A record claiming one entry in an empty directory.
  const std::string withFake = archive + std::string("PK\x05\x06\0\0\0\0\x01\0\x01\0", 12) + std::string(40, '\0');
  ASSERT_EQ(Find(withFake), archive.size());
  Directory directory;
  EXPECT_FALSE(Read(withFake, directory));  // the false record then fails its checks
}

TEST(ReadDirectory, BaseOffsetIsWhatPrecedesTheArchive) {
  const std::string archive = MakeArchive({"x/one.txt", "two.txt"});
  for (size_t prefix : {0, 1, 4096, 70001}) {
    Directory directory;
    ASSERT_TRUE(Read(std::string(prefix, 'i') + archive + std::string(2000, 't'), directory)) << prefix;
    EXPECT_EQ(directory.baseOffset, prefix);
    ASSERT_EQ(directory.entries.size(), 2u);
    EXPECT_EQ(directory.entries[0].name, "x/one.txt");
    EXPECT_EQ(directory.entries[0].localHeaderOffset, prefix);
    EXPECT_EQ(directory.entries[1].name, "two.txt");
  }
}

TEST(ParseEndRecord, AcceptsDisksZeroOrOneAndChecksCounts) {
  std::string record;
  AppendEndRecord(record, 2, 92, 0, {});
  auto withDisks = [&](std::uint16_t disk, std::uint16_t directoryDisk) {
    std::string r = record;
    r[4] = static_cast<char>(disk);
    r[6] = static_cast<char>(directoryDisk);
    EndRecord parsed;
    return ParseEndRecord(reinterpret_cast<const unsigned char*>(r.data()), 0, 1000, parsed);
  };
  EXPECT_TRUE(withDisks(0, 0));
  EXPECT_TRUE(withDisks(1, 1));
  EXPECT_FALSE(withDisks(0, 1));
  EXPECT_FALSE(withDisks(2, 2));
  EndRecord parsed;
  EXPECT_FALSE(ParseEndRecord(reinterpret_cast<const unsigned char*>(record.data()), 0, 91, parsed));  // beyond file
  std::string small;
  AppendEndRecord(small, 2, 91, 0, {});  // less than 46 bytes per entry
  EXPECT_FALSE(ParseEndRecord(reinterpret_cast<const unsigned char*>(small.data()), 0, 1000, parsed));
}

TEST(ParseCentralDirectory, RefusesTruncatedHeadersAndNames) {
  const std::string archive = MakeArchive({"name.txt"});
  Directory directory;
  ASSERT_TRUE(Read(archive, directory));
  const std::string central = archive.substr(directory.position, directory.end.directorySize);
  std::vector<Entry> entries;
  const auto* bytes = reinterpret_cast<const unsigned char*>(central.data());
  EXPECT_TRUE(ParseCentralDirectory(bytes, central.size(), 1, 0, archive.size(), entries));
  EXPECT_FALSE(ParseCentralDirectory(bytes, central.size() - 1, 1, 0, archive.size(), entries));  // name cut
  EXPECT_FALSE(ParseCentralDirectory(bytes, 45, 1, 0, archive.size(), entries));
  EXPECT_FALSE(ParseCentralDirectory(bytes, central.size(), 2, 0, archive.size(), entries));  // count too high
}

TEST(LocateEntryData, SkipsNameAndExtraAndStaysInTheFile) {
  Entry entry;
  entry.name = "abc";
  entry.compressedSize = entry.uncompressedSize = 10;
  entry.localHeaderOffset = 5;
  std::string header;
  AppendLocalHeader(header, entry);
  header[28] = 7;  // an extra field of 7 bytes
  std::uint64_t data = 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(header.data());
  ASSERT_TRUE(LocateEntryData(bytes, entry, 5 + 30 + 3 + 7 + 10, data));
  EXPECT_EQ(data, 5u + 30 + 3 + 7);
  EXPECT_FALSE(LocateEntryData(bytes, entry, 5 + 30 + 3 + 7 + 9, data));
  header[0] = 'Q';
  EXPECT_FALSE(LocateEntryData(bytes, entry, 1000, data));
}

TEST(EntryKinds, FoldersByTrailingSlashOrAttributeAndSupportedMethods) {
  Entry entry;
  entry.name = "dir/";
  EXPECT_TRUE(IsDirectoryEntry(entry));
  entry.name = "dir";
  EXPECT_FALSE(IsDirectoryEntry(entry));
  entry.externalAttributes = kDirectoryAttribute;
  EXPECT_TRUE(IsDirectoryEntry(entry));
  struct Case {
    std::uint16_t method, flags;
    bool supported;
  };
  for (const Case& c : {Case{0, 0, true}, Case{8, 0, true}, Case{8, 0x0008, true}, Case{8, 0x0800, true},
                        Case{9, 0, false}, Case{12, 0, false}, Case{8, 0x0001, false}, Case{0, 0x0020, false},
                        Case{8, 0x0040, false}}) {
    entry.method = c.method;
    entry.flags = c.flags;
    EXPECT_EQ(IsSupportedEntry(entry), c.supported) << c.method << " " << c.flags;
  }
}

TEST(EntryNames, OnlyNamesThatStayInsideTheFolderAreContained) {
  struct Case {
    const wchar_t* name;
    bool contained;
  };
  for (const Case& c : {Case{L"a.txt", true}, Case{L"a\\b\\c.txt", true}, Case{L"a/b/", true},
                        Case{L".\\a.txt", true}, Case{L"a..b\\c", true}, Case{L"..a\\b", true},
                        Case{L"a\\b..\\c", true}, Case{L"", false}, Case{L"..", false}, Case{L"..\\a", false},
                        Case{L"a\\..\\..\\b", false}, Case{L"a/../b", false}, Case{L"\\a", false},
                        Case{L"/a", false}, Case{L"\\\\server\\share\\a", false}, Case{L"C:\\a", false},
                        Case{L"C:a", false}, Case{L"a.txt:stream", false}, Case{L"a\\...\\b", false},
                        Case{L"a\\.. \\b", false}, Case{L"a\\. .\\b", false}, Case{L"a\\..", false}}) {
    EXPECT_EQ(IsContainedEntryName(std::wstring_view(c.name)), c.contained) << "\"" << testing::PrintToString(c.name)
                                                                             << "\"";
    std::string narrow;
    for (const wchar_t* p = c.name; *p; ++p) narrow += static_cast<char>(*p);
    EXPECT_EQ(IsContainedEntryName(std::string_view(narrow)), c.contained) << narrow;
  }
}

TEST(EntryNames, StorableNamesForTheWriter) {
  EXPECT_TRUE(IsStorableEntryName("log.txt"));
  EXPECT_TRUE(IsStorableEntryName("a/b.txt"));
  EXPECT_FALSE(IsStorableEntryName(""));
  EXPECT_FALSE(IsStorableEntryName("/log.txt"));
  EXPECT_FALSE(IsStorableEntryName("a\\b.txt"));
  EXPECT_FALSE(IsStorableEntryName("log.txt:x"));
}

// --- certificate-table trailer ---------------------------------------------------

void Put32(std::string& image, size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) image[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A minimal image: DOS header, "PE\0\0" at 0x80, optional header of the given
// magic, and a certificate table of one 16-byte certificate plus `trailer`.
std::string MakeImage(std::uint16_t magic, const std::string& trailer, std::uint32_t directories = 16) {
  std::string image(0x400, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  Put32(image, 60, 0x80);
  std::memcpy(&image[0x80], "PE\0\0", 4);
  const size_t optional = 0x80 + 24;
  image[optional] = static_cast<char>(magic & 0xFF);
  image[optional + 1] = static_cast<char>(magic >> 8);
  const bool plus = magic == 0x20b;
  Put32(image, optional + (plus ? 108 : 92), directories);
  const size_t security = optional + (plus ? 144 : 128);
  Put32(image, security, static_cast<std::uint32_t>(image.size()));
  Put32(image, security + 4, static_cast<std::uint32_t>(16 + trailer.size()));
  std::string certificate(16, '\x5a');
  Put32(certificate, 0, 16);
  return image + certificate + trailer;
}

pe::TrailerState Trailer(const std::string& image, std::string& bytes) {
  MemoryByteSource source(image.data(), image.size());
  return pe::ReadCertificateTrailer(source, bytes);
}

TEST(CertificateTrailer, ReadsTextBehindTheFirstCertificateInBothLayouts) {
  for (std::uint16_t magic : {0x10b, 0x20b}) {
    std::string bytes;
    EXPECT_EQ(Trailer(MakeImage(magic, std::string("channel=beta\0\0\0\0", 16)), bytes), pe::TrailerState::kPresent);
    EXPECT_EQ(bytes, "channel=beta");
    EXPECT_EQ(Trailer(MakeImage(magic, ""), bytes), pe::TrailerState::kEmpty);
    EXPECT_EQ(Trailer(MakeImage(magic, "x", 4), bytes), pe::TrailerState::kEmpty);  // no security directory
    EXPECT_EQ(Trailer(MakeImage(magic, std::string(100001, 'x')), bytes), pe::TrailerState::kMissing);
    EXPECT_EQ(Trailer(MakeImage(magic, std::string(100000, 'x')), bytes), pe::TrailerState::kPresent);
    EXPECT_EQ(bytes.size(), 100000u);
  }
}

TEST(CertificateTrailer, DamagedImagesGiveNoData) {
  std::string bytes;
  std::string notMz = MakeImage(0x10b, "x");
  notMz[0] = 'Z';
  EXPECT_EQ(Trailer(notMz, bytes), pe::TrailerState::kMissing);
  EXPECT_EQ(Trailer(MakeImage(0x107, "x"), bytes), pe::TrailerState::kMissing);
  std::string longCertificate = MakeImage(0x10b, "abc");
  Put32(longCertificate, 0x400, 20);  // longer than the table
  EXPECT_EQ(Trailer(longCertificate, bytes), pe::TrailerState::kMissing);
  std::string cut = MakeImage(0x20b, "abcdef");
  cut.resize(cut.size() - 2);  // the table runs past the end of the file
  EXPECT_EQ(Trailer(cut, bytes), pe::TrailerState::kMissing);
  EXPECT_EQ(Trailer(std::string(30, 'M'), bytes), pe::TrailerState::kMissing);
}

}  // namespace
