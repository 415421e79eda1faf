# Warning and sanitizer flags live on interface targets that every project target links PRIVATE,
# so nothing leaks into third-party code and presets only flip options.
add_library(zelo_warnings INTERFACE)
target_compile_options(zelo_warnings INTERFACE -Wall -Wextra -Wpedantic)
# GCC 12 reports false -Wrestrict overlaps inside libstdc++'s string concatenation at -O2/-O3 (GCC bug 105651).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(zelo_warnings INTERFACE -Wno-restrict)
endif()
if(ZELO_WERROR)
  target_compile_options(zelo_warnings INTERFACE -Werror)
endif()

add_library(zelo_sanitize INTERFACE)
if(ZELO_SANITIZE)
  target_compile_options(zelo_sanitize INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                 -fno-sanitize-recover=undefined)
  target_link_options(zelo_sanitize INTERFACE -fsanitize=address,undefined)
endif()

# Coverage instrumentation for libFuzzer on every project target, so the fuzzers see into the core.
if(ZELO_FUZZ)
  target_compile_options(zelo_sanitize INTERFACE -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  target_link_options(zelo_sanitize INTERFACE -fsanitize=address,undefined)
endif()

# The hardening of the release programs: fortified library calls, stack protection and, for ELF programs,
# read-only relocations bound at start (the MinGW linker makes PE files, which have neither).
add_library(zelo_hardening INTERFACE)
if(ZELO_HARDEN)
  target_compile_definitions(zelo_hardening INTERFACE _FORTIFY_SOURCE=2)
  target_compile_options(zelo_hardening INTERFACE -fstack-protector-strong -fstack-clash-protection
                                                  -fcf-protection)
  if(NOT WIN32)
    target_link_options(zelo_hardening INTERFACE LINKER:-z,relro LINKER:-z,now)
  endif()
endif()

# Applies the project's flags to one of its own targets.
function(zelo_target_defaults target)
  target_link_libraries(${target} PRIVATE zelo_warnings zelo_sanitize zelo_hardening)
endfunction()
