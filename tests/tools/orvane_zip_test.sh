#!/usr/bin/env bash
# orvane-zip from the outside: list format, extract, create, the one-line
# failure report with exit 1, and exit 2 on usage errors.
# Usage: orvane_zip_test.sh PATH-TO-ORVANE-ZIP
set -uo pipefail

tool=${1:?usage: orvane_zip_test.sh PATH-TO-ORVANE-ZIP}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# expect_status WANT COMMAND...: runs the command, keeping its output in
# out.txt and err.txt, and checks its exit status.
expect_status() {
  local want=$1
  shift
  "$@" >out.txt 2>err.txt
  local got=$?
  [ "$got" = "$want" ] || fail "exit $got, wanted $want: $* ($(head -c 300 err.txt))"
}

printf 'hello\n' >small.txt
seq 1 5000 >numbers.txt
mkdir -p sub
printf 'inner' >sub/inner.bin

# create: bare names, one entry per file, in order.
expect_status 0 "$tool" create made.zip small.txt "$scratch/numbers.txt" sub/inner.bin

# list: name, size, compressed size, method, CRC-32 (8 lower-case hex digits).
expect_status 0 "$tool" list made.zip
line_format=$'^[^\t]+\t[0-9]+\t[0-9]+\t[0-9]+\t[0-9a-f]{8}$'
[ "$(wc -l <out.txt)" = 3 ] || fail "list printed $(wc -l <out.txt) lines, wanted 3"
while IFS= read -r line; do
  [[ $line =~ $line_format ]] || fail "list line not in the format: $line"
done <out.txt
[ "$(cut -f1 out.txt | tr '\n' ' ')" = "small.txt numbers.txt inner.bin " ] ||
  fail "list names: $(cut -f1 out.txt | tr '\n' ' ')"
crc_small=$(python3 -c 'import zlib; print("%08x" % zlib.crc32(open("small.txt","rb").read()))')
grep -qx $'small.txt\t6\t6\t0\t'"$crc_small" out.txt || fail "list line of small.txt: $(head -1 out.txt)"
numbers_size=$(wc -c <numbers.txt)
grep -q $'^numbers.txt\t'"$numbers_size"$'\t[0-9]*\t8\t' out.txt || fail "numbers.txt not deflated"

# extract: byte-identical files.
expect_status 0 "$tool" extract made.zip out
cmp -s small.txt out/small.txt || fail "small.txt differs after extract"
cmp -s numbers.txt out/numbers.txt || fail "numbers.txt differs after extract"
cmp -s sub/inner.bin out/inner.bin || fail "inner.bin differs after extract"

# A peer can read what create wrote.
if command -v unzip >/dev/null; then
  unzip -tq made.zip >/dev/null 2>&1 || fail "unzip -t rejects the created archive"
fi

# A peer's archive lists its folder entries and extracts with them.
if command -v zip >/dev/null; then
  zip -qr peer.zip sub
  expect_status 0 "$tool" list peer.zip
  grep -q $'^sub/\t0\t0\t0\t00000000$' out.txt || fail "folder entry sub/ not listed"
  expect_status 0 "$tool" extract peer.zip peer_out
  cmp -s sub/inner.bin peer_out/sub/inner.bin || fail "peer archive extract differs"
fi

# Failures: one line CLASSNAME: MESSAGE on stderr, exit 1.
printf 'not a zip archive at all' >corrupt.zip
for command in list extract; do
  if [ $command = list ]; then
    expect_status 1 "$tool" list corrupt.zip
  else
    expect_status 1 "$tool" extract corrupt.zip corrupt_out
  fi
  [ "$(cat err.txt)" = "EZipError: Corrupt ZIP file corrupt.zip" ] || fail "$command report: $(cat err.txt)"
  [ "$(wc -l <err.txt)" = 1 ] || fail "$command report is not one line"
done
expect_status 1 "$tool" list missing.zip
[ "$(cat err.txt)" = 'EFOpenError: Unable to open file "missing.zip"' ] || fail "open report: $(cat err.txt)"
expect_status 1 "$tool" create never.zip missing.txt
grep -qx 'EFOpenError: Unable to open file "missing.txt"' err.txt || fail "create report: $(cat err.txt)"

# Every cut of a valid archive fails cleanly (exit 1), never by a crash.
size=$(wc -c <made.zip)
for cut in 0 1 21 22 30 $((size / 2)) $((size - 23)) $((size - 1)); do
  head -c "$cut" made.zip >cut.zip
  expect_status 1 "$tool" extract cut.zip cut_out
done

# Usage errors: exit 2 with the usage text.
expect_status 2 "$tool"
expect_status 2 "$tool" list
expect_status 2 "$tool" list a.zip b.zip
expect_status 2 "$tool" extract made.zip
expect_status 2 "$tool" create only.zip
expect_status 2 "$tool" frobnicate made.zip
grep -q '^usage: orvane-zip' err.txt || fail "no usage text on a usage error"

if [ "$failures" != 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "orvane-zip: all checks passed"
