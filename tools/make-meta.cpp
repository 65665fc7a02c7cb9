// make-meta <file> [<out>]: writes the ".meta" companion of a package (the file
// size, then one SHA-1 per 1 MiB block) to <out>, by default <file>.meta.
// Release pipelines publish it beside the package.
#include "downloader/MetaFile.h"
#include "tools/Sha1.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: make-meta <file> [<out>]\n");
    return 2;
  }
  const std::string input = argv[1];
  const std::string output = argc == 3 ? argv[2] : input + ".meta";
  std::FILE* in = std::fopen(input.c_str(), "rb");
  if (!in) {
    std::perror(input.c_str());
    return 1;
  }
  downloader::DownloadMetaSimple meta;
  std::vector<uint8_t> block(downloader::kMetaBlockSize);
  tools::Sha1 sha1;
  for (;;) {
    size_t filled = 0;
    while (filled < block.size()) {
      const size_t n = std::fread(block.data() + filled, 1, block.size() - filled, in);
      if (n == 0) break;
      filled += n;
    }
    if (std::ferror(in)) {
      std::perror(input.c_str());
      std::fclose(in);
      return 1;
    }
    if (filled == 0) break;
    sha1.Update(block.data(), filled);
    meta.digests.push_back(sha1.Final());
    meta.fileSize += filled;
    if (filled < block.size()) break;
  }
  std::fclose(in);
  if (meta.digests.size() >= downloader::kMaxMetaBlocks) {
    std::fprintf(stderr, "%s: too large for a meta file\n", input.c_str());
    return 1;
  }
  const std::vector<uint8_t> bytes = downloader::SerializeDownloadMetaSimple(meta);
  std::FILE* out = std::fopen(output.c_str(), "wb");
  if (!out || std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() || std::fclose(out) != 0) {
    std::perror(output.c_str());
    return 1;
  }
  return 0;
}
