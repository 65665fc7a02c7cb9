// libFuzzer target for the engine's parsers of server data: the meta file, the
// Content-Range value and decimal header values. Besides crashes it checks the
// invariants the engine relies on.
#include "downloader/ContentRange.h"
#include "downloader/MetaFile.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  downloader::DownloadMetaSimple meta;
  if (downloader::CreateDownloadMetaSimple(data, size, &meta)) {
    // An accepted meta file is exactly its own serialisation.
    if (meta.digests.size() != downloader::MetaBlockCount(meta.fileSize)) std::abort();
    const std::vector<uint8_t> again = downloader::SerializeDownloadMetaSimple(meta);
    if (again.size() != size || !std::equal(again.begin(), again.end(), data)) std::abort();
  }

  const std::string_view text(reinterpret_cast<const char*>(data), size);
  downloader::ContentRange range;
  if (downloader::ParseContentRange(text, &range)) {
    if (range.offset < 0 || range.size < 1 || range.total < 1) std::abort();
    if (range.offset > range.total - range.size) std::abort();
  }
  int64_t value = -1;
  if (downloader::ParseDecimal64(text, &value) && value < 0) std::abort();
  return 0;
}
