# Cross-building povezava-cli for 64-bit Windows with Debian's MinGW-w64
# (g++-mingw-w64-x86-64), posix thread model for std::thread and std::mutex:
#
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64.cmake
#
# The window is not built (Debian has no Qt for this compiler). The programs
# link the C and C++ runtimes and winpthreads statically, so the .exe needs
# nothing but the DLLs every Windows has.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(POVEZAVA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${POVEZAVA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${POVEZAVA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${POVEZAVA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${POVEZAVA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(POVEZAVA_WINDOW OFF CACHE BOOL "The window needs Qt, which this compiler does not have" FORCE)

# Tests run the .exe under Wine.
find_program(POVEZAVA_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(POVEZAVA_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${POVEZAVA_WINE64})
endif()
