#include "framework/ZipEntryName.h"

namespace stubframework::zip {

namespace {

template <typename Char>
bool IsSeparator(Char c) {
  return c == Char('/') || c == Char('\\');
}

// "." is harmless; "..", "...", ". ." and the like may all climb a level once
// Windows strips trailing dots and spaces from a path component.
template <typename Char>
bool ClimbsOut(std::basic_string_view<Char> component) {
  if (component.empty() || (component.size() == 1 && component[0] == Char('.'))) return false;
  for (Char c : component) {
    if (c != Char('.') && c != Char(' ')) return false;
  }
  return true;
}

template <typename Char>
bool IsContained(std::basic_string_view<Char> name) {
  if (name.empty() || IsSeparator(name.front())) return false;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && name[i] == Char(':')) return false;
    if (i == name.size() || IsSeparator(name[i])) {
      if (ClimbsOut(name.substr(start, i - start))) return false;
      start = i + 1;
    }
  }
  return true;
}

}  // namespace

bool IsContainedEntryName(std::string_view name) noexcept { return IsContained(name); }
bool IsContainedEntryName(std::wstring_view name) noexcept { return IsContained(name); }

bool IsStorableEntryName(std::string_view name) noexcept {
  return !name.empty() && name.front() != '/' && name.find_first_of("\\:") == std::string_view::npos;
}

}  // namespace stubframework::zip
