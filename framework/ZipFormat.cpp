#include "framework/ZipFormat.h"

#include <algorithm>

namespace stubframework::zip {

namespace {

// Field offsets inside the fixed-size records.
namespace end {
constexpr std::size_t kDiskNumber = 4, kDirectoryDisk = 6, kEntriesOnDisk = 8, kEntryCount = 10,
                      kDirectorySize = 12, kDirectoryOffset = 16, kCommentLength = 20;
}
namespace central {
constexpr std::size_t kVersionMadeBy = 4, kFlags = 8, kMethod = 10, kTime = 12, kDate = 14, kCrc = 16,
                      kCompressedSize = 20, kUncompressedSize = 24, kNameLength = 28, kExtraLength = 30,
                      kCommentLength = 32, kExternalAttributes = 38, kLocalHeaderOffset = 42;
}
namespace local {
constexpr std::size_t kNameLength = 26, kExtraLength = 28;
}

void PutLe16(std::string& out, std::uint16_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>(value >> 8));
}
void PutLe32(std::string& out, std::uint32_t value) {
  PutLe16(out, static_cast<std::uint16_t>(value & 0xFFFF));
  PutLe16(out, static_cast<std::uint16_t>(value >> 16));
}

std::uint16_t VersionNeeded(const Entry& entry) { return entry.method == kMethodDeflated ? 20 : 10; }

}  // namespace

