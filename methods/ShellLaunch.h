// Starts a file or URL the way the desktop shell would, so the new process is
// the shell's child (not elevated with this one) where the desktop's shell
// window is reachable; otherwise through the plain shell execute.
// User-interface thread (needs an initialised apartment for the first way).
#pragma once

#include "base/Platform.h"

#include <string>

namespace stubframework {

[[nodiscard]] HRESULT launchThroughShell(const std::wstring& file, const std::wstring& parameters);

}  // namespace stubframework
