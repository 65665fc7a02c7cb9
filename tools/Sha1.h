// A portable SHA-1 (FIPS 180-4) for the native release tools, which build
// without the Windows cryptography providers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tools {

class Sha1 {
 public:
  Sha1() noexcept { Reset(); }
  void Reset() noexcept;
  void Update(const uint8_t* data, size_t size) noexcept;
  std::array<uint8_t, 20> Final() noexcept;

 private:
  void Block(const uint8_t* block) noexcept;

  uint32_t h_[5];
  uint8_t pending_[64];
  size_t pendingSize_ = 0;
  uint64_t totalBytes_ = 0;
};

}  // namespace tools