std::uint16_t ReadLe16(const unsigned char* p) noexcept {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t ReadLe32(const unsigned char* p) noexcept {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::optional<std::uint64_t> FindEndRecord(ByteSource& source) noexcept {
  const std::uint64_t fileSize = source.size();
  if (fileSize < kEndRecordSize) return std::nullopt;
  unsigned char window[kSearchWindow];
  std::uint64_t windowStart = fileSize > kSearchWindow ? fileSize - kSearchWindow : 0;
  for (;;) {
    const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(kSearchWindow, fileSize - windowStart));
    if (!source.readAt(windowStart, window, length)) return std::nullopt;
    for (std::size_t i = length - 3; i-- > 0;) {
      if (ReadLe32(window + i) == kEndRecordSignature) return windowStart + i;
    }
    if (windowStart == 0 || fileSize - windowStart >= kEndRecordSearchSpan) return std::nullopt;
    windowStart = windowStart > kSearchStep ? windowStart - kSearchStep : 0;
  }
}

bool ParseEndRecord(const unsigned char* bytes, std::uint64_t position, std::uint64_t fileSize,
                    EndRecord& record) noexcept {
  if (ReadLe32(bytes) != kEndRecordSignature) return false;
  record.position = position;
  record.diskNumber = ReadLe16(bytes + end::kDiskNumber);
  record.directoryDisk = ReadLe16(bytes + end::kDirectoryDisk);
  record.entriesOnDisk = ReadLe16(bytes + end::kEntriesOnDisk);
  record.entryCount = ReadLe16(bytes + end::kEntryCount);
  record.directorySize = ReadLe32(bytes + end::kDirectorySize);
  record.directoryOffset = ReadLe32(bytes + end::kDirectoryOffset);
  record.commentLength = ReadLe16(bytes + end::kCommentLength);
  const bool singleDisk = (record.diskNumber == 0 && record.directoryDisk == 0) ||
                          (record.diskNumber == 1 && record.directoryDisk == 1);
  if (!singleDisk) return false;
  if (record.entriesOnDisk != record.entryCount) return false;
  if (record.directorySize < static_cast<std::uint64_t>(record.entryCount) * kCentralHeaderSize) return false;
  if (static_cast<std::uint64_t>(record.directoryOffset) + record.directorySize > fileSize) return false;
  return true;
}

bool ParseCentralDirectory(const unsigned char* data, std::size_t size, std::uint16_t count, std::uint64_t baseOffset,
                           std::uint64_t fileSize, std::vector<Entry>& entries) {
  entries.clear();
  entries.reserve(count);
  std::size_t at = 0;
  for (std::uint32_t index = 0; index < count; ++index) {
    if (size - at < kCentralHeaderSize) return false;
    const unsigned char* header = data + at;
    if (ReadLe32(header) != kCentralHeaderSignature) return false;
    const std::size_t nameLength = ReadLe16(header + central::kNameLength);
    const std::size_t variableLength =
        nameLength + ReadLe16(header + central::kExtraLength) + ReadLe16(header + central::kCommentLength);
    if (size - at - kCentralHeaderSize < variableLength) return false;
    Entry entry;
    entry.name.assign(reinterpret_cast<const char*>(header + kCentralHeaderSize), nameLength);
    entry.versionMadeBy = ReadLe16(header + central::kVersionMadeBy);
    entry.flags = ReadLe16(header + central::kFlags);
    entry.method = ReadLe16(header + central::kMethod);
    entry.modifiedTime = ReadLe16(header + central::kTime);
    entry.modifiedDate = ReadLe16(header + central::kDate);
    entry.crc32 = ReadLe32(header + central::kCrc);
    entry.compressedSize = ReadLe32(header + central::kCompressedSize);
    entry.uncompressedSize = ReadLe32(header + central::kUncompressedSize);
    entry.externalAttributes = ReadLe32(header + central::kExternalAttributes);
    entry.localHeaderOffset = baseOffset + ReadLe32(header + central::kLocalHeaderOffset);
    if (entry.compressedSize == kSizeUnknown || entry.uncompressedSize == kSizeUnknown) return false;
    if (entry.method == kMethodStored && entry.compressedSize != entry.uncompressedSize) return false;
    if (entry.uncompressedSize != 0 && entry.compressedSize == 0) return false;
    if (entry.localHeaderOffset + kLocalHeaderSize + entry.compressedSize > fileSize) return false;
    entries.push_back(std::move(entry));
    at += kCentralHeaderSize + variableLength;
  }
  return true;
}

bool ReadDirectory(ByteSource& source, Directory& directory) {
  const std::uint64_t fileSize = source.size();
  const std::optional<std::uint64_t> position = FindEndRecord(source);
  if (!position) return false;
  unsigned char record[kEndRecordSize];
  if (!source.readAt(*position, record, sizeof(record))) return false;
  if (!ParseEndRecord(record, *position, fileSize, directory.end)) return false;
  // The directory lies right in front of the record; where the record says it
  // lies tells how much precedes the archive.
  if (directory.end.directorySize > *position) return false;
  directory.position = *position - directory.end.directorySize;
  if (directory.end.directoryOffset > directory.position) return false;
  directory.baseOffset = directory.position - directory.end.directoryOffset;
  std::vector<unsigned char> bytes(directory.end.directorySize);
  if (!bytes.empty() && !source.readAt(directory.position, bytes.data(), bytes.size())) return false;
  return ParseCentralDirectory(bytes.data(), bytes.size(), directory.end.entryCount, directory.baseOffset, fileSize,
                               directory.entries);
}

bool LocateEntryData(const unsigned char* localHeader, const Entry& entry, std::uint64_t fileSize,
                     std::uint64_t& dataOffset) noexcept {
  if (ReadLe32(localHeader) != kLocalHeaderSignature) return false;
  dataOffset = entry.localHeaderOffset + kLocalHeaderSize + ReadLe16(localHeader + local::kNameLength) +
               ReadLe16(localHeader + local::kExtraLength);
  return dataOffset <= fileSize && entry.compressedSize <= fileSize - dataOffset;
}

bool IsDirectoryEntry(const Entry& entry) noexcept {
  return (!entry.name.empty() && entry.name.back() == '/') || (entry.externalAttributes & kDirectoryAttribute) != 0;
}

bool IsSupportedEntry(const Entry& entry) noexcept {
  if (entry.method != kMethodStored && entry.method != kMethodDeflated) return false;
  return (entry.flags & (kFlagEncrypted | kFlagStrongEncryption | kFlagPatchData)) == 0;
}

void AppendLocalHeader(std::string& out, const Entry& entry) {
  PutLe32(out, kLocalHeaderSignature);
  PutLe16(out, VersionNeeded(entry));
  PutLe16(out, entry.flags);
  PutLe16(out, entry.method);
  PutLe16(out, entry.modifiedTime);
  PutLe16(out, entry.modifiedDate);
  PutLe32(out, entry.crc32);
  PutLe32(out, entry.compressedSize);
  PutLe32(out, entry.uncompressedSize);
  PutLe16(out, static_cast<std::uint16_t>(entry.name.size()));
  PutLe16(out, 0);  // no extra field
  out += entry.name;
}

void AppendCentralHeader(std::string& out, const Entry& entry, std::uint32_t relativeOffset) {
  PutLe32(out, kCentralHeaderSignature);
  PutLe16(out, entry.versionMadeBy);
  PutLe16(out, VersionNeeded(entry));
  PutLe16(out, entry.flags);
  PutLe16(out, entry.method);
  PutLe16(out, entry.modifiedTime);
  PutLe16(out, entry.modifiedDate);
  PutLe32(out, entry.crc32);
  PutLe32(out, entry.compressedSize);
  PutLe32(out, entry.uncompressedSize);
  PutLe16(out, static_cast<std::uint16_t>(entry.name.size()));
  PutLe16(out, 0);  // extra field
  PutLe16(out, 0);  // comment
  PutLe16(out, 0);  // disk number start
  PutLe16(out, 0);  // internal attributes
  PutLe32(out, entry.externalAttributes);
  PutLe32(out, relativeOffset);
  out += entry.name;
}

void AppendEndRecord(std::string& out, std::uint16_t entryCount, std::uint32_t directorySize,
                     std::uint32_t directoryOffset, const std::string& comment) {
  PutLe32(out, kEndRecordSignature);
  PutLe16(out, 0);
  PutLe16(out, 0);
  PutLe16(out, entryCount);
  PutLe16(out, entryCount);
  PutLe32(out, directorySize);
  PutLe32(out, directoryOffset);
  PutLe16(out, static_cast<std::uint16_t>(std::min<std::size_t>(comment.size(), 0xFFFF)));
  out.append(comment, 0, std::min<std::size_t>(comment.size(), 0xFFFF));
}

}  // namespace stubframework::zip
