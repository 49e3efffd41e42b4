# What the mingw-w64 toolchain files share. The including file sets first:
#   KORVANTE_MINGW_TRIPLET    the compilers' prefix (i686-w64-mingw32, x86_64-w64-mingw32)
#   KORVANTE_WINEARCH         the Wine prefix's architecture (win32, win64)
#   KORVANTE_WINE_NAMES       the Wine loader's names, and KORVANTE_WINE_PATHS where else to look
# Test executables run under Wine, in a Wine prefix that belongs to the build tree.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model: the win32 model of GCC 12 has no std::thread or std::mutex.
set(CMAKE_C_COMPILER   ${KORVANTE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORVANTE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${KORVANTE_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KORVANTE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Fully static: the executables need no libgcc, libstdc++ or libwinpthread DLL beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# WINEDEBUG keeps module errors (a missing DLL would otherwise only show as exit code 53); the
# overrides keep Wine from offering Mono and Gecko and from writing menu entries.
set(KORVANTE_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix the Windows tests run in")
find_program(WINE_EXECUTABLE NAMES ${KORVANTE_WINE_NAMES} PATHS ${KORVANTE_WINE_PATHS})
if(WINE_EXECUTABLE)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      /usr/bin/env WINEARCH=${KORVANTE_WINEARCH} WINEDEBUG=-all,err+module WINEPREFIX=${KORVANTE_WINEPREFIX}
      WINEDLLOVERRIDES=mscoree,mshtml,winemenubuilder.exe=d ${WINE_EXECUTABLE})
endif()
