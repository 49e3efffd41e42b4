# Cross-compiling the 32-bit Windows program with mingw-w64 on Debian.
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KORVANTE_MINGW_TRIPLET i686-w64-mingw32)
set(KORVANTE_WINEARCH win32)
set(KORVANTE_WINE_NAMES wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
