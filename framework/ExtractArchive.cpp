#include "framework/ExtractArchive.h"

#include "base/FileSystem.h"
#include "base/Text.h"
#include "base/UniqueAny.h"
#include "framework/FileByteSource.h"
#include "framework/ZipEntryName.h"
#include "framework/ZipFormat.h"

#include <shlwapi.h>
#include <zlib.h>

#include <algorithm>
#include <vector>

namespace stubframework {

namespace {

constexpr std::size_t kChunkSize = 256 * 1024;
constexpr std::size_t kMaxNameBytes = MAX_PATH - 1;

// Owns a raw-deflate inflater.
class Inflater {
 public:
  Inflater() noexcept { ready_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK; }
  ~Inflater() {
    if (ready_) inflateEnd(&stream_);
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  bool ready() const noexcept { return ready_; }
  z_stream& stream() noexcept { return stream_; }

 private:
  z_stream stream_{};
  bool ready_ = false;
};

std::wstring FullPathOf(const std::wstring& path) {
  const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return {};
  std::wstring out(needed, L'\0');
  const DWORD length = ::GetFullPathNameW(path.c_str(), needed, out.data(), nullptr);
  if (length == 0 || length >= needed) return {};
  out.resize(length);
  return out;
}

// True when `path` is the folder `prefix` (which ends with "\") or lies below it.
bool IsWithin(std::wstring path, const std::wstring& prefix) {
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  return path.size() >= prefix.size() &&
         ::CompareStringOrdinal(path.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

class ArchiveExtractor {
 public:
  ArchiveExtractor(HANDLE file, const std::wstring& folder, zip::ZipReporter* reporter)
      : source_(file, reporter), folder_(folder), reporter_(reporter) {}

  bool run() {
    if (!source_.valid()) return false;
    zip::Directory directory;
    if (!zip::ReadDirectory(source_, directory)) return false;
    if (!base::CreateFolderTree(folder_)) return false;
    folderPrefix_ = FullPathOf(folder_);
    if (folderPrefix_.empty()) return false;
    if (folderPrefix_.back() != L'\\') folderPrefix_ += L'\\';
    input_.resize(kChunkSize);
    output_.resize(kChunkSize);
    const auto count = static_cast<std::uint32_t>(directory.entries.size());
    bool complete = true;
    for (std::uint32_t index = 0; index < count; ++index) {
      if (reporter_) reporter_->ReportProgress(index, count);
      if (!extractEntry(directory.entries[index])) {
        complete = false;
        break;
      }
    }
    if (reporter_) reporter_->ReportProgress(count, count);
    return complete;
  }

 private:
  // The entry's target path, or empty when its name cannot be used here.
  std::wstring targetPathOf(const zip::Entry& entry) {
    const std::string raw = entry.name.substr(0, kMaxNameBytes);
    std::wstring name;
    if (!base::StrictAnsiToWide(raw, name)) return {};
    std::replace(name.begin(), name.end(), L'/', L'\\');
    if (!zip::IsContainedEntryName(std::wstring_view(name))) return {};
    wchar_t combined[MAX_PATH] = {};
    if (!::PathCombineW(combined, folder_.c_str(), name.c_str())) return {};
    // The name check above is the rule; this catches whatever the system's
    // path rules would still make of the joined path.
    if (!IsWithin(FullPathOf(combined), folderPrefix_)) return {};
    return combined;
  }

  bool extractEntry(const zip::Entry& entry) {
    const std::wstring target = targetPathOf(entry);
    if (target.empty()) return false;
    if (zip::IsDirectoryEntry(entry)) return base::CreateFolderTree(target);
    if (!zip::IsSupportedEntry(entry)) return false;
    unsigned char localHeader[zip::kLocalHeaderSize];
    std::uint64_t dataOffset = 0;
    if (!source_.readAt(entry.localHeaderOffset, localHeader, sizeof(localHeader)) ||
        !zip::LocateEntryData(localHeader, entry, source_.size(), dataOffset)) {
      return false;
    }
    const std::wstring parent = base::ParentFolderOf(target);
    if (!parent.empty() && !base::CreateFolderTree(parent)) return false;
    base::UniqueFileHandle file(
        ::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
      // A full disk can already refuse the new file; the caller tells that apart.
      if (reporter_) reporter_->ReportError(::GetLastError());
      return false;
    }
    const bool written = entry.method == zip::kMethodStored ? copyStored(entry, dataOffset, file.get())
                                                            : inflateDeflated(entry, dataOffset, file.get());
    file.reset();
    if (!written) ::DeleteFileW(target.c_str());
    return written;
  }

  // A write may take only part of the bytes (a file system filling up); the
  // rest is written again so a real failure shows with its error code.
  bool writeAll(HANDLE file, const unsigned char* data, std::size_t length) {
    while (length > 0) {
      DWORD written = 0;
      if (!::WriteFile(file, data, static_cast<DWORD>(length), &written, nullptr) || written == 0) {
        const DWORD code = ::GetLastError();
        if (reporter_) reporter_->ReportError(code != ERROR_SUCCESS ? code : ERROR_WRITE_FAULT);
        return false;
      }
      data += written;
      length -= written;
    }
    return true;
  }

  bool copyStored(const zip::Entry& entry, std::uint64_t offset, HANDLE file) {
    std::uint64_t remaining = entry.compressedSize;
    uLong crc = crc32(0L, Z_NULL, 0);
    while (remaining > 0) {
      const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(remaining, kChunkSize));
      if (!source_.readAt(offset, input_.data(), length)) return false;
      crc = crc32(crc, input_.data(), static_cast<uInt>(length));
      if (!writeAll(file, input_.data(), length)) return false;
      offset += length;
      remaining -= length;
    }
    return crc == entry.crc32;
  }

  bool inflateDeflated(const zip::Entry& entry, std::uint64_t offset, HANDLE file) {
    Inflater inflater;
    if (!inflater.ready()) return false;
    z_stream& stream = inflater.stream();
    std::uint64_t unread = entry.compressedSize;
    std::uint64_t produced = 0;
    uLong crc = crc32(0L, Z_NULL, 0);
    for (;;) {
      if (stream.avail_in == 0 && unread > 0) {
        const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(unread, kChunkSize));
        if (!source_.readAt(offset, input_.data(), length)) return false;
        offset += length;
        unread -= length;
        stream.next_in = input_.data();
        stream.avail_in = static_cast<uInt>(length);
      }
      stream.next_out = output_.data();
      stream.avail_out = static_cast<uInt>(output_.size());
      // Without input left, inflate still hands out what it holds; Z_BUF_ERROR
      // then means the data ended before the stream did.
      const int status = inflate(&stream, Z_NO_FLUSH);
      if (status != Z_OK && status != Z_STREAM_END) return false;
      const std::size_t length = output_.size() - stream.avail_out;
      // Never write more than the directory promised.
      if (length > entry.uncompressedSize - produced) return false;
      produced += length;
      crc = crc32(crc, output_.data(), static_cast<uInt>(length));
      if (length > 0 && !writeAll(file, output_.data(), length)) return false;
      if (status == Z_STREAM_END) break;
    }
    return produced == entry.uncompressedSize && crc == entry.crc32;
  }

  FileByteSource source_;
  std::wstring folder_;
  std::wstring folderPrefix_;
  zip::ZipReporter* reporter_;
  std::vector<unsigned char> input_;
  std::vector<unsigned char> output_;
};

}  // namespace

bool extractArchive(HANDLE file, const std::wstring& folder, zip::ZipReporter* reporter) noexcept {
  try {
    return ArchiveExtractor(file, folder, reporter).run();
  } catch (...) {  // memory exhaustion while reading the directory
    return false;
  }
}

}  // namespace stubframework
