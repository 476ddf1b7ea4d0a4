#!/usr/bin/env bash
# The DLL a player receives may import only Windows system DLLs: the C++
# run-time, libgcc and winpthread are linked in, so nothing else has to ship.
set -euo pipefail
dll=$1
allowed='^(kernel32|user32|gdi32|advapi32|msvcrt|shell32|ole32|comctl32|ws2_32)\.dll$'
imports=$(i686-w64-mingw32-objdump -p "$dll" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
echo "imports: $(echo $imports)"
bad=0
for name in $imports; do
  if ! [[ $name =~ $allowed ]]; then
    echo "not a Windows system DLL: $name"
    bad=1
  fi
done
# Sockets are loaded at start-up with LoadLibrary, never imported.
if grep -qx 'ws2_32.dll' <<<"$imports"; then
  echo "ws2_32.dll must be loaded at run time, not imported"
  bad=1
fi
# Relocatable: it has a base relocation table.
if ! i686-w64-mingw32-objdump -h "$dll" | grep -q '\.reloc'; then
  echo "no .reloc section: the DLL is not relocatable"
  bad=1
fi
exit "$bad"
