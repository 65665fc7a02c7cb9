#include "base/Text.h"

#include "base/Platform.h"

#include <cwchar>
#include <vector>

namespace base {

namespace {
std::wstring MultiByteToWide(UINT codePage, const std::string& text) {
  if (text.empty()) return {};
  const int length = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) return {};
  std::wstring out(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), length);
  return out;
}

bool StrictMultiByteToWide(UINT codePage, const std::string& bytes, std::wstring& out) {
  if (bytes.empty()) return false;
  const int length = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                           static_cast<int>(bytes.size()), nullptr, 0);
  if (length <= 0) return false;
  std::wstring text(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                        length);
  out = std::move(text);
  return true;
}

}  // namespace

std::wstring Utf8ToWide(const std::string& text) { return MultiByteToWide(CP_UTF8, text); }
bool StrictUtf8ToWide(const std::string& bytes, std::wstring& out) { return StrictMultiByteToWide(CP_UTF8, bytes, out); }
bool StrictAnsiToWide(const std::string& bytes, std::wstring& out) { return StrictMultiByteToWide(CP_ACP, bytes, out); }
std::wstring AnsiToWide(const std::string& text) { return MultiByteToWide(CP_ACP, text); }

std::string WideToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int length =
      ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string out(static_cast<size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), length, nullptr, nullptr);
  return out;
}

std::wstring FormatTextV(const wchar_t* format, va_list args) {
  if (!format) return {};
  std::vector<wchar_t> buffer(256);
  for (;;) {
    va_list copy;
    va_copy(copy, args);
    const int written = _vsnwprintf(buffer.data(), buffer.size() - 1, format, copy);
    va_end(copy);
    if (written >= 0 && static_cast<size_t>(written) < buffer.size() - 1) {
      return std::wstring(buffer.data(), static_cast<size_t>(written));
    }
    if (buffer.size() >= (1u << 24)) return std::wstring(buffer.data(), buffer.size() - 1);
    buffer.assign(buffer.size() * 4, L'\0');
  }
}

std::wstring FormatText(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring out = FormatTextV(format, args);
  va_end(args);
  return out;
}

bool EqualsIgnoreCase(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() &&
         ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
             CSTR_EQUAL;
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::wstring ToUpper(std::wstring text) {
  if (!text.empty()) ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

std::wstring ToLower(std::wstring text) {
  if (!text.empty()) ::CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

bool ContainsIgnoreCase(const std::wstring& text, const std::wstring& part) {
  return ToUpper(text).find(ToUpper(part)) != std::wstring::npos;
}

}  // namespace base
