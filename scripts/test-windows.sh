#!/usr/bin/env bash
# Runs the Windows build of the test suite under wine64 and prints CTest's summary.
#
# Builds first (scripts/build-windows.sh: incremental, also the installer). The tests run through
# the SDK's wine wrapper (the toolchain's CMAKE_CROSSCOMPILING_EMULATOR) in a wine prefix of
# their own under build-windows/, on Qt's offscreen platform, with wine's messages off. The FTP
# server is Debian's python3 + pyftpdlib on 127.0.0.1, started by the tests themselves as on
# Linux; the session server runs inside the tests. Arguments go to ctest (e.g. -R test_paths).
# SKYVANE_NO_BUILD=1 skips the build.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
. scripts/windows/env.sh
started=$SECONDS

# Tests of the Linux suite that do not run here, each with its reason.
declare -A not_under_wine=(
  [test_windowsfit]="checks Linux's font substitutes (fontconfig's Arial to Liberation Sans); wine's offscreen platform has neither Arial nor a substitution"
)

[ -n "${SKYVANE_NO_BUILD:-}" ] || bash scripts/build-windows.sh

# One wine server for the whole run (each test would otherwise start and stop its own), ended
# with the run; the prefix is made once.
export QT_QPA_PLATFORM=offscreen
# The offscreen platform on Windows draws text only with fonts from a folder: Debian's.
export QT_QPA_FONTDIR=Z:/usr/share/fonts/truetype/dejavu
run=$SKYVANE_WINSDK/share/winsdk/wine-run.sh
"$wineserver" -p 2>/dev/null || true # fails when one runs already: then that one serves
"$run" cmd /c exit >/dev/null 2>&1 || true # makes the prefix, writes the Qt variables into it
# wine's prefixes report Windows 7, which Qt 6 does not support; libcurl's Schannel code then
# checks the server's name against DNS names only, so a certificate for 127.0.0.1 fails there.
"$wine" reg add 'HKCU\Software\Wine' /v Version /d win10 /f >/dev/null
trap '"$wineserver" -k 2>/dev/null || true' EXIT

skip=()
for t in "${!not_under_wine[@]}"; do skip+=("$t"); done
exclude=()
if ((${#skip[@]})); then exclude=(-E "^($(IFS='|'; echo "${skip[*]}"))\$"); fi

status=0
ctest --test-dir "$winbuild" --output-on-failure -j"$(nproc)" "${exclude[@]}" "$@" || status=$?
if ((${#skip[@]})); then
    echo "Not run under wine:"
    for t in $(printf '%s\n' "${skip[@]}" | sort); do echo "  $t: ${not_under_wine[$t]}"; done
fi
echo "test-windows: $((SECONDS - started)) s"
exit $status
