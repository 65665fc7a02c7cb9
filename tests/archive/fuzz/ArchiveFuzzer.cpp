// libFuzzer target for the pure parsers of outside data in the archive layer:
// end-record search and checks, the central-directory walk, local headers,
// entry-name rules, and the certificate-table trailer of a PE image.
#include "framework/ByteSource.h"
#include "framework/PeCertificateTable.h"
#include "framework/ZipEntryName.h"
#include "framework/ZipFormat.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace stubframework;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MemoryByteSource source(data, size);
  zip::Directory directory;
  if (zip::ReadDirectory(source, directory)) {
    for (const zip::Entry& entry : directory.entries) {
      (void)zip::IsContainedEntryName(std::string_view(entry.name));
      (void)zip::IsDirectoryEntry(entry);
      (void)zip::IsSupportedEntry(entry);
      unsigned char header[zip::kLocalHeaderSize];
      std::uint64_t dataOffset = 0;
      if (source.readAt(entry.localHeaderOffset, header, sizeof(header)) &&
          zip::LocateEntryData(header, entry, source.size(), dataOffset)) {
        // The data the extractor would read must be inside the input.
        if (dataOffset + entry.compressedSize > size) __builtin_trap();
      }
      std::string encoded;
      zip::AppendCentralHeader(encoded, entry, 0);
      if (encoded.size() != zip::kCentralHeaderSize + entry.name.size()) __builtin_trap();
    }
  }
  std::wstring wide(reinterpret_cast<const char*>(data), reinterpret_cast<const char*>(data) + size);
  (void)zip::IsContainedEntryName(std::wstring_view(wide));
  (void)zip::IsStorableEntryName(std::string_view(reinterpret_cast<const char*>(data), size));
  std::string trailer;
  if (pe::ReadCertificateTrailer(source, trailer) == pe::TrailerState::kPresent &&
      trailer.size() > pe::kMaxTrailingBytes) {
    __builtin_trap();
  }
  return 0;
}
