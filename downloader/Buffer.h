// An owned block of bytes (malloc'd). Move-only; freed when destroyed.
#pragma once

#include <cstdint>
#include <utility>

namespace downloader {

class Buffer {
 public:
  Buffer() noexcept = default;
  Buffer(Buffer&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  Buffer& operator=(Buffer&& other) noexcept;
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  ~Buffer();

  // Reallocates to `size` bytes; the contents are not kept. Returns false and
  // leaves the size at 0 when memory runs out. Reuses the block when it is big enough.
  [[nodiscard]] bool SetSize(uint32_t size) noexcept;
  // Lowers the size without touching the block (bytes beyond it are ignored).
  void Truncate(uint32_t size) noexcept {
    if (size < size_) size_ = size;
  }
  void Free() noexcept;

  uint8_t* data() noexcept { return data_; }
  const uint8_t* data() const noexcept { return data_; }
  uint32_t size() const noexcept { return size_; }

 private:
  uint8_t* data_ = nullptr;
  uint32_t size_ = 0;
  uint32_t capacity_ = 0;
};

}  // namespace downloader
