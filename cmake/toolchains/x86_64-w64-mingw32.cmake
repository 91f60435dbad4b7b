# Cross build for 64-bit Windows with Debian's MinGW-w64
# (g++-mingw-w64-x86-64, libz-mingw-w64-dev). The launcher ships as a 32-bit
# program; this build runs the same sources and tests under Wine's 64-bit
# loader (package wine64) on machines whose kernel cannot run 32-bit code,
# which Wine's 32-bit loader needs.
set(ORVANE_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
# Debian's /usr/bin/wine always prefers the 32-bit loader.
set(ORVANE_WINE_LOADERS wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
