// The name -> value text map shared by page script and host code, ordered by
// plain code-unit comparison of the names. In memory only.
//
// Threads: every access takes the map's one lock, so the user-interface thread,
// workers and reporter threads may use it at once.
#pragma once

#include "base/CriticalSection.h"

#include <map>
#include <string>

namespace stubframework {

class PropertyMap {
 public:
  using Entries = std::map<std::wstring, std::wstring>;

  // A missing name reads as "" and is inserted with an empty value.
  std::wstring get(const std::wstring& name);
  void set(const std::wstring& name, const std::wstring& value);
  // A copy of all entries in name order, taken under the lock.
  Entries snapshot();

 private:
  base::CriticalSection lock_;
  Entries entries_;
};

}  // namespace stubframework
