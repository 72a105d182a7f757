#!/usr/bin/env bash
# Makes the Windows installer from a laid-out program folder:
#   installer.sh DIST VERSION OUTPUT.exe
# The NSIS script (installer.nsi) gets the list of files to install and to remove again from
# DIST itself, so every program and DLL the layout holds is installed and uninstalled.
set -euo pipefail
dist=$(cd "$1" && pwd) version=$2 output=$3
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

winpath() { printf '%s' "$1" | tr / '\\'; }
{
    echo '!macro InstallFiles'
    (cd "$dist" && find . -type d ! -name . | sort) | while IFS= read -r d; do
        echo "  CreateDirectory \"\$INSTDIR\\$(winpath "${d#./}")\""
    done
    (cd "$dist" && find . -type f | sort) | while IFS= read -r f; do
        f=${f#./}
        sub=$(dirname "$f")
        if [ "$sub" = . ]; then echo '  SetOutPath "$INSTDIR"'; else echo "  SetOutPath \"\$INSTDIR\\$(winpath "$sub")\""; fi
        echo "  File \"$dist/$f\""
    done
    echo '  SetOutPath "$INSTDIR"'
    echo '!macroend'
    echo '!macro RemoveFiles'
    (cd "$dist" && find . -type f | sort) | while IFS= read -r f; do
        echo "  Delete \"\$INSTDIR\\$(winpath "${f#./}")\""
    done
    (cd "$dist" && find . -type d ! -name . | sort -r) | while IFS= read -r d; do
        echo "  RMDir \"\$INSTDIR\\$(winpath "${d#./}")\""
    done
    echo '!macroend'
} > "$work/files.nsh"

mkdir -p "$(dirname "$output")"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DFILES="$work/files.nsh" \
    -DOUTFILE="$(cd "$(dirname "$output")" && pwd)/$(basename "$output")" "$here/installer.nsi"
