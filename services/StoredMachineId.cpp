#include "services/StoredMachineId.h"

#include "base/FileSystem.h"
#include "base/Platform.h"
#include "base/UniqueAny.h"

#include <dpapi.h>
#include <shlobj.h>

#include <string>

namespace stubframework::core {

namespace {

constexpr char kEntropy[] = "quamble";  // 7 bytes, no terminator
constexpr DWORD kRetryIntervalMs = 5;
constexpr DWORD kRetryBudgetMs = 3000;
constexpr DWORD kReadPiece = 64;

DATA_BLOB EntropyBlob() {
  return DATA_BLOB{static_cast<DWORD>(sizeof(kEntropy) - 1), reinterpret_cast<BYTE*>(const_cast<char*>(kEntropy))};
}

// Opens exclusively, retrying while another opener holds the file.
base::UniqueFileHandle OpenExclusive(const std::wstring& path, DWORD access, DWORD disposition) {
  DWORD waited = 0;
  for (;;) {
    HANDLE file = ::CreateFileW(path.c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) return base::UniqueFileHandle(file);
    if (::GetLastError() != ERROR_SHARING_VIOLATION || waited >= kRetryBudgetMs) return {};
    ::Sleep(kRetryIntervalMs);
    waited += kRetryIntervalMs;
  }
}

}  // namespace

std::wstring StoredMachineIdPath() {
  wchar_t common[MAX_PATH] = {};
  if (FAILED(
          ::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, common))) {
    return {};
  }
  const std::wstring folder = base::JoinPath(common, L"UniqueId");
  if (!base::DirectoryExists(folder)) ::CreateDirectoryW(folder.c_str(), nullptr);
  return base::JoinPath(folder, L"data");
}

bool LoadStoredMachineId(const std::wstring& path, std::wstring& id) {
  if (path.empty()) return false;
  base::UniqueFileHandle file = OpenExclusive(path, GENERIC_READ, OPEN_EXISTING);
  if (!file) return false;
  std::string data;
  char piece[kReadPiece];
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file.get(), piece, kReadPiece, &read, nullptr)) return false;
    if (read == 0) break;
    data.append(piece, read);
  }
  if (data.empty()) return false;
  DATA_BLOB in{static_cast<DWORD>(data.size()), reinterpret_cast<BYTE*>(data.data())};
  DATA_BLOB entropy = EntropyBlob();
  DATA_BLOB out = {};
  if (!::CryptUnprotectData(&in, nullptr, &entropy, nullptr, nullptr, 0, &out)) return false;
  base::UniqueLocalMem plain(out.pbData);
  id.assign(reinterpret_cast<const wchar_t*>(out.pbData), out.cbData / sizeof(wchar_t));
  return true;
}

bool StoreMachineId(const std::wstring& path, const std::wstring& id) {
  if (path.empty()) return false;
  DATA_BLOB in{static_cast<DWORD>(id.size() * sizeof(wchar_t)),
               reinterpret_cast<BYTE*>(const_cast<wchar_t*>(id.data()))};
  DATA_BLOB entropy = EntropyBlob();
  DATA_BLOB out = {};
  if (!::CryptProtectData(&in, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_LOCAL_MACHINE, &out)) {
    return false;
  }
  base::UniqueLocalMem protectedData(out.pbData);
  base::UniqueFileHandle file = OpenExclusive(path, GENERIC_WRITE, CREATE_ALWAYS);
  if (!file) return false;
  DWORD written = 0;
  const bool ok = ::WriteFile(file.get(), out.pbData, out.cbData, &written, nullptr) && written == out.cbData;
  file.reset();
  if (!ok) ::DeleteFileW(path.c_str());
  return ok;
}

}  // namespace stubframework::core
