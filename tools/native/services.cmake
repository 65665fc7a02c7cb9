# Native fuzz target of the service layer's answer readers and machine-id rules.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  add_executable(fuzz_service_answers
    ${CMAKE_SOURCE_DIR}/tools/native/fuzz_service_answers.cpp
    ${CMAKE_SOURCE_DIR}/services/ServiceAnswers.cpp
    ${CMAKE_SOURCE_DIR}/services/MachineIdRules.cpp)
  target_include_directories(fuzz_service_answers PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_features(fuzz_service_answers PRIVATE cxx_std_17)
  target_compile_options(fuzz_service_answers PRIVATE -Wall -Wextra -Werror -g -fsanitize=fuzzer,address,undefined)
  target_link_options(fuzz_service_answers PRIVATE -fsanitize=fuzzer,address,undefined)
endif()
