// The codes the host and the pages share: results of host operations (first
// argument of every download, install and update callback), the final install
// status, and the component flags of the page configuration.
#pragma once

namespace stubframework {

enum ErrorHandle : int {
  NoError = 0,
  UnknowError = 1,
  FileNotExist = 2,
  DiskFull = 3,
  Failure = 4,
  Abort = 5,
  Md5Error = 6,
  VolumeReadOnly = 7,
  NoNetwork = 8,
  Cancelled = 9,
  Running = 10,  // progress report: more calls follow
  Reboot = 11,   // success, restart needed
  HaveInstalled = 12,
  OtherInstalling = 13,
};

enum InstallStatus : int {
  NOTSTART = 0,
  COMPLETED = 1,
  ERROR_STATUS = 2,  // "ERROR" collides with a Windows macro
  CANCEL = 3,
  ENVIRONMENT_NOT_MEET = 4,
  DOWNLOADED = 5,
  STUB_FAILED = 6,
};

// Added to statuses 1 to 3 by maintenance runs.
enum MaintenanceStatusOffset : int { kModifyOffset = 70, kRepairOffset = 80, kRemoveOffset = 90 };

enum ComponentType : int {
  Inherit = 0,
  X86 = 1,
  X64 = 2,
  Selectable = 4,
  MustSelect = 8,
  Patch = 16,
  Prerequiste = 32,
};

// Process exit code of a run that downloaded a newer stub.
inline constexpr int kSelfUpdateExitCode = 197800;

// The epilogue's status fix-up: statuses below 4 become 3 when 0, and gain the
// maintenance offset named by the exact (case-sensitive) uninstall option.
int fixUpStatus(int status, const wchar_t* uninstallOption);

}  // namespace stubframework
