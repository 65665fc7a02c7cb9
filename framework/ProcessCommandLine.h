// The running process's command line: the raw text and the argument list as the
// system's splitter (CommandLineToArgvW) gives it.
#pragma once

#include "framework/CommandLine.h"

namespace stubframework {

std::wstring processCommandLine();
ArgumentList processArguments();
ArgumentList splitCommandLine(const std::wstring& commandLine);

// getArgValue over this process's arguments.
std::wstring getArgValue(const std::wstring& key);

}  // namespace stubframework
