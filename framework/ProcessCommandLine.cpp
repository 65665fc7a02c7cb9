#include "framework/ProcessCommandLine.h"

#include "base/Platform.h"
#include "base/UniqueAny.h"

#include <shellapi.h>

namespace stubframework {

std::wstring processCommandLine() {
  const wchar_t* text = ::GetCommandLineW();
  return text ? std::wstring(text) : std::wstring();
}

ArgumentList splitCommandLine(const std::wstring& commandLine) {
  ArgumentList args;
  if (commandLine.empty()) return args;
  int count = 0;
  LPWSTR* argv = ::CommandLineToArgvW(commandLine.c_str(), &count);
  if (!argv) return args;
  base::UniqueLocalMem owner(reinterpret_cast<HLOCAL>(argv));
  for (int i = 0; i < count; ++i) args.emplace_back(argv[i]);
  return args;
}

ArgumentList processArguments() { return splitCommandLine(processCommandLine()); }

std::wstring getArgValue(const std::wstring& key) { return cmdline::getArgValue(processArguments(), key); }

}  // namespace stubframework
