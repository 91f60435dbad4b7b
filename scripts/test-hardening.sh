#!/usr/bin/env bash
# Hardening run: the whole test suite built with AddressSanitizer and UBSan
# (build-asan), then every libFuzzer target (build-fuzz, clang) for a bounded
# time from a fresh copy of its seed corpus. Fails on any failing test and on
# any crash, finding, leak, timeout or out-of-memory of a fuzz target.
#
#   FUZZ_SECONDS        time per fuzz target, default 60
#   ORVANE_SKIP_ASAN=1  only the fuzz targets
#   ORVANE_SKIP_FUZZ=1  only the sanitizer suite
set -euo pipefail
cd "$(dirname "$0")/.."

fuzz_seconds=${FUZZ_SECONDS:-60}
# Each input gets 10 s and the process 512 MB: an input that needs more is a
# finding (a hang, or memory taken on trust from a size field).
fuzz_limits=(-rss_limit_mb=512 -timeout=10)
build_jobs=2
started=$SECONDS

scripts/deps.sh native fuzz

# Undefined behaviour already aborts (-fno-sanitize-recover); the stack trace
# says where.
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:check_initialization_order=1

if [ "${ORVANE_SKIP_ASAN:-0}" != 1 ]; then
  echo "== test suite under AddressSanitizer and UBSan (build-asan)"
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVANE_SANITIZE=ON \
        -DORVANE_BUILD_BENCH=OFF
  cmake --build build-asan -j"$build_jobs"
  ctest --test-dir build-asan --output-on-failure -j2
  echo "== sanitizer suite passed after $((SECONDS - started)) s"
fi

[ "${ORVANE_SKIP_FUZZ:-0}" = 1 ] && exit 0

echo "== fuzz targets (build-fuzz)"
CC=${CC:-clang} CXX=${CXX:-clang++}
CC=$CC CXX=$CXX cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_C_COMPILER="$CC" -DCMAKE_CXX_COMPILER="$CXX" \
      -DORVANE_FUZZ=ON -DORVANE_BUILD_TESTS=OFF -DORVANE_BUILD_BENCH=OFF
cmake --build build-fuzz -j"$build_jobs" --target orvane_fuzzers

run_root=$PWD/build-fuzz/fuzz-run
rm -rf "$run_root"
mkdir -p "$run_root"
# The reader target writes and removes a few files per input: on tmpfs that
# is several times faster than on a disk.
scratch_parent=$run_root
[ -d /dev/shm ] && [ -w /dev/shm ] && scratch_parent=/dev/shm
scratch=$(mktemp -d "$scratch_parent/orvane-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failed=()
for seeds in tests/fuzz/corpus/*/; do
  target=$(basename "$seeds")
  fuzzer=build-fuzz/bin/orvane-fuzz-$target
  work=$run_root/$target
  # The committed corpus stays as it is; the run grows a copy.
  mkdir -p "$work/artifacts" "$scratch/$target"
  cp -r "$seeds" "$work/corpus"
  dict=()
  [ -f "tests/fuzz/$target.dict" ] && dict=("-dict=tests/fuzz/$target.dict")
  echo "-- $target: $fuzz_seconds s"
  if TMPDIR=$scratch/$target "$fuzzer" "${fuzz_limits[@]}" "${dict[@]}" \
       -max_total_time="$fuzz_seconds" -print_final_stats=1 \
       -artifact_prefix="$work/artifacts/" "$work/corpus" >"$work/log" 2>&1; then
    grep -E '^(stat::number_of_executed_units|Done )' "$work/log" || true
  else
    failed+=("$target")
    tail -n 60 "$work/log"
    echo "!! $target failed; log $work/log, input in $work/artifacts/"
    echo "   reproduce: $fuzzer $work/artifacts/<file>"
  fi
done

echo "== hardening took $((SECONDS - started)) s"
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz targets with findings: ${failed[*]}" >&2
  exit 1
fi
