// Text helpers shared by every subsystem: UTF-8/UTF-16 conversion, printf-style
// formatting with the platform's wide conventions ("%s" wide, "%S" narrow), and
// case-insensitive comparison.
#pragma once

#include <cstdarg>
#include <string>

namespace base {

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
// Active code page conversion, for the few system texts that are 8-bit.
std::wstring AnsiToWide(const std::string& text);
// Strict conversions for outside data: false (and `out` untouched) when the bytes
// are empty or not valid in the code page, instead of a replacement guess.
bool StrictUtf8ToWide(const std::string& bytes, std::wstring& out);
bool StrictAnsiToWide(const std::string& bytes, std::wstring& out);

std::wstring FormatText(const wchar_t* format, ...);
std::wstring FormatTextV(const wchar_t* format, va_list args);

bool EqualsIgnoreCase(const std::wstring& a, const std::wstring& b);
bool StartsWith(const std::wstring& text, const std::wstring& prefix);
bool ContainsIgnoreCase(const std::wstring& text, const std::wstring& part);
std::wstring ToUpper(std::wstring text);
std::wstring ToLower(std::wstring text);

}  // namespace base
