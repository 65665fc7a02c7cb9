// The pure rules behind the machine identity: which network adapters count as
// physical, how a MAC address becomes the 36-character id body, and how the raw
// id is reduced to the bytes whose digest is reported. No system calls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace stubframework::core {

inline constexpr size_t kMachineIdLength = 38;  // kind prefix ("P-" or "V-") + 36-character body

// An adapter is kept unless its lower-cased device path has "root", "usb" or "bth"
// starting within its first 8 characters, or its description (case-sensitive) has
// "microsoft" starting there.
bool IsPhysicalAdapter(const std::wstring& devicePath, const std::wstring& description);

// "%02X:%02X:%02X:%02X:%02X:%02X".
std::wstring FormatMacAddress(const uint8_t (&address)[6]);

// The address that sorts first (plain code-unit order); empty for an empty list.
std::wstring LowestMacAddress(std::vector<std::wstring> addresses);

// Walks the address cyclically, keeping letters and digits, with dashes at body
// positions 8, 13, 18 and 23 (the layout of a GUID text). Empty when the address
// holds no letter or digit at all (there would be nothing to walk).
std::wstring BuildMachineIdBody(const std::wstring& macAddress);

// The bytes whose SHA-256 digest is reported: the low byte of every character.
std::string MachineIdDigestInput(const std::wstring& rawId);

// Two lower-case hexadecimal digits per byte.
std::wstring LowerHex(const uint8_t* bytes, size_t count);

}  // namespace stubframework::core
