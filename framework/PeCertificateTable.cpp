#include "framework/PeCertificateTable.h"

#include "framework/ZipFormat.h"

#include <vector>

namespace stubframework::pe {

namespace {

using zip::ReadLe16;
using zip::ReadLe32;

constexpr std::size_t kDosHeaderSize = 64;
constexpr std::size_t kPeHeaderOffsetField = 60;
constexpr std::size_t kOptionalHeaderStart = 24;  // "PE\0\0" and the file header
constexpr std::uint16_t kPe32Magic = 0x10b;
constexpr std::uint16_t kPe32PlusMagic = 0x20b;
constexpr std::uint32_t kSecurityDirectoryIndex = 4;
constexpr std::size_t kCertificateHeaderSize = 12;

struct OptionalHeaderLayout {
  std::size_t directoryCountField;
  std::size_t directoriesStart;
};

}  // namespace

TrailerState ReadCertificateTrailer(ByteSource& image, std::string& bytes) {
  bytes.clear();
  unsigned char dos[kDosHeaderSize];
  if (!image.readAt(0, dos, sizeof(dos)) || dos[0] != 'M' || dos[1] != 'Z') return TrailerState::kMissing;
  const std::uint64_t peHeader = ReadLe32(dos + kPeHeaderOffsetField);
  unsigned char signature[4];
  if (!image.readAt(peHeader, signature, sizeof(signature)) || ReadLe32(signature) != 0x00004550) {
    return TrailerState::kMissing;
  }
  const std::uint64_t optionalHeader = peHeader + kOptionalHeaderStart;
  unsigned char magicBytes[2];
  if (!image.readAt(optionalHeader, magicBytes, sizeof(magicBytes))) return TrailerState::kMissing;
  OptionalHeaderLayout layout{};
  switch (ReadLe16(magicBytes)) {
    case kPe32Magic: layout = {92, 96}; break;
    case kPe32PlusMagic: layout = {108, 112}; break;
    default: return TrailerState::kMissing;
  }
  unsigned char countBytes[4];
  if (!image.readAt(optionalHeader + layout.directoryCountField, countBytes, sizeof(countBytes))) {
    return TrailerState::kMissing;
  }
  if (ReadLe32(countBytes) <= kSecurityDirectoryIndex) return TrailerState::kEmpty;
  unsigned char directory[8];
  if (!image.readAt(optionalHeader + layout.directoriesStart + 8 * kSecurityDirectoryIndex, directory,
                    sizeof(directory))) {
    return TrailerState::kMissing;
  }
  // The security directory holds a file offset, not an address.
  const std::uint64_t tableOffset = ReadLe32(directory);
  const std::uint32_t tableSize = ReadLe32(directory + 4);
  if (tableOffset == 0 || tableSize == 0) return TrailerState::kEmpty;
  unsigned char certificate[kCertificateHeaderSize];
  if (!image.readAt(tableOffset, certificate, sizeof(certificate))) return TrailerState::kMissing;
  const std::uint32_t certificateLength = ReadLe32(certificate);
  if (certificateLength > tableSize) return TrailerState::kMissing;
  const std::uint32_t trailing = tableSize - certificateLength;
  if (trailing > kMaxTrailingBytes) return TrailerState::kMissing;
  if (trailing == 0) return TrailerState::kEmpty;
  std::vector<char> data(trailing);
  if (!image.readAt(tableOffset + certificateLength, data.data(), data.size())) return TrailerState::kMissing;
  std::size_t length = 0;
  while (length < data.size() && data[length] != '\0') ++length;
  bytes.assign(data.data(), length);
  return TrailerState::kPresent;
}

}  // namespace stubframework::pe
