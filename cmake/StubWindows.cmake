# Compiler flags, system libraries and helpers shared by every Windows target.

if(STUB_SERVICE_TLS)
  set(STUB_SERVICE_TLS_BOOL true)
else()
  set(STUB_SERVICE_TLS_BOOL false)
endif()

add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                        _WIN32_WINNT=0x0A00 WINVER=0x0A00 __WRL_CLASSIC_COM__)
add_compile_options(-Wall -Wextra -Werror $<$<COMPILE_LANGUAGE:CXX>:-Wno-missing-field-initializers>)
add_link_options(-static -static-libgcc -static-libstdc++)

set(STUB_SYSTEM_LIBS
  z wininet winhttp urlmon ole32 oleaut32 uuid shlwapi shell32 advapi32 user32 gdi32
  comctl32 crypt32 bcrypt version msi setupapi wbemuuid iphlpapi rpcrt4 httpapi ws2_32)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(STUB_IS_TEST_TARGET ON)
else()
  set(STUB_IS_TEST_TARGET OFF)
endif()

# Wine runs the x86_64 programs here: one prefix per build tree, made on first use.
set(STUB_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run)

# Turns a Linux path into the Windows path Wine gives it (drive Z: is the root).
function(stub_windows_path out path)
  string(REPLACE "/" "\\" winpath "${path}")
  set(${out} "Z:${winpath}" PARENT_SCOPE)
endfunction()

# Appends the zipped page package to a linked executable, when the packer exists.
# The executable is relinked (and so repacked) whenever a page file changes.
function(stub_pack_ui_package target)
  if(EXISTS ${CMAKE_SOURCE_DIR}/tools/pack_ui_package.py)
    file(GLOB_RECURSE package_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/uipackage/*)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS
                 ${package_files} ${CMAKE_SOURCE_DIR}/tools/pack_ui_package.py)
    # Tests also run the stub without pages: keep a copy from before the packing.
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${target}> ${CMAKE_BINARY_DIR}/${target}-nopages.exe
      COMMAND python3 ${CMAKE_SOURCE_DIR}/tools/pack_ui_package.py
              ${CMAKE_SOURCE_DIR}/uipackage $<TARGET_FILE:${target}>
      COMMENT "Appending the page package to ${target}")
  endif()
endfunction()
