// Helpers shared by the test programs: scratch folders, registry clean-up,
// child processes, and the paths the build hands to the tests.
#pragma once

#include "base/Platform.h"

#include <map>
#include <string>

namespace testsupport {

// A fresh folder under the user's temporary path, removed with its contents at the end.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;
  // Ends with "\".
  const std::wstring& path() const { return path_; }
  std::wstring file(const std::wstring& name) const { return path_ + name; }

 private:
  std::wstring path_;
};

// Deletes a registry key tree (both views) when constructed and again when destroyed.
class ScopedRegistryCleanup {
 public:
  ScopedRegistryCleanup(HKEY root, std::wstring subKey);
  ~ScopedRegistryCleanup();

 private:
  void clean();
  HKEY root_;
  std::wstring subKey_;
};

std::wstring EnvironmentValue(const wchar_t* name);
// The x86_64 stub of this build tree (Windows path), and its copy without pages.
std::wstring StubExePath();
std::wstring StubExeWithoutPagesPath();
// The environment a test run of the stub gets: its own temporary folder, and
// for the browser page host: the address written nowhere (no shell browser is
// started) and a one-second wait for a browser that never comes.
std::map<std::wstring, std::wstring> StubEnvironment(const std::wstring& tempFolder);
std::wstring SourceDir();
std::wstring BinaryDir();

struct ProcessResult {
  bool started = false;
  bool finished = false;
  DWORD exitCode = 0;
};

// Runs a program with extra environment variables (added to this process's
// environment) and waits up to `timeoutMs`, pumping messages meanwhile so a
// child may talk to this thread's windows. A child still running at the
// timeout is terminated.
ProcessResult RunProcess(const std::wstring& commandLine, const std::map<std::wstring, std::wstring>& extraEnvironment,
                         DWORD timeoutMs = 60000);

std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
// Names of the entries of a folder, "." and ".." left out.
std::map<std::wstring, bool> ListFolder(const std::wstring& folder);  // name -> is folder

}  // namespace testsupport
