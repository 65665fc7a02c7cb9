#include "methods/SystemVersion.h"

#include "base/Platform.h"

#include <winternl.h>

namespace stubframework {

namespace {

// Where the environment block keeps the version numbers on this architecture.
#if defined(_WIN64)
constexpr size_t kMajorOffset = 0x118;
constexpr size_t kMinorOffset = 0x11C;
constexpr size_t kBuildOffset = 0x120;
#else
constexpr size_t kMajorOffset = 0xA4;
constexpr size_t kMinorOffset = 0xA8;
constexpr size_t kBuildOffset = 0xAC;
#endif

using NtQueryInformationProcessFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);

template <typename Fn>
Fn NtdllFunction(const char* name) {
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  if (!ntdll) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(ntdll, name)));
}

struct MinimumRow {
  const wchar_t* name;
  unsigned major;
  unsigned minor;
};
constexpr MinimumRow kMinimums[] = {
    {L"Windows XP", 5, 1}, {L"Windows Vista", 6, 0}, {L"Windows 7", 6, 1},   {L"Windows 7 SP1", 6, 1},
    {L"Windows 8", 6, 2},  {L"Windows 8.1", 6, 3},   {L"Windows 10", 10, 0},
};

}  // namespace

SystemVersion processBlockVersion() {
  SystemVersion version;
  auto query = NtdllFunction<NtQueryInformationProcessFn>("NtQueryInformationProcess");
  if (!query) return version;
  PROCESS_BASIC_INFORMATION info = {};
  ULONG length = 0;
  if (query(::GetCurrentProcess(), 0 /* ProcessBasicInformation */, &info, sizeof(info), &length) < 0) return version;
  const auto* block = reinterpret_cast<const unsigned char*>(info.PebBaseAddress);
  if (!block) return version;
  version.major = *reinterpret_cast<const ULONG*>(block + kMajorOffset);
  version.minor = *reinterpret_cast<const ULONG*>(block + kMinorOffset);
  version.build = *reinterpret_cast<const USHORT*>(block + kBuildOffset);
  return version;
}

bool rtlSystemVersion(SystemVersion& version) {
  auto getVersion = NtdllFunction<RtlGetVersionFn>("RtlGetVersion");
  if (!getVersion) return false;
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof(info);  // 276
  if (getVersion(&info) < 0) return false;
  version = SystemVersion{info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber};
  return true;
}

SystemVersion reportedVersion() {
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!::GetVersionExW(&info)) return SystemVersion{};
#pragma GCC diagnostic pop
  return SystemVersion{info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber};
}

SystemVersion minimumVersionFor(const std::wstring& minimumOs) {
  for (const MinimumRow& row : kMinimums) {
    if (minimumOs == row.name) return SystemVersion{row.major, row.minor, 0};
  }
  return SystemVersion{6, 1, 0};
}

bool meetsMinimum(const SystemVersion& running, const SystemVersion& required) {
  return running.major > required.major || (running.major == required.major && running.minor >= required.minor);
}

}  // namespace stubframework
