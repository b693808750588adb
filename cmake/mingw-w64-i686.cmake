# The 32-bit Windows console program, cross-built with MinGW-w64; its tests run under Wine
# where a 32-bit Wine is installed (Debian's wine32).
# usage: cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
set(wine /usr/lib/wine/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
