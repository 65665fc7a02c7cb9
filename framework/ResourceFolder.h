// The user-interface package extracted from the executable into a temporary
// folder. The folder is removed with its contents when the run ends.
#pragma once

#include <string>

namespace stubframework {

class ResourceFolder {
 public:
  // The folder the package was (or was to be) extracted into, ending with "\";
  // empty when no folder could be made.
  std::wstring folder;
  // True once the package was extracted completely.
  bool loaded = false;
};

}  // namespace stubframework
