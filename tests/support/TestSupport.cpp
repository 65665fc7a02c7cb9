#include "tests/support/TestSupport.h"

#include "base/FileSystem.h"
#include "base/UniqueAny.h"
#include "framework/TempFolder.h"

#include <fstream>
#include <iterator>
#include <vector>

namespace testsupport {

ScopedTempDir::ScopedTempDir() { path_ = stubframework::createTemporaryFolder(); }

ScopedTempDir::~ScopedTempDir() {
  if (!path_.empty()) stubframework::deleteFolder(path_);
}

ScopedRegistryCleanup::ScopedRegistryCleanup(HKEY root, std::wstring subKey) : root_(root), subKey_(std::move(subKey)) {
  clean();
}
ScopedRegistryCleanup::~ScopedRegistryCleanup() { clean(); }

void ScopedRegistryCleanup::clean() {
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root_, subKey_.c_str(), 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) {
      ::RegDeleteTreeW(key, nullptr);
      ::RegCloseKey(key);
      ::RegDeleteKeyExW(root_, subKey_.c_str(), view, 0);
    }
  }
}

std::wstring EnvironmentValue(const wchar_t* name) {
  wchar_t buffer[32768] = {};
  const DWORD length = ::GetEnvironmentVariableW(name, buffer, 32768);
  return length > 0 && length < 32768 ? std::wstring(buffer, length) : std::wstring();
}

std::wstring StubExePath() { return EnvironmentValue(L"STUB_EXE"); }
std::wstring StubExeWithoutPagesPath() { return EnvironmentValue(L"STUB_EXE_NOPAGES"); }

std::map<std::wstring, std::wstring> StubEnvironment(const std::wstring& tempFolder) {
  return {{L"TMP", tempFolder},
          {L"TEMP", tempFolder},
          {L"TARVIK_PAGE_ADDRESS_FILE", L"NUL"},
          {L"TARVIK_PAGE_CONNECT_SECONDS", L"1"}};
}

std::wstring SourceDir() { return EnvironmentValue(L"STUB_SOURCE_DIR"); }
std::wstring BinaryDir() { return EnvironmentValue(L"STUB_BINARY_DIR"); }

namespace {
std::vector<wchar_t> BuildEnvironmentBlock(const std::map<std::wstring, std::wstring>& extra) {
  std::map<std::wstring, std::wstring> variables;
  if (wchar_t* block = ::GetEnvironmentStringsW()) {
    for (const wchar_t* entry = block; *entry; entry += wcslen(entry) + 1) {
      const std::wstring text = entry;
      const size_t equals = text.find(L'=', 1);
      if (equals != std::wstring::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    ::FreeEnvironmentStringsW(block);
  }
  for (const auto& [name, value] : extra) variables[name] = value;
  std::vector<wchar_t> out;
  for (const auto& [name, value] : variables) {
    const std::wstring entry = name + L"=" + value;
    out.insert(out.end(), entry.begin(), entry.end());
    out.push_back(L'\0');
  }
  out.push_back(L'\0');
  return out;
}
}  // namespace

ProcessResult RunProcess(const std::wstring& commandLine, const std::map<std::wstring, std::wstring>& extraEnvironment,
                         DWORD timeoutMs) {
  ProcessResult result;
  std::vector<wchar_t> environment = BuildEnvironmentBlock(extraEnvironment);
  std::vector<wchar_t> mutableCommandLine(commandLine.begin(), commandLine.end());
  mutableCommandLine.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessW(nullptr, mutableCommandLine.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                        environment.data(), nullptr, &startup, &info)) {
    return result;
  }
  result.started = true;
  base::UniqueHandle process(info.hProcess);
  base::UniqueHandle thread(info.hThread);
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  for (;;) {
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) break;
    const DWORD wait = ::MsgWaitForMultipleObjects(1, &info.hProcess, FALSE, static_cast<DWORD>(deadline - now),
                                                   QS_ALLINPUT);
    if (wait == WAIT_OBJECT_0) {
      result.finished = true;
      break;
    }
    if (wait != WAIT_OBJECT_0 + 1) break;
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  if (!result.finished) {
    ::TerminateProcess(process.get(), 1);
    ::WaitForSingleObject(process.get(), 5000);
  }
  ::GetExitCodeProcess(process.get(), &result.exitCode);
  return result;
}

std::string ReadFileBytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::map<std::wstring, bool> ListFolder(const std::wstring& folder) {
  std::map<std::wstring, bool> entries;
  WIN32_FIND_DATAW data;
  base::UniqueFindHandle find(::FindFirstFileW(base::JoinPath(folder, L"*").c_str(), &data));
  if (!find) return entries;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") entries[name] = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  } while (::FindNextFileW(find.get(), &data));
  return entries;
}

}  // namespace testsupport
