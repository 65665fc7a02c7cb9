// The machine id kept across runs: "<common application data>\UniqueId\data",
// protected with the system's machine-scope data protection (any account on the
// machine can read it back) and a fixed entropy. The file is opened exclusively;
// an open that meets a sharing violation is retried every 5 ms for up to 3 s.
//
// Threads: callable from any thread; concurrent callers are ordered by the
// exclusive open.
#pragma once

#include <string>

namespace stubframework::core {

// The default location; the folders are created when missing. Empty when the
// common application-data folder is unknown.
std::wstring StoredMachineIdPath();

// Reads and unprotects the id. False for a missing, empty or unreadable file or
// data that does not unprotect; `id` is then unchanged.
[[nodiscard]] bool LoadStoredMachineId(const std::wstring& path, std::wstring& id);

// Protects the id's UTF-16 bytes (no terminator) and writes them over any
// existing file. A short write deletes the file and fails.
[[nodiscard]] bool StoreMachineId(const std::wstring& path, const std::wstring& id);

}  // namespace stubframework::core
