// Readers of the service host's answers: the tokenized download URL and the
// region-check verdict. Pure functions over outside data, without system calls,
// so they also build natively and are fuzzed there.
#pragma once

#include <string>
#include <string_view>

namespace stubframework::core {

// The quoted value after the key "tokenizedUrl": (the text between the first
// double quote after the key and the next one). Escape sequences stay as they
// are. Empty when the key or either quote is missing.
std::wstring ExtractTokenizedUrl(std::wstring_view answer);

struct RegionVerdict {
  std::wstring country;                                    // text of the first <country> element, empty when absent
  std::wstring isEmbargo;                                  // text of the first <isEmbargo> element, empty when absent
  bool embargoed() const { return isEmbargo == L"true"; }  // case-sensitive
};

// Reads the answer one byte per character. A value counts only when its opening
// tag and a closing tag after it are both present.
RegionVerdict ParseRegionAnswer(std::string_view answer);

}  // namespace stubframework::core
