# Cross-compiling the 32-bit Windows program with mingw-w64 on Debian.
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
# Test executables run under Wine, in a Wine prefix that belongs to the build tree.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

# The posix thread model: the win32 model of GCC 12 has no std::thread or std::mutex.
set(CMAKE_C_COMPILER   i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER  i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Fully static: the executables need no libgcc, libstdc++ or libwinpthread DLL beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# WINEDEBUG keeps module errors (a missing DLL would otherwise only show as exit code 53); the
# overrides keep Wine from offering Mono and Gecko and from writing menu entries.
set(KORVANTE_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix the Windows tests run in")
find_program(WINE_EXECUTABLE wine)
if(WINE_EXECUTABLE)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      /usr/bin/env WINEARCH=win32 WINEDEBUG=-all,err+module WINEPREFIX=${KORVANTE_WINEPREFIX}
      WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=d ${WINE_EXECUTABLE})
endif()
