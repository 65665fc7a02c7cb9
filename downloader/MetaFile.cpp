#include "downloader/MetaFile.h"

#include <new>

namespace downloader {

bool CreateDownloadMetaSimple(const uint8_t* data, size_t size, DownloadMetaSimple* out) noexcept {
  if (!out || (!data && size) || size < kMetaHeaderSize) return false;
  uint64_t fileSize = 0;
  for (size_t i = 0; i < kMetaHeaderSize; ++i) fileSize |= uint64_t{data[i]} << (8 * i);
  const uint64_t blocks = MetaBlockCount(fileSize);
  if (blocks >= kMaxMetaBlocks) return false;
  // blocks < 2^26, so the product cannot overflow.
  if (static_cast<uint64_t>(size - kMetaHeaderSize) != blocks * kDigestSize) return false;
  DownloadMetaSimple parsed;
  parsed.fileSize = fileSize;
  try {
    parsed.digests.resize(static_cast<size_t>(blocks));
  } catch (const std::bad_alloc&) {
    return false;
  }
  const uint8_t* digest = data + kMetaHeaderSize;
  for (auto& entry : parsed.digests) {
    for (size_t i = 0; i < kDigestSize; ++i) entry[i] = digest[i];
    digest += kDigestSize;
  }
  *out = std::move(parsed);
  return true;
}

std::vector<uint8_t> SerializeDownloadMetaSimple(const DownloadMetaSimple& meta) {
  std::vector<uint8_t> bytes;
  bytes.reserve(kMetaHeaderSize + meta.digests.size() * kDigestSize);
  for (size_t i = 0; i < kMetaHeaderSize; ++i) bytes.push_back(static_cast<uint8_t>(meta.fileSize >> (8 * i)));
  for (const auto& digest : meta.digests) bytes.insert(bytes.end(), digest.begin(), digest.end());
  return bytes;
}

}  // namespace downloader
