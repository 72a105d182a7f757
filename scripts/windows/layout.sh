#!/usr/bin/env bash
# Lays out a Windows program folder as it goes to a store:
#   layout.sh BUILD SDK DIST
# every program BUILD/programs.txt lists (written by CMake), stripped; every DLL they or the
# Qt plugins load that the SDK provides (found by walking their import tables); the Qt plugins
# a store needs: the Windows platform, its style, TLS.
set -euo pipefail
build=$1 sdk=$2 dist=$3
host=x86_64-w64-mingw32
plugins=(platforms/qwindows.dll styles/qwindowsvistastyle.dll tls/qschannelbackend.dll
         tls/qcertonlybackend.dll)

[ -s "$build/programs.txt" ] || { echo "layout: $build/programs.txt is missing" >&2; exit 1; }
rm -rf "$dist"
mkdir -p "$dist"

pending=()
while IFS= read -r program; do
    [ -n "$program" ] || continue
    $host-strip --strip-unneeded -o "$dist/$(basename "$program")" "$program"
    pending+=("$dist/$(basename "$program")")
done < "$build/programs.txt"
for p in "${plugins[@]}"; do
    mkdir -p "$dist/$(dirname "$p")"
    cp "$sdk/plugins/$p" "$dist/$p"
    pending+=("$dist/$p")
done

# Imports that are not in the SDK are the system's own DLLs (KERNEL32, WS2_32, ...).
while ((${#pending[@]})); do
    file=${pending[0]}
    pending=("${pending[@]:1}")
    while IFS= read -r dll; do
        [ -f "$dist/$dll" ] && continue
        [ -f "$sdk/bin/$dll" ] || continue
        cp "$sdk/bin/$dll" "$dist/$dll"
        pending+=("$dist/$dll")
    done < <($host-objdump -p "$file" | sed -n 's/^\s*DLL Name: //p')
done
