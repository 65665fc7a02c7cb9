// The pure parsers of server data: Content-Range and header numbers, the meta file.
#include "downloader/ContentRange.h"
#include "downloader/MetaFile.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using downloader::ContentRange;

struct RangeCase {
  const char* text;
  bool ok;
  int64_t offset, size, total;
};

TEST(ContentRangeParser, TableOfValues) {
  const RangeCase cases[] = {
      {"bytes 100-199/1000", true, 100, 100, 1000},
      {"bytes 0-0/1", true, 0, 1, 1},
      {"Bytes  0-9/10", true, 0, 10, 10},
      {"bytes 0-9223372036854775806/9223372036854775807", true, 0, 9223372036854775807LL, 9223372036854775807LL},
      {"bytes 0-9/9223372036854775808", false, 0, 0, 0},  // total overflows
      {"bytes */1000", false, 0, 0, 0},
      {"bytes 0-99/*", false, 0, 0, 0},
      {"bytes 200-100/1000", false, 0, 0, 0},  // last before first
      {"bytes 0-1000/1000", false, 0, 0, 0},   // past the end
      {"bytes -5-10/100", false, 0, 0, 0},
      {"bytes 1-2/3x", false, 0, 0, 0},
      {"bytes1-2/3", false, 0, 0, 0},
      {"items 1-2/3", false, 0, 0, 0},
      {"", false, 0, 0, 0},
  };
  for (const auto& c : cases) {
    ContentRange range;
    range.offset = -100;
    EXPECT_EQ(downloader::ParseContentRange(c.text, &range), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(range.offset, c.offset) << c.text;
      EXPECT_EQ(range.size, c.size) << c.text;
      EXPECT_EQ(range.total, c.total) << c.text;
    } else {
      EXPECT_EQ(range.offset, -100) << "left unchanged: " << c.text;
    }
  }
}

TEST(ContentRangeParser, DecimalHeaderValues) {
  int64_t value = -1;
  EXPECT_TRUE(downloader::ParseDecimal64("1048576", &value));
  EXPECT_EQ(value, 1048576);
  EXPECT_TRUE(downloader::ParseDecimal64(" 0 ", &value));
  EXPECT_EQ(value, 0);
  for (const char* bad : {"", "-1", "12a", "9223372036854775808", "1 2", "0x10"}) {
    value = 77;
    EXPECT_FALSE(downloader::ParseDecimal64(bad, &value)) << bad;
    EXPECT_EQ(value, 77) << bad;
  }
}

std::string MetaHeader(uint64_t size) {
  std::string bytes;
  for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<char>(size >> (8 * i)));
  return bytes;
}

TEST(MetaFileParser, SizesAndLengths) {
  struct Case {
    std::string bytes;
    bool ok;
    uint64_t fileSize;
    size_t blocks;
  };
  const Case cases[] = {
      {MetaHeader(0), true, 0, 0},                                         // empty file: exactly 8 bytes
      {MetaHeader(0).substr(0, 7), false, 0, 0},                           // 7 bytes
      {MetaHeader(1) + std::string(20, 'a'), true, 1, 1},
      {MetaHeader(1048576) + std::string(20, 'a'), true, 1048576, 1},      // exactly one block
      {MetaHeader(1048577) + std::string(20, 'a'), false, 0, 0},           // needs two digests
      {MetaHeader(1048577) + std::string(40, 'a'), true, 1048577, 2},
      {MetaHeader(1048577) + std::string(41, 'a'), false, 0, 0},           // one byte too many
      {MetaHeader(0) + std::string(20, 'a'), false, 0, 0},                 // digests for an empty file
      {MetaHeader(uint64_t{1} << 46) + std::string(20, 'a'), false, 0, 0}, // 2^26 blocks
      {MetaHeader(~uint64_t{0}), false, 0, 0},
  };
  for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
    const auto& c = cases[i];
    downloader::DownloadMetaSimple meta;
    meta.fileSize = 12345;
    const bool ok = downloader::CreateDownloadMetaSimple(reinterpret_cast<const uint8_t*>(c.bytes.data()),
                                                         c.bytes.size(), &meta);
    EXPECT_EQ(ok, c.ok) << "case " << i;
    if (ok) {
      EXPECT_EQ(meta.fileSize, c.fileSize) << "case " << i;
      EXPECT_EQ(meta.digests.size(), c.blocks) << "case " << i;
      const auto again = downloader::SerializeDownloadMetaSimple(meta);
      EXPECT_EQ(std::string(again.begin(), again.end()), c.bytes) << "case " << i;
    } else {
      EXPECT_EQ(meta.fileSize, 12345u) << "left unchanged, case " << i;
    }
  }
}

TEST(MetaFileParser, DigestsKeepTheirBlockOrder) {
  std::string bytes = MetaHeader(2 * 1048576 + 1);
  for (char c : {'x', 'y', 'z'}) bytes += std::string(20, c);
  downloader::DownloadMetaSimple meta;
  ASSERT_TRUE(downloader::CreateDownloadMetaSimple(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &meta));
  ASSERT_EQ(meta.digests.size(), 3u);
  EXPECT_EQ(meta.digests[0][0], 'x');
  EXPECT_EQ(meta.digests[2][19], 'z');
}

}  // namespace
