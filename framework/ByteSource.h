// Positioned reads over the bytes of an archive or image, so the parsers of
// outside data work the same over a file handle and over memory (tests, fuzzing).
// No Windows header here: the parsers built on it also build natively.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace stubframework {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t size() const noexcept = 0;
  // Reads exactly `length` bytes at `offset`; false when fewer bytes came.
  [[nodiscard]] virtual bool readAt(std::uint64_t offset, void* buffer, std::size_t length) noexcept = 0;
};

// A source over a block of memory the caller keeps alive.
class MemoryByteSource final : public ByteSource {
 public:
  MemoryByteSource(const void* data, std::size_t size) noexcept
      : data_(static_cast<const unsigned char*>(data)), size_(size) {}
  std::uint64_t size() const noexcept override { return size_; }
  [[nodiscard]] bool readAt(std::uint64_t offset, void* buffer, std::size_t length) noexcept override {
    if (offset > size_ || length > size_ - offset) return false;
    if (length) std::memcpy(buffer, data_ + offset, length);
    return true;
  }

 private:
  const unsigned char* data_;
  std::size_t size_;
};

}  // namespace stubframework
