// The machine identity carried by every report: a raw id ("P-" + a body made from
// the lowest physical MAC address, or "V-" + a random GUID on a recognised
// virtual machine), stored protected so it survives reinstalls, and reported
// only as the SHA-256 digest of its bytes.
//
// Threads: GetMachineId runs on the main thread while the framework is created,
// inside a COM apartment the caller entered (the virtual-machine test uses WMI).
// The other functions are callable from any thread.
#pragma once

#include "services/VirtualMachineCheck.h"

#include <string>

namespace stubframework::core {

// A new GUID as text without braces: 36 upper-case hexadecimal digits and dashes.
[[nodiscard]] bool CreateGuidText(std::wstring& text);

// The raw id of this machine, established once per process and cached. On
// failure `id` is left as it was (the caller's placeholder).
[[nodiscard]] bool GetMachineId(std::wstring& id);

// One establishment without the process cache: for `kind`, reuse the 38-character
// id stored at `storedPath`, or make a new one and store it there.
[[nodiscard]] bool EstablishMachineId(MachineKind kind, const std::wstring& storedPath, std::wstring& id);

// 64 lower-case hexadecimal digits of the SHA-256 digest of the id's low bytes;
// empty for an empty id (or when the system cannot hash).
std::wstring ReportedMachineId(const std::wstring& rawId);

}  // namespace stubframework::core
