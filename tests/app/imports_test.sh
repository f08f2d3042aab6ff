#!/usr/bin/env bash
# korvello.exe must start from its own file alone: it may import system DLLs only,
# no MinGW run-time (libstdc++, libgcc, libwinpthread).
set -euo pipefail
exe=${1:?program}
# Only DLLs the system loads from its own folder whatever lies beside the program:
# the known DLLs, and comctl32, which the manifest takes from the side-by-side store.
# Any other (oleacc.dll, version.dll, uxtheme.dll ...) is loaded at run time from
# the system folder by its full path (win/system_library).
system=" kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll comctl32.dll comdlg32.dll "
system+="ole32.dll oleaut32.dll shlwapi.dll msvcrt.dll psapi.dll "
mapfile -t dlls < <(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print tolower($3)}')
[ ${#dlls[@]} -gt 0 ] || { echo "FAIL: no imports read from $exe"; exit 1; }
status=0
for d in "${dlls[@]}"; do
    if [[ $system == *" $d "* ]]; then echo "ok: $d"; else echo "FAIL: $exe imports $d"; status=1; fi
done
exit $status
