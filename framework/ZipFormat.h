// The ZIP container format as this stub reads and writes it: locating the
// end-of-central-directory record, checking it, walking the central directory,
// finding an entry's data behind its local header, and encoding the records the
// archive writer appends. Pure functions over bytes (no Windows header), so they
// build natively and are fuzzed there.
//
// Offsets: an archive may sit behind other data (the executable image). Its
// central directory is taken to lie right in front of the end record, and the
// difference between where it lies and where the record says it lies is the
// base offset added to every local-header offset.
#pragma once

#include "framework/ByteSource.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace stubframework::zip {

inline constexpr std::uint32_t kEndRecordSignature = 0x06054b50;
inline constexpr std::uint32_t kCentralHeaderSignature = 0x02014b50;
inline constexpr std::uint32_t kLocalHeaderSignature = 0x04034b50;
inline constexpr std::size_t kEndRecordSize = 22;
inline constexpr std::size_t kCentralHeaderSize = 46;
inline constexpr std::size_t kLocalHeaderSize = 30;
// The record begins within the last 65,535 (longest comment) + 22 bytes.
inline constexpr std::uint64_t kEndRecordSearchSpan = 65535 + kEndRecordSize;
// Search windows overlap by 3 bytes so a signature across two windows is seen.
inline constexpr std::size_t kSearchWindow = 4096;
inline constexpr std::size_t kSearchStep = kSearchWindow - 3;

inline constexpr std::uint16_t kMethodStored = 0;
inline constexpr std::uint16_t kMethodDeflated = 8;
inline constexpr std::uint16_t kFlagEncrypted = 0x0001;
inline constexpr std::uint16_t kFlagStrongEncryption = 0x0040;
inline constexpr std::uint16_t kFlagPatchData = 0x0020;
inline constexpr std::uint32_t kDirectoryAttribute = 0x10;
inline constexpr std::uint32_t kSizeUnknown = 0xFFFFFFFFu;  // ZIP64 marker: not supported
inline constexpr std::uint16_t kMaxEntries = 0xFFFF;

struct EndRecord {
  std::uint64_t position = 0;  // of the record in the file
  std::uint16_t diskNumber = 0;
  std::uint16_t directoryDisk = 0;
  std::uint16_t entriesOnDisk = 0;
  std::uint16_t entryCount = 0;
  std::uint32_t directorySize = 0;
  std::uint32_t directoryOffset = 0;  // as stored: counts from the archive's own start
  std::uint16_t commentLength = 0;
};

struct Entry {
  std::string name;  // as stored: "/" separators, the system's ANSI code page
  std::uint16_t versionMadeBy = 0;
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint16_t modifiedTime = 0;
  std::uint16_t modifiedDate = 0;
  std::uint32_t crc32 = 0;
  std::uint32_t compressedSize = 0;
  std::uint32_t uncompressedSize = 0;
  std::uint32_t externalAttributes = 0;
  std::uint64_t localHeaderOffset = 0;  // position in the file: the base offset is added
};

struct Directory {
  EndRecord end;
  std::uint64_t position = 0;    // of the central directory in the file
  std::uint64_t baseOffset = 0;  // position of the archive's first byte in the file
  std::vector<Entry> entries;
};

std::uint16_t ReadLe16(const unsigned char* p) noexcept;
std::uint32_t ReadLe32(const unsigned char* p) noexcept;

// Position of the end record: windows of 4,096 bytes from the end of the file
// backwards in steps of 4,093, each scanned from its last possible position
// backwards; the hit nearest the end wins. Nothing when the start of the file or
// 65,557 bytes from the end are reached without a hit, or a read fails.
std::optional<std::uint64_t> FindEndRecord(ByteSource& source) noexcept;

// Decodes the 22 bytes at `position` and checks them: signature, disk numbers
// both 0 or both 1, entries on this disk equal to the total, at least 46 bytes
// of directory per entry, stored directory offset plus size within the file.
bool ParseEndRecord(const unsigned char* bytes, std::uint64_t position, std::uint64_t fileSize,
                    EndRecord& record) noexcept;

// Walks `count` central-directory headers in `data` and checks each: signature,
// lengths within the directory, no ZIP64 sizes, a stored entry's sizes equal, no
// data without compressed bytes, local header plus data within the file.
// `baseOffset` is added to every local-header offset.
bool ParseCentralDirectory(const unsigned char* data, std::size_t size, std::uint16_t count, std::uint64_t baseOffset,
                           std::uint64_t fileSize, std::vector<Entry>& entries);

// The whole reading side: end record, its checks, the base offset and the
// central directory. False for anything damaged; `directory` is then unspecified.
bool ReadDirectory(ByteSource& source, Directory& directory);

// Checks the 30-byte local header of `entry` and gives the position of its data,
// which must lie within the file with all its compressed bytes.
bool LocateEntryData(const unsigned char* localHeader, const Entry& entry, std::uint64_t fileSize,
                     std::uint64_t& dataOffset) noexcept;

// A folder entry: the name ends with "/" or the directory attribute is set.
bool IsDirectoryEntry(const Entry& entry) noexcept;
// Stored or deflated, not encrypted, no patch data.
bool IsSupportedEntry(const Entry& entry) noexcept;

// Encoders for the writer. `relativeOffset` counts from the archive's start.
void AppendLocalHeader(std::string& out, const Entry& entry);
void AppendCentralHeader(std::string& out, const Entry& entry, std::uint32_t relativeOffset);
void AppendEndRecord(std::string& out, std::uint16_t entryCount, std::uint32_t directorySize,
                     std::uint32_t directoryOffset, const std::string& comment);

}  // namespace stubframework::zip
