#include "framework/FileByteSource.h"

#include <algorithm>

namespace stubframework {

FileByteSource::FileByteSource(HANDLE file, zip::ZipReporter* reporter) noexcept : file_(file), reporter_(reporter) {
  LARGE_INTEGER size{};
  valid_ = file != INVALID_HANDLE_VALUE && file != nullptr && ::GetFileSizeEx(file, &size) && size.QuadPart >= 0;
  if (valid_) size_ = static_cast<std::uint64_t>(size.QuadPart);
}

bool FileByteSource::readAt(std::uint64_t offset, void* buffer, std::size_t length) noexcept {
  auto* out = static_cast<unsigned char*>(buffer);
  while (length > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(length, 1u << 30));
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    position.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD transferred = 0;
    const BOOL ok = ::ReadFile(file_, out, chunk, &transferred, &position);
    if (!ok || transferred != chunk) {
      const DWORD code = ok ? ERROR_HANDLE_EOF : ::GetLastError();
      if (reporter_) reporter_->ReportError(code);
      return false;
    }
    out += chunk;
    offset += chunk;
    length -= chunk;
  }
  return true;
}

}  // namespace stubframework
