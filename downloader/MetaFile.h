// The ".meta" companion of a package: the file size S as an unsigned 64-bit
// little-endian number, then one 20-byte SHA-1 digest per 1 MiB block of the
// file (the last block may be shorter). Pure code: no Windows headers, also
// built natively for the release tool and the fuzz target.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace downloader {

constexpr uint64_t kMetaBlockSize = 1048576;
constexpr size_t kMetaHeaderSize = 8;
constexpr size_t kDigestSize = 20;
constexpr uint64_t kMaxMetaBlocks = uint64_t{1} << 26;  // block counts must stay below this

using Sha1Digest = std::array<uint8_t, kDigestSize>;

struct DownloadMetaSimple {
  uint64_t fileSize = 0;
  std::vector<Sha1Digest> digests;
};

// ceil(size / 1 MiB).
constexpr uint64_t MetaBlockCount(uint64_t fileSize) noexcept {
  return fileSize / kMetaBlockSize + (fileSize % kMetaBlockSize ? 1 : 0);
}

// Parses a meta file. It must be exactly 8 + 20 x B bytes with B = ceil(S / 1 MiB)
// below 2^26; anything else is rejected. On failure `out` is left unchanged.
[[nodiscard]] bool CreateDownloadMetaSimple(const uint8_t* data, size_t size, DownloadMetaSimple* out) noexcept;

// The bytes of a meta file for `fileSize` and its digests (in block order).
std::vector<uint8_t> SerializeDownloadMetaSimple(const DownloadMetaSimple& meta);

}  // namespace downloader
