#!/usr/bin/env bash
# The installer under wine, as a technician uses it:
#   test-installer.sh SETUP.exe DIST BUILD-BIN
# installs silently into a folder given on the command line and checks files, shortcuts and the
# uninstall entry; runs the installed vanelet.exe through a session with only the installed
# DLLs; upgrades over an existing skyvane.ini, transact.log and MissionData (kept byte for byte);
# uninstalls (the store's data stays), then installs and uninstalls with /PURGE (nothing stays).
# Uses its own wine prefix, so shortcuts and registry start empty.
set -euo pipefail
setup=$1 dist=$2 bin=$3
export WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/skyvane-installer-wine.XXXXXX")
export WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=wine
wineserver=/usr/lib/wine/wineserver
[ -x "$wineserver" ] || wineserver=wineserver
work=$(mktemp -d)
cleanup() {
    "$wineserver" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX" "$work"
}
trap cleanup EXIT

failures=0
check() { # check DESCRIPTION COMMAND...
    if "${@:2}"; then echo "ok   $1"; else echo "FAIL $1"; failures=$((failures + 1)); fi
}

# wine returns before an installer's work is done: wait until every program of the prefix ended.
run() { "$wine" "$@"; "$wineserver" -w; }

run wineboot -i >/dev/null 2>&1
# NSIS takes the folder only unquoted, blanks and all, as a technician types it: through cmd,
# which passes its command line on as it stands.
install_into() { run cmd /c "Z:$(printf '%s' "$setup" | tr / '\\') /S /D=$1"; }
folder='C:\Stores\Store 12'
unix_folder="$WINEPREFIX/drive_c/Stores/Store 12"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Skyvane'

# An NSIS uninstaller copies itself away and returns at once: wait for its work to be done.
wait_gone() { # wait_gone FILE
    for _ in $(seq 1 300); do [ -e "$1" ] || return 0; sleep 0.2; done
    return 1
}
same_as_dist() {
    local f
    while IFS= read -r f; do cmp -s "$dist/$f" "$unix_folder/$f" || { echo "  differs: $f"; return 1; }; done \
        < <(cd "$dist" && find . -type f | sed 's|^\./||')
}
shortcut_to() { # shortcut_to LNK PROGRAM: the link exists and names the installed program
    [ -f "$1" ] && strings -a -el "$1" | grep -qi "Store 12.$2" \
        || strings -a "$1" | grep -qi "Store 12.$2"
}
registered() { "$wine" reg query "$key" /v DisplayVersion 2>/dev/null | grep -q REG_SZ; }
not_registered() { ! registered; }
no_programs_left() { [ -z "$(cd "$unix_folder" && ls -- *.exe *.dll 2>/dev/null)" ]; }

echo "== silent install into $folder"
install_into "$folder"
check "every file of dist/windows installed unchanged" same_as_dist
check "uninstaller written" test -f "$unix_folder/uninstall.exe"
check "Startup shortcut to svLaunch" shortcut_to "$menu/StartUp/svLaunch.lnk" svLaunch.exe
check "Start-menu shortcut to skyvane" shortcut_to "$menu/Skyvane/Skyvane.lnk" skyvane.exe
check "Start-menu shortcut to svSetup" shortcut_to "$menu/Skyvane/svSetup.lnk" svSetup.exe
check "uninstall entry in the registry" registered

echo "== the installed vanelet.exe runs a session (its DLLs from the program folder only)"
printf '[system]\r\nID=STORE12\r\nPass=secret\r\nConnection=LAN\r\nServer=127.0.0.1\r\nPort=%s\r\n' 0 \
    > "$unix_folder/skyvane.ini"
cat > "$work/session.script" <<'SCRIPT'
ignore STORE12E00
expect STORE12E01secret
send E011
expect STORE12E02*
send E039.9.9
closed
SCRIPT
# The build's session server finds the Qt DLLs it needs in the installed folder.
WINEPATH="$folder" "$wine" "$bin/sessionserver.exe" \
    --port-file "$work/port" "$work/session.script" > "$work/server.log" 2>&1 &
server=$!
for _ in $(seq 1 150); do [ -s "$work/port" ] && break; sleep 0.2; done
sed -i "s/^Port=0/Port=$(cat "$work/port")/" "$unix_folder/skyvane.ini"
(cd "$unix_folder" && WINEPATH= timeout 120 "$wine" ./vanelet.exe -log) || true
session_ok() { wait "$server"; }
check "the session server saw the whole session" session_ok
check "vanelet.log written in the program folder" grep -q "Version is Incompatible" "$unix_folder/vanelet.log"

echo "== upgrade over the store's data"
printf '[system]\r\nID=STORE12\r\nPass=p\xe4ss w\xf6rd\r\nConnection=Store Modem\r\nTimeToSend=10:15 PM\r\n' \
    > "$unix_folder/skyvane.ini"
printf 'night 1\r\n' > "$unix_folder/transact.log"
mkdir -p "$unix_folder/MissionData" && printf 'mission' > "$unix_folder/MissionData/m1.ini"
cp "$unix_folder/skyvane.ini" "$work/skyvane.ini.before"
rm "$unix_folder/svSetup.exe" # a damaged installation is repaired by the upgrade
run "$setup" /S # no folder: the one of the installation found
check "skyvane.ini kept byte for byte" cmp -s "$work/skyvane.ini.before" "$unix_folder/skyvane.ini"
check "transact.log kept" grep -q "night 1" "$unix_folder/transact.log"
check "MissionData kept" test -f "$unix_folder/MissionData/m1.ini"
check "programs in place again" same_as_dist

echo "== silent uninstall"
run "$unix_folder/uninstall.exe" /S
check "uninstaller finished" wait_gone "$unix_folder/uninstall.exe"
check "programs and DLLs removed" no_programs_left
check "plugins removed" test ! -e "$unix_folder/platforms"
check "shortcuts removed" test ! -e "$menu/StartUp/svLaunch.lnk" -a ! -e "$menu/Skyvane"
check "uninstall entry removed" not_registered
check "skyvane.ini kept" cmp -s "$work/skyvane.ini.before" "$unix_folder/skyvane.ini"
check "transact.log and MissionData kept" test -f "$unix_folder/transact.log" -a -f "$unix_folder/MissionData/m1.ini"

echo "== install again, uninstall with /PURGE"
install_into "$folder"
run "$unix_folder/uninstall.exe" /S /PURGE
check "uninstaller finished" wait_gone "$unix_folder/uninstall.exe"
check "the folder is gone with the store's data" test ! -e "$unix_folder"

echo "== $failures failure(s)"
[ "$failures" -eq 0 ]
