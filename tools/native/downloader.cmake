# The download engine's pure parsers built natively: the meta-file release tool
# and, with clang, the libFuzzer target of the parsers.
set(STUB_ROOT ${CMAKE_CURRENT_LIST_DIR}/../..)

add_library(downloader_parsers STATIC
  ${STUB_ROOT}/downloader/ContentRange.cpp
  ${STUB_ROOT}/downloader/MetaFile.cpp)
target_include_directories(downloader_parsers PUBLIC ${STUB_ROOT})
target_compile_features(downloader_parsers PUBLIC cxx_std_17)
target_compile_options(downloader_parsers PRIVATE -Wall -Wextra -Werror)

add_executable(make-meta ${STUB_ROOT}/tools/make-meta.cpp ${STUB_ROOT}/tools/Sha1.cpp)
target_link_libraries(make-meta PRIVATE downloader_parsers)
target_compile_options(make-meta PRIVATE -Wall -Wextra -Werror)

if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  add_executable(fuzz-downloader ${STUB_ROOT}/tests/downloader/fuzz/ParsersFuzz.cpp
    ${STUB_ROOT}/downloader/ContentRange.cpp ${STUB_ROOT}/downloader/MetaFile.cpp)
  target_include_directories(fuzz-downloader PRIVATE ${STUB_ROOT})
  target_compile_features(fuzz-downloader PRIVATE cxx_std_17)
  target_compile_options(fuzz-downloader PRIVATE -g -O1 -fsanitize=fuzzer,address,undefined -Wall -Wextra -Werror)
  target_link_options(fuzz-downloader PRIVATE -fsanitize=fuzzer,address,undefined)
endif()
