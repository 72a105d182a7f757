#!/usr/bin/env bash
# One command from a clean checkout to the Windows programs and their installer: installs what
# is missing (mingw-w64, wine64, nsis), puts the Windows SDK in place, cross-builds everything
# into build-windows/, lays out dist/windows/ (the programs, the DLLs they need, the Qt plugins)
# and makes dist/SkyvaneSetup-VERSION.exe.
#
# The SDK: SKYVANE_WINSDK (a finished prefix, default build-winsdk/skyvane-winsdk), else the
# prebuilt archive SKYVANE_WINSDK_ARCHIVE (default ../shared/winsdk/skyvane-winsdk.tar.xz beside
# the clone), else scripts/windows-sdk.sh builds it from Debian's sources (about an hour).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
. scripts/windows/env.sh
started=$SECONDS
say() { printf '[build-windows %s] %s\n' "$(date +%H:%M:%S)" "$*"; }

bash scripts/windows/deps.sh

# --- the SDK -----------------------------------------------------------------------------------
unpack_sdk() {
    local dir; dir=$(dirname "$SKYVANE_WINSDK")
    local sums; sums=$(dirname "$SKYVANE_WINSDK_ARCHIVE")/SHA256SUMS
    if [ -f "$sums" ]; then
        (cd "$(dirname "$sums")" && grep " $(basename "$SKYVANE_WINSDK_ARCHIVE")\$" SHA256SUMS | sha256sum -c --quiet -) \
            || { echo "$SKYVANE_WINSDK_ARCHIVE does not match its SHA256SUMS" >&2; exit 1; }
    fi
    mkdir -p "$dir"
    local tmp; tmp=$(mktemp -d "$dir/unpack.XXXXXX")
    tar -C "$tmp" -xJf "$SKYVANE_WINSDK_ARCHIVE"
    rm -rf "$SKYVANE_WINSDK"
    mv "$tmp"/* "$SKYVANE_WINSDK"
    rmdir "$tmp"
}
if [ ! -f "$SKYVANE_WINSDK/toolchain.cmake" ]; then
    if [ -f "$SKYVANE_WINSDK_ARCHIVE" ]; then
        say "unpacking the SDK $SKYVANE_WINSDK_ARCHIVE"
        unpack_sdk
    else
        say "no SDK archive at $SKYVANE_WINSDK_ARCHIVE: building the SDK from source (about an hour)"
        bash scripts/windows-sdk.sh "$SKYVANE_WINSDK"
    fi
fi
# The project's toolchain file and wine wrapper, whatever made the SDK (rewritten only on change).
bash scripts/windows-sdk.sh "$SKYVANE_WINSDK" toolchain >/dev/null

# --- the programs and tests --------------------------------------------------------------------
say "building into $winbuild"
cmake -S . -B "$winbuild" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$SKYVANE_WINSDK/toolchain.cmake" >/dev/null
cmake --build "$winbuild" -j"$(nproc)"

# --- dist/windows and the installer ------------------------------------------------------------
bash scripts/windows/layout.sh "$winbuild" "$SKYVANE_WINSDK" "$windist"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$winbuild/CMakeCache.txt")
[ -n "$version" ] || { echo "no project version in $winbuild/CMakeCache.txt" >&2; exit 1; }
installer=$top/dist/SkyvaneSetup-$version.exe
say "making $installer"
bash scripts/windows/installer.sh "$windist" "$version" "$installer"

file "$windist"/*.exe "$installer" | sed "s|$top/||"
say "dist/windows: $(du -sh "$windist" | cut -f1), $(find "$windist" -type f | wc -l) files;" \
    "installer: $(du -h "$installer" | cut -f1) ($(stat -c %s "$installer") bytes)"
say "done in $((SECONDS - started)) s"
