# Fuzz target of the browser page host's parsers (JSON messages, request routes).
add_executable(fuzz_page_protocol
  ${STUB_SOURCE_ROOT}/tools/fuzz/PageProtocolFuzz.cpp
  ${STUB_SOURCE_ROOT}/htmlui/JsonValue.cpp
  ${STUB_SOURCE_ROOT}/htmlui/PageRoute.cpp)
target_include_directories(fuzz_page_protocol PRIVATE ${STUB_SOURCE_ROOT})
target_compile_options(fuzz_page_protocol PRIVATE -fsanitize=fuzzer,address,undefined -g -O1)
target_link_options(fuzz_page_protocol PRIVATE -fsanitize=fuzzer,address,undefined)
