// Fuzz target of the readers of service answers and the machine-id rules: any
// bytes must be read without crashing, and the results keep their shape.
#include "services/MachineIdRules.h"
#include "services/ServiceAnswers.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace stubframework::core;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const RegionVerdict verdict = ParseRegionAnswer(bytes);
  if (verdict.country.size() > size || verdict.isEmbargo.size() > size) std::abort();

  std::wstring text;
  for (const char byte : bytes) text += static_cast<wchar_t>(static_cast<unsigned char>(byte));
  if (ExtractTokenizedUrl(text).size() > size) std::abort();

  const std::wstring body = BuildMachineIdBody(text);
  if (!body.empty() &&
      (body.size() != 36 || body[8] != L'-' || body[13] != L'-' || body[18] != L'-' || body[23] != L'-')) {
    std::abort();
  }
  const size_t half = text.size() / 2;
  (void)IsPhysicalAdapter(text.substr(0, half), text.substr(half));
  return 0;
}
