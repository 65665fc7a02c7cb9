#include "downloader/Buffer.h"

#include <cstdlib>

namespace downloader {

Buffer& Buffer::operator=(Buffer&& other) noexcept {
  if (this != &other) {
    Free();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
  }
  return *this;
}

Buffer::~Buffer() { Free(); }

bool Buffer::SetSize(uint32_t size) noexcept {
  if (size <= capacity_ && data_) {
    size_ = size;
    return true;
  }
  Free();
  // One byte at least, so an empty entity still has a valid block.
  data_ = static_cast<uint8_t*>(std::malloc(size ? size : 1));
  if (!data_) return false;
  size_ = size;
  capacity_ = size;
  return true;
}

void Buffer::Free() noexcept {
  std::free(data_);
  data_ = nullptr;
  size_ = 0;
  capacity_ = 0;
}

}  // namespace downloader
