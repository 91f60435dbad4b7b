# Cross build for 32-bit Windows, the launcher's target, with Debian's
# MinGW-w64 (g++-mingw-w64-i686, libz-mingw-w64-dev):
#
#   cmake -S . -B build-win -G Ninja --toolchain cmake/toolchains/i686-w64-mingw32.cmake
#
# Its programs run under Wine's 32-bit loader (package wine32).
set(ORVANE_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ORVANE_WINE_LOADERS wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
