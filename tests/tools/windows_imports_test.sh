#!/usr/bin/env bash
# The Windows launcher is one file: a GUI-subsystem PE that imports only
# Windows system libraries (libgcc, libstdc++, winpthread and zlib are linked
# in). Usage: windows_imports_test.sh OBJDUMP LAUNCHER.exe [EXPECTED-FORMAT]
set -euo pipefail
objdump=$1 launcher=$2 format=${3:-}

headers=$("$objdump" -p "$launcher")
if [ -n "$format" ] && ! "$objdump" -f "$launcher" | grep -q "file format $format"; then
  echo "FAIL: $launcher is not $format"; exit 1
fi
if ! grep -q "^Subsystem.*(Windows GUI)" <<<"$headers"; then
  echo "FAIL: $launcher is not a GUI-subsystem program"; exit 1
fi
system_dlls='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|msvcrt|ntdll|ws2_32|bcrypt|crypt32|comctl32|version|shlwapi|api-ms-win-[a-z0-9-]+)\.dll$'
status=0
while read -r dll; do
  lower=$(tr '[:upper:]' '[:lower:]' <<<"$dll")
  if [[ "$lower" =~ $system_dlls ]]; then
    echo "ok: imports $dll"
  else
    echo "FAIL: imports $dll, which is no Windows system library"; status=1
  fi
done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
exit $status
