// libFuzzer target: the page host's JSON messages and request routing.
#include "htmlui/JsonValue.h"
#include "htmlui/PageRoute.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (auto value = stubframework::htmlui::JsonValue::parse(text)) {
    const std::string again = value->serialize();
    auto reparsed = stubframework::htmlui::JsonValue::parse(again);
    if (!reparsed || reparsed->serialize() != again) __builtin_trap();
  }
  const size_t split = text.find('\n');
  const std::string host = split == std::string::npos ? text : text.substr(0, split);
  const std::string path = split == std::string::npos ? std::string() : text.substr(split + 1);
  const auto route = stubframework::htmlui::routePageRequest(host, path, "127.0.0.1:80", "tok");
  if (route.kind == stubframework::htmlui::PageRoute::Kind::File &&
      (route.path.find("..") == 0 || route.path.find('\\') != std::string::npos)) {
    __builtin_trap();
  }
  return 0;
}
