// A ByteSource over an open file handle: every read is a positioned read, so the
// handle's file pointer does not matter and the file is never copied whole.
// A read that transfers fewer bytes than asked tells the reporter (if any) the
// system error code. Does not own the handle; use on one thread at a time.
#pragma once

#include "base/Platform.h"
#include "framework/ByteSource.h"
#include "framework/ZipReporter.h"

namespace stubframework {

class FileByteSource final : public ByteSource {
 public:
  FileByteSource(HANDLE file, zip::ZipReporter* reporter) noexcept;
  // False when the file's size could not be read.
  bool valid() const noexcept { return valid_; }
  std::uint64_t size() const noexcept override { return size_; }
  [[nodiscard]] bool readAt(std::uint64_t offset, void* buffer, std::size_t length) noexcept override;

 private:
  HANDLE file_;
  zip::ZipReporter* reporter_;
  std::uint64_t size_ = 0;
  bool valid_ = false;
};

}  // namespace stubframework
