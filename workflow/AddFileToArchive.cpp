#include "workflow/AddFileToArchive.h"

#include "base/Platform.h"
#include "base/UniqueAny.h"
#include "framework/FileByteSource.h"
#include "framework/ZipEntryName.h"
#include "framework/ZipFormat.h"

#include <shlwapi.h>
#include <zlib.h>

#include <limits>
#include <optional>

namespace stubframework::zip {

namespace {

constexpr std::size_t kMaxAnsiPath = MAX_PATH;  // bytes, terminator included
constexpr std::uint16_t kMadeByMsDos20 = 20;

// Wide text to the ANSI code page; nothing when a character has no exact
// counterpart or the result (with its terminator) exceeds `limit` bytes.
std::optional<std::string> ToAnsi(const std::wstring& text, std::size_t limit) {
  if (text.empty()) return std::string();
  BOOL lossy = FALSE;
  const int length = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, &lossy);
  if (length <= 0 || lossy || static_cast<std::size_t>(length) + 1 > limit) return std::nullopt;
  std::string out(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()), out.data(), length,
                        nullptr, &lossy);
  if (lossy) return std::nullopt;
  return out;
}

std::optional<std::string> ReadWholeFile(const std::wstring& path) {
  base::UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 || size.QuadPart >= 0xFFFFFFFFLL) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!bytes.empty() &&
      (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size())) {
    return std::nullopt;
  }
  return bytes;
}

// The entry (fields and data) for `bytes`: deflated at level 9 unless that does
// not make it smaller.
bool MakeEntry(const std::string& name, const std::string& bytes, Entry& entry, std::string& data) {
  entry.name = name;
  entry.versionMadeBy = kMadeByMsDos20;
  entry.uncompressedSize = static_cast<std::uint32_t>(bytes.size());
  entry.crc32 = static_cast<std::uint32_t>(
      crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  FILETIME local;
  WORD date = 0, time = 0;
  if (::SystemTimeToFileTime(&now, &local) && ::FileTimeToDosDateTime(&local, &date, &time)) {
    entry.modifiedDate = date;
    entry.modifiedTime = time;
  }
  z_stream stream{};
  if (deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  std::string packed(deflateBound(&stream, static_cast<uLong>(bytes.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  stream.avail_in = static_cast<uInt>(bytes.size());
  stream.next_out = reinterpret_cast<Bytef*>(packed.data());
  stream.avail_out = static_cast<uInt>(packed.size());
  const int status = deflate(&stream, Z_FINISH);
  const uLong packedSize = stream.total_out;
  deflateEnd(&stream);
  if (status != Z_STREAM_END) return false;
  if (packedSize < bytes.size()) {
    entry.method = kMethodDeflated;
    packed.resize(packedSize);
    data = std::move(packed);
  } else {
    entry.method = kMethodStored;
    data = bytes;
  }
  entry.compressedSize = static_cast<std::uint32_t>(data.size());
  return true;
}

bool WriteAt(HANDLE file, std::uint64_t offset, const std::string& bytes) {
  LARGE_INTEGER position{};
  position.QuadPart = static_cast<LONGLONG>(offset);
  if (!::SetFilePointerEx(file, position, nullptr, FILE_BEGIN)) return false;
  DWORD written = 0;
  return ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size() && ::SetEndOfFile(file);
}

bool AddToExisting(const std::wstring& archive, const Entry& newEntry, const std::string& data) {
  base::UniqueFileHandle file(::CreateFileW(archive.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  FileByteSource source(file.get(), nullptr);
  Directory directory;
  if (!source.valid() || !ReadDirectory(source, directory)) return false;
  if (directory.entries.size() >= kMaxEntries) return false;
  // Everything from the central directory on is rewritten; keep it to put back.
  const std::uint64_t tailSize = source.size() - directory.position;
  if (tailSize > std::numeric_limits<std::size_t>::max()) return false;
  std::string tail(static_cast<std::size_t>(tailSize), '\0');
  if (!source.readAt(directory.position, tail.data(), tail.size())) return false;
  const std::string oldDirectory = tail.substr(0, directory.end.directorySize);
  // The end record follows the directory directly; its comment follows it.
  const std::size_t commentStart = directory.end.directorySize + kEndRecordSize;
  const std::string comment = tail.substr(std::min(commentStart, tail.size()), directory.end.commentLength);

  const std::uint64_t entryOffset = directory.position - directory.baseOffset;  // counts from the archive's start
  std::string added;
  AppendLocalHeader(added, newEntry);
  added += data;
  const std::uint64_t directoryOffset = entryOffset + added.size();
  std::string newDirectory = oldDirectory;
  AppendCentralHeader(newDirectory, newEntry, static_cast<std::uint32_t>(entryOffset));
  if (directoryOffset + newDirectory.size() > 0xFFFFFFFFu) return false;  // would need ZIP64
  added += newDirectory;
  AppendEndRecord(added, static_cast<std::uint16_t>(directory.entries.size() + 1),
                  static_cast<std::uint32_t>(newDirectory.size()), static_cast<std::uint32_t>(directoryOffset),
                  comment);
  if (WriteAt(file.get(), directory.position, added) && ::FlushFileBuffers(file.get())) return true;
  // Put the old directory back so a failed add leaves the archive as it was.
  WriteAt(file.get(), directory.position, tail);
  return false;
}

bool CreateWithEntry(const std::wstring& archive, const Entry& newEntry, const std::string& data) {
  base::UniqueFileHandle file(::CreateFileW(archive.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  std::string bytes;
  AppendLocalHeader(bytes, newEntry);
  bytes += data;
  std::string directory;
  AppendCentralHeader(directory, newEntry, 0);
  const std::size_t directoryOffset = bytes.size();
  bytes += directory;
  AppendEndRecord(bytes, 1, static_cast<std::uint32_t>(directory.size()), static_cast<std::uint32_t>(directoryOffset),
                  {});
  DWORD written = 0;
  const bool ok = bytes.size() <= 0xFFFFFFFFu &&
                  ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size() && ::FlushFileBuffers(file.get());
  file.reset();
  if (!ok) ::DeleteFileW(archive.c_str());
  return ok;
}

}  // namespace

bool AddFileToArchive(const std::wstring& file, const std::wstring& archive) noexcept {
  try {
    if (!ToAnsi(archive, kMaxAnsiPath)) return false;
    const std::optional<std::string> name = ToAnsi(::PathFindFileNameW(file.c_str()), kMaxAnsiPath);
    if (!name || !IsStorableEntryName(*name)) return false;
    const std::optional<std::string> bytes = ReadWholeFile(file);
    if (!bytes) return false;
    Entry entry;
    std::string data;
    if (!MakeEntry(*name, *bytes, entry, data)) return false;
    const DWORD attributes = ::GetFileAttributesW(archive.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return CreateWithEntry(archive, entry, data);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    return AddToExisting(archive, entry, data);
  } catch (...) {  // memory exhaustion
    return false;
  }
}

}  // namespace stubframework::zip
