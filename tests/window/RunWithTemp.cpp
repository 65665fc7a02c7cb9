// Starts a program with TMP and TEMP pointing at a folder and ends with its exit
// code. Wine takes a Windows program's temporary folder from the prefix, not from
// the Linux environment, so tests started from Linux use this to give the stub
// a temporary folder of their own.
// Usage: RunWithTemp.exe <temp folder> <program> [arguments...]
#include "base/Platform.h"
#include "base/UniqueAny.h"

#include <shellapi.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  ::SetEnvironmentVariableW(L"TMP", argv[1]);
  ::SetEnvironmentVariableW(L"TEMP", argv[1]);
  std::wstring commandLine = L"\"" + std::wstring(argv[2]) + L"\"";
  for (int i = 3; i < argc; ++i) commandLine += L" \"" + std::wstring(argv[i]) + L"\"";
  // The program goes down with this launcher (tests end the launcher by its pid).
  base::UniqueHandle job(::CreateJobObjectW(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (job) ::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits));
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return 3;
  }
  if (job) ::AssignProcessToJobObject(job.get(), info.hProcess);
  base::UniqueHandle process(info.hProcess);
  base::UniqueHandle thread(info.hThread);
  ::WaitForSingleObject(process.get(), INFINITE);
  DWORD exitCode = 3;
  ::GetExitCodeProcess(process.get(), &exitCode);
  return static_cast<int>(exitCode);
}
