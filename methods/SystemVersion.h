// Version facts of the running system and the minimum-system rule of checkOS.
#pragma once

#include <string>

namespace stubframework {

struct SystemVersion {
  unsigned major = 0;
  unsigned minor = 0;
  unsigned build = 0;
};

// The version recorded in this process's environment block (not subject to the
// compatibility rules of the version query); 0.0.0 when it cannot be read.
SystemVersion processBlockVersion();

// The version RtlGetVersion reports; false when the function is missing or fails.
bool rtlSystemVersion(SystemVersion& version);

// The version the system's version query reports to this executable.
SystemVersion reportedVersion();

// The minimum version named by a checkOS text ("Windows 7", "Windows 8.1", ...),
// compared exactly; any other text means 6.1.
SystemVersion minimumVersionFor(const std::wstring& minimumOs);

// True when `running` is at least `required` (major, then minor).
bool meetsMinimum(const SystemVersion& running, const SystemVersion& required);

}  // namespace stubframework
