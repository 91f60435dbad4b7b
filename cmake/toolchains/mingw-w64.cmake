# The part of the MinGW-w64 cross builds that both targets share (Debian's
# g++-mingw-w64-* and libz-mingw-w64-dev). The including file sets
# ORVANE_MINGW_TRIPLET, CMAKE_SYSTEM_PROCESSOR and ORVANE_WINE_LOADERS.
#
# The launcher must run on a bare Windows, so nothing of the compiler's
# run-time is left to a DLL: libgcc, libstdc++, libwinpthread and zlib are
# linked statically, and the programs import system libraries only.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model: GoogleTest needs std::mutex, which GCC 12's win32
# model lacks. Its libwinpthread is linked statically like the rest.
set(CMAKE_C_COMPILER ${ORVANE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVANE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_ASM_COMPILER ${ORVANE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_RC_COMPILER ${ORVANE_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ORVANE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# zlib's static archive rather than the import library of zlib1.dll.
set(ZLIB_INCLUDE_DIR /usr/${ORVANE_MINGW_TRIPLET}/include CACHE PATH "")
set(ZLIB_LIBRARY /usr/${ORVANE_MINGW_TRIPLET}/lib/libz.a CACHE FILEPATH "")

# Frame pointers let RtlCaptureStackBackTrace walk the 32-bit stack for the
# failure report.
set(CMAKE_C_FLAGS_INIT "-fno-omit-frame-pointer")
set(CMAKE_CXX_FLAGS_INIT "-fno-omit-frame-pointer")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Every program built here, the tests included, runs under Wine, with the
# wineserver that scripts/test-windows.sh keeps alive for the whole run.
find_program(ORVANE_WINE NAMES ${ORVANE_WINE_LOADERS} PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT ORVANE_WINE)
  find_program(ORVANE_WINE NAMES ${ORVANE_WINE_LOADERS} wine)
endif()
if(ORVANE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env WINEDEBUG=-all ${ORVANE_WINE})
endif()
