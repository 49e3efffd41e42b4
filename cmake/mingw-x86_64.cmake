# The Windows tests built 64-bit, for a machine that cannot execute 32-bit programs (a kernel
# without IA-32 emulation): the same sources, run under 64-bit Wine. The product stays 32-bit.
#   cmake -S . -B build-win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KORVANTE_MINGW_TRIPLET x86_64-w64-mingw32)
set(KORVANTE_WINEARCH win64)
# Debian's `wine` command prefers the 32-bit loader whenever it is installed, so the 64-bit loader
# is called by its own name; Debian keeps it out of PATH.
set(KORVANTE_WINE_NAMES wine64)
set(KORVANTE_WINE_PATHS /usr/lib/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
