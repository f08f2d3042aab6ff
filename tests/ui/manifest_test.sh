#!/usr/bin/env bash
# The manifest built into the program: version 6 of the common controls, the
# Windows versions it is written for (without them Windows 8.1 and later
# report themselves as 8 and apply old compatibility shims), and long paths
# declared (without it Windows refuses paths of 260 characters or more even
# where the system allows them), and awareness of each monitor's DPI (without
# it Windows stretches the drawn window into a blurred bitmap at 150 % and more).
set -euo pipefail
exe=${1:?program}
manifest=$(python3 - "$exe" <<'PY'
import re, sys
data = open(sys.argv[1], "rb").read()
m = re.search(rb"<assembly.*?</assembly>", data, re.S)
print(m.group(0).decode() if m else "")
PY
)
[[ -n $manifest ]] || { echo "FAIL: no manifest in $exe"; exit 1; }
status=0
expect() { # description regex
    if grep -Pzq -- "$2" <<<"$manifest"; then echo "ok: $1"; else echo "FAIL: $1"; status=1; fi
}
expect "common controls 6" 'name="Microsoft\.Windows\.Common-Controls"\s+version="6\.0\.0\.0"'
# The package identity, as the package that names the program gives it.
expect "package identity" '<msix xmlns="urn:schemas-microsoft-com:msix\.v1" publisher="CN=[^"]+"\s+packageName="KorvelloLabs\.Korvello"\s+applicationId="Korvello"/>'
expect "Windows 7" 'supportedOS Id="\{35138b9a-5d96-4fbd-8e2d-a2440225f93a\}"'
expect "Windows 8" 'supportedOS Id="\{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38\}"'
expect "Windows 8.1" 'supportedOS Id="\{1f676c76-80e1-4239-95bb-83d0f6d0da78\}"'
expect "Windows 10 and 11" 'supportedOS Id="\{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a\}"'
expect "long paths" '<longPathAware xmlns="http://schemas\.microsoft\.com/SMI/2016/WindowsSettings">true</longPathAware>'
# Both DPI settings in the namespaces that define them; the older one is what
# Windows 7 to 8.1 read, so it must name per-monitor awareness too.
expect "per-monitor DPI awareness, version 2 first" \
    '<dpiAwareness xmlns="http://schemas\.microsoft\.com/SMI/2016/WindowsSettings">\s*PerMonitorV2\s*,\s*PerMonitor\s*</dpiAwareness>'
expect "DPI awareness for older systems" \
    '<dpiAware xmlns="http://schemas\.microsoft\.com/SMI/2005/WindowsSettings">\s*true/pm\s*</dpiAware>'
expect "DPI settings inside windowsSettings" \
    '(?s)<windowsSettings>(?:(?!</windowsSettings>).)*<dpiAwareness(?:(?!</windowsSettings>).)*</windowsSettings>'
exit $status
