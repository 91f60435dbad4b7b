#!/usr/bin/env bash
# Builds the Windows launcher (32-bit, in build-win) and runs the test suite
# under Wine, with one wineserver kept alive for the whole run.
#
# Wine's 32-bit loader is itself a 32-bit Linux program. Where the kernel
# cannot run one (no IA-32 emulation, as in some virtual machines), the
# suite runs from a 64-bit build of the same sources (build-win64) under
# Wine's 64-bit loader, and the 32-bit build is still made in full.
#
# Environment:
#   ORVANE_WINDOWS_EXCLUDE     regular expression of tests left out under Wine
#                              (default: none)
#   ORVANE_WINDOWS_CTEST_ARGS  more ctest arguments, such as "-R Win32"
#   ORVANE_WINDOWS_ARCH        i686 or x86_64 to choose the tested build
#                              instead of the probe
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh windows

exclude=${ORVANE_WINDOWS_EXCLUDE:-}
read -r -a extra_ctest_args <<<"${ORVANE_WINDOWS_CTEST_ARGS:-}"

wine32_runs() { /usr/lib/wine/wine --version >/dev/null 2>&1; }

arch=${ORVANE_WINDOWS_ARCH:-}
if [ -z "$arch" ]; then
  if wine32_runs; then arch=i686; else arch=x86_64; fi
fi
case "$arch" in
  i686) test_dir=build-win loader=/usr/lib/wine/wine ;;
  x86_64) test_dir=build-win64 loader=/usr/lib/wine/wine64 ;;
  *) echo "test-windows.sh: unknown ORVANE_WINDOWS_ARCH $arch" >&2; exit 2 ;;
esac
echo "test-windows.sh: running the Windows suite from $test_dir ($arch)"

# Each tested build has a Wine prefix of its own, made once; the build
# itself runs Windows programs in it (the payload is packed by orvane-zip).
export WINEPREFIX="$PWD/$test_dir/wine-prefix"
export WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them, and Wine would offer to install them.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

mkdir -p "$test_dir"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$loader" wineboot --init >/dev/null 2>&1 || true
fi
# Started once here rather than by each test program; one already running
# for this prefix (a run cut short) serves as well.
wineserver -p 2>/dev/null || true
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
# The first program in a prefix starts Wine's own services, which live as
# long as the server and keep the output channels they were started with:
# started from a build step or a test, they would hold ninja's or ctest's
# pipe open and stall it. Start them here, on nothing.
"$loader" cmd /c exit 0 </dev/null >/dev/null 2>&1 || true

configure() {
  local dir=$1 toolchain=$2
  shift 2
  cmake -S . -B "$dir" -G Ninja --toolchain "cmake/toolchains/$toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DORVANE_BUILD_BENCH=OFF "$@"
}

if [ "$arch" = x86_64 ]; then
  configure build-win64 x86_64-w64-mingw32
  cmake --build build-win64 -j2
  # The 32-bit build cannot run its own orvane-zip here: the 64-bit one
  # packs its payloads.
  configure build-win i686-w64-mingw32 \
    "-DORVANE_HOST_ZIP_TOOL=$loader $PWD/build-win64/bin/orvane-zip.exe"
else
  configure build-win i686-w64-mingw32 -DORVANE_HOST_ZIP_TOOL=
fi
cmake --build build-win -j2

ctest --test-dir "$test_dir" --output-on-failure -j2 ${exclude:+-E "$exclude"} \
  "${extra_ctest_args[@]}"

# The shipped launcher is the 32-bit one: check it is a GUI PE32 that imports
# only Windows system libraries, whichever build ran the suite.
bash tests/tools/windows_imports_test.sh i686-w64-mingw32-objdump build-win/bin/orvane-launcher.exe \
  pei-i386
