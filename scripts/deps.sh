#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
# Usage: scripts/deps.sh [native] [windows] [bench] [fuzz]
# As root it installs with apt-get; otherwise it prints what to install.
set -euo pipefail

want_native=0 want_windows=0 want_bench=0 want_fuzz=0
for arg in "${@:-native}"; do
  case "$arg" in
    native) want_native=1 ;;
    windows) want_windows=1 ;;
    bench) want_bench=1 ;;
    fuzz) want_fuzz=1 ;;
    *) echo "deps.sh: unknown group $arg" >&2; exit 2 ;;
  esac
done

packages=()
if [ $want_native = 1 ]; then
  packages+=(cmake ninja-build g++ zlib1g-dev libgtest-dev libbenchmark-dev python3 zip unzip
             libarchive-tools)
fi
if [ $want_bench = 1 ]; then
  packages+=(time hyperfine strace)
fi
if [ $want_fuzz = 1 ]; then
  # clang with libFuzzer and the sanitizer run-times; llvm for llvm-symbolizer.
  packages+=(clang libclang-rt-14-dev llvm)
fi
if [ $want_windows = 1 ]; then
  # Both MinGW-w64 targets with both thread models (the build takes posix),
  # GoogleTest's sources for the cross builds, Wine's 32-bit loader for the
  # launcher's own build and its 64-bit loader for machines whose kernel
  # cannot run 32-bit programs.
  packages+=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686
             binutils-mingw-w64-x86-64 libz-mingw-w64-dev googletest cmake ninja-build python3
             wine wine32 wine64)
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" != 0 ]; then
  echo "Missing Debian packages; install them with:" >&2
  [ $want_windows = 1 ] && echo "  sudo dpkg --add-architecture i386" >&2
  echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi

if [ $want_windows = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
