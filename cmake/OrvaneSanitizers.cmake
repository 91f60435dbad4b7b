# Hardening builds. Both options are off by default and then change nothing.
#
# ORVANE_SANITIZE builds every target of the tree (libraries, tools, the
# launcher, the test programs) with AddressSanitizer and
# UndefinedBehaviorSanitizer, so the whole test suite runs under them.
# Undefined behaviour aborts instead of printing and going on, so a test
# cannot pass over it.
#
# ORVANE_FUZZ builds the libFuzzer targets of tests/fuzz. It needs clang. The
# libraries are instrumented for coverage (fuzzer-no-link) and sanitized the
# same way; only the fuzz targets link libFuzzer itself.
option(ORVANE_SANITIZE "Build everything with AddressSanitizer and UBSan" OFF)
option(ORVANE_FUZZ "Build the libFuzzer targets in tests/fuzz (needs clang)" OFF)

set(ORVANE_SANITIZER_FLAGS
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)

if(ORVANE_SANITIZE OR ORVANE_FUZZ)
  if(MSVC OR WIN32)
    message(FATAL_ERROR "ORVANE_SANITIZE and ORVANE_FUZZ are for the native POSIX build")
  endif()
  # Debug information keeps the sanitizer reports readable in a release build.
  add_compile_options(${ORVANE_SANITIZER_FLAGS} -g)
  add_link_options(${ORVANE_SANITIZER_FLAGS})
endif()

if(ORVANE_SANITIZE AND NOT ORVANE_FUZZ)
  # The dynamic-type check probes memory through a pipe. Some end-to-end
  # tests run the launcher out of file descriptors on purpose (a dictionary
  # of 65535 entries is packed with every file open); the probe then fails
  # and the check reports a sound object as having an invalid vptr, aborting
  # the run that should end with its own failure report. The fuzz targets
  # never run out of descriptors and keep the check.
  add_compile_options(-fno-sanitize=vptr)
  add_link_options(-fno-sanitize=vptr)
endif()

if(ORVANE_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "ORVANE_FUZZ needs clang: configure with CC=clang CXX=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
