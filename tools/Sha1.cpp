#include "tools/Sha1.h"

#include <cstring>

namespace tools {

namespace {
uint32_t Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }
}  // namespace

void Sha1::Reset() noexcept {
  h_[0] = 0x67452301u;
  h_[1] = 0xEFCDAB89u;
  h_[2] = 0x98BADCFEu;
  h_[3] = 0x10325476u;
  h_[4] = 0xC3D2E1F0u;
  pendingSize_ = 0;
  totalBytes_ = 0;
}

void Sha1::Block(const uint8_t* block) noexcept {
  uint32_t w[80];
  for (int i = 0; i < 16; ++i)
    w[i] = uint32_t{block[4 * i]} << 24 | uint32_t{block[4 * i + 1]} << 16 | uint32_t{block[4 * i + 2]} << 8 |
           uint32_t{block[4 * i + 3]};
  for (int i = 16; i < 80; ++i) w[i] = Rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
  uint32_t a = h_[0], b = h_[1], c = h_[2], d = h_[3], e = h_[4];
  for (int i = 0; i < 80; ++i) {
    uint32_t f, k;
    if (i < 20) {
      f = (b & c) | (~b & d);
      k = 0x5A827999u;
    } else if (i < 40) {
      f = b ^ c ^ d;
      k = 0x6ED9EBA1u;
    } else if (i < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8F1BBCDCu;
    } else {
      f = b ^ c ^ d;
      k = 0xCA62C1D6u;
    }
    const uint32_t t = Rotl(a, 5) + f + e + k + w[i];
    e = d;
    d = c;
    c = Rotl(b, 30);
    b = a;
    a = t;
  }
  h_[0] += a;
  h_[1] += b;
  h_[2] += c;
  h_[3] += d;
  h_[4] += e;
}

void Sha1::Update(const uint8_t* data, size_t size) noexcept {
  totalBytes_ += size;
  if (pendingSize_) {
    const size_t take = size < 64 - pendingSize_ ? size : 64 - pendingSize_;
    std::memcpy(pending_ + pendingSize_, data, take);
    pendingSize_ += take;
    data += take;
    size -= take;
    if (pendingSize_ < 64) return;
    Block(pending_);
    pendingSize_ = 0;
  }
  for (; size >= 64; data += 64, size -= 64) Block(data);
  std::memcpy(pending_, data, size);
  pendingSize_ = size;
}

std::array<uint8_t, 20> Sha1::Final() noexcept {
  const uint64_t bits = totalBytes_ * 8;
  const uint8_t one = 0x80;
  Update(&one, 1);
  const uint8_t zero = 0;
  while (pendingSize_ != 56) Update(&zero, 1);
  uint8_t length[8];
  for (int i = 0; i < 8; ++i) length[i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
  Update(length, 8);
  std::array<uint8_t, 20> digest;
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<uint8_t>(h_[i] >> (24 - 8 * j));
  Reset();
  return digest;
}

}  // namespace tools
