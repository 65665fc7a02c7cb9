#include "services/MachineIdRules.h"

#include <algorithm>

namespace stubframework::core {

namespace {

bool IsAsciiAlnum(wchar_t c) {
  return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9');
}

std::wstring AsciiLower(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return text;
}

// True when `part` occurs starting at index 0 to 7 of `text`.
bool StartsNearFront(const std::wstring& text, const wchar_t* part) {
  const size_t at = text.find(part);
  return at != std::wstring::npos && at < 8;
}

}  // namespace

bool IsPhysicalAdapter(const std::wstring& devicePath, const std::wstring& description) {
  const std::wstring path = AsciiLower(devicePath);
  for (const wchar_t* bus : {L"root", L"usb", L"bth"}) {
    if (StartsNearFront(path, bus)) return false;
  }
  return !StartsNearFront(description, L"microsoft");
}

std::wstring FormatMacAddress(const uint8_t (&address)[6]) {
  static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring text;
  for (size_t i = 0; i < 6; ++i) {
    if (i > 0) text += L':';
    text += kDigits[address[i] >> 4];
    text += kDigits[address[i] & 0xF];
  }
  return text;
}

std::wstring LowestMacAddress(std::vector<std::wstring> addresses) {
  if (addresses.empty()) return {};
  std::sort(addresses.begin(), addresses.end());
  return addresses.front();
}

std::wstring BuildMachineIdBody(const std::wstring& macAddress) {
  if (std::none_of(macAddress.begin(), macAddress.end(), IsAsciiAlnum)) return {};
  std::wstring body;
  size_t index = 0;
  while (body.size() < 36) {
    const size_t position = body.size();
    if (position == 8 || position == 13 || position == 18 || position == 23) {
      body += L'-';
      continue;
    }
    const wchar_t c = macAddress[index];
    index = (index + 1) % macAddress.size();
    if (IsAsciiAlnum(c)) body += c;
  }
  return body;
}

std::string MachineIdDigestInput(const std::wstring& rawId) {
  std::string bytes;
  bytes.reserve(rawId.size());
  for (const wchar_t c : rawId) bytes += static_cast<char>(static_cast<uint8_t>(c & 0xFF));
  return bytes;
}

std::wstring LowerHex(const uint8_t* bytes, size_t count) {
  static constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring text;
  text.reserve(count * 2);
  for (size_t i = 0; i < count; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0xF];
  }
  return text;
}

}  // namespace stubframework::core
