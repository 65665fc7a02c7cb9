#include "framework/PropertyMap.h"

namespace stubframework {

std::wstring PropertyMap::get(const std::wstring& name) {
  base::CriticalSectionLock lock(lock_);
  return entries_[name];
}

void PropertyMap::set(const std::wstring& name, const std::wstring& value) {
  base::CriticalSectionLock lock(lock_);
  entries_[name] = value;
}

PropertyMap::Entries PropertyMap::snapshot() {
  base::CriticalSectionLock lock(lock_);
  return entries_;
}

}  // namespace stubframework
