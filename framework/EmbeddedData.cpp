#include "framework/EmbeddedData.h"

#include "base/Platform.h"
#include "base/Text.h"
#include "base/UniqueAny.h"
#include "framework/Debug.h"
#include "framework/FileByteSource.h"
#include "framework/PeCertificateTable.h"

namespace stubframework {

namespace {

std::wstring RunningImagePath() {
  wchar_t buffer[MAX_PATH] = {};
  DWORD length = MAX_PATH;
  if (!::QueryFullProcessImageNameW(::GetCurrentProcess(), 0, buffer, &length)) return {};
  return std::wstring(buffer, length);
}

}  // namespace

std::wstring readEmbeddedText(const std::wstring& imagePath) {
  base::UniqueFileHandle file(::CreateFileW(imagePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return {};
  FileByteSource source(file.get(), nullptr);
  if (!source.valid()) return {};
  std::string bytes;
  if (pe::ReadCertificateTrailer(source, bytes) != pe::TrailerState::kPresent || bytes.empty()) return {};
  // Text that is not UTF-8 gives no data rather than a guess.
  std::wstring text;
  return base::StrictUtf8ToWide(bytes, text) ? text : std::wstring();
}

std::wstring embeddedDataPrefix(int size, const std::wstring& imagePath) {
  if (size <= 0) return {};
  const std::wstring path = imagePath.empty() ? RunningImagePath() : imagePath;
  if (path.empty()) return {};
  const std::wstring text = readEmbeddedText(path);
  if (text.size() < static_cast<std::size_t>(size)) return {};
  return text.substr(0, static_cast<std::size_t>(size));
}

bool getEmbeddedDataFromCurrentExe(StubFramework* framework, int size, std::wstring* result) {
  debug::debug(framework, L"EMGetEmbeddedDataFromCurrentExe size : %d", size);
  if (!result) return false;
  *result = embeddedDataPrefix(size);
  debug::debug(framework, L"EMGetEmbeddedDataFromCurrentExe Result : %s", result->c_str());
  return true;
}

}  // namespace stubframework
