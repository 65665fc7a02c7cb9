# The archive layer's pure parsers (no Windows header) and their libFuzzer target.
set(archive_parser_sources
  ${CMAKE_SOURCE_DIR}/framework/PeCertificateTable.cpp
  ${CMAKE_SOURCE_DIR}/framework/ZipEntryName.cpp
  ${CMAKE_SOURCE_DIR}/framework/ZipFormat.cpp)

add_library(archive_parsers STATIC ${archive_parser_sources})
target_include_directories(archive_parsers PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(archive_parsers PRIVATE -Wall -Wextra -Werror)

if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  # The parsers are compiled again with the fuzzer's instrumentation.
  add_executable(archive_fuzzer ${CMAKE_SOURCE_DIR}/tests/archive/fuzz/ArchiveFuzzer.cpp ${archive_parser_sources})
  target_include_directories(archive_fuzzer PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(archive_fuzzer PRIVATE -Wall -Wextra -Werror -g -O1 -fsanitize=fuzzer,address,undefined)
  target_link_options(archive_fuzzer PRIVATE -fsanitize=fuzzer,address,undefined)
endif()
