# Cross build for 64-bit Windows with MinGW-w64 (the POSIX thread model, so std::thread and friends work).
# Executables link statically: they run on a bare Windows, and under Wine, without the MinGW runtime DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZELO_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZELO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZELO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZELO_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZELO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# CLI11 is header-only, so the build machine's copy serves; it is reached through a folder of its own, since
# /usr/include as an include path would bring in the build machine's C library headers.
if(EXISTS /usr/include/CLI/CLI.hpp AND NOT EXISTS ${CMAKE_BINARY_DIR}/host-headers/CLI)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/host-headers)
  file(CREATE_LINK /usr/include/CLI ${CMAKE_BINARY_DIR}/host-headers/CLI SYMBOLIC)
endif()
set(CLI11_INCLUDE_DIR ${CMAKE_BINARY_DIR}/host-headers CACHE PATH "CLI11 headers for the cross build")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests and test discovery run the .exe files under Wine, in a prefix of the build's own so a run never depends
# on (or changes) the user's ~/.wine; cmake/wine-run makes the prefix when it is missing.
set(ZELO_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix the Windows tests run in")
set(CMAKE_CROSSCOMPILING_EMULATOR env WINEPREFIX=${ZELO_WINEPREFIX} ${CMAKE_CURRENT_LIST_DIR}/wine-run)
