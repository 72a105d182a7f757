#!/usr/bin/env bash
# The installer under wine, as a technician uses it:
#   check-windows-installer.sh SETUP.exe DIST BUILD-BIN
# installs silently with the store's settings into a folder that an outsider made first, and
# checks files, skyvane.ini, shortcuts, the launcher's logon task, the uninstaller in the
# administrators' folder and the uninstall entry; runs the installed vanelet.exe through a
# session with only the installed DLLs; upgrades over an existing skyvane.ini, transact.log and
# MissionData (kept byte for byte) while svLaunch runs, and starts nothing; uninstalls (the
# store's data stays), then installs and uninstalls with /PURGE (nothing stays).
# wine has no local groups and no access lists of its own (its net knows no "localgroup", its
# icacls changes nothing), so the group and the access lists are checked in the commands the
# installer ran, which it writes into its log.
# Uses its own wine prefix, so shortcuts, tasks and registry start empty.
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
# The command line exactly as a technician types it (NSIS takes the folder only unquoted, blanks
# and all), from a batch file: cmd passes each line on as it stands.
install_into() { # folder, options...
    local folder=$1
    shift
    printf '@Z:%s /S %s /D=%s\r\n' "$(printf '%s' "$setup" | tr / '\\')" "$*" "$folder" >"$work/install.bat"
    run cmd /c "Z:$(printf '%s' "$work/install.bat" | tr / '\\')"
}
folder='C:\Stores\Store 12'
unix_folder="$WINEPREFIX/drive_c/Stores/Store 12"
admin="$WINEPREFIX/drive_c/Program Files/Skyvane"
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
uninstall_string() { "$wine" reg query "$key" /v UninstallString 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p'; }
no_programs_left() { [ -z "$(cd "$unix_folder" && ls -- *.exe *.dll 2>/dev/null)" ]; }
# The commands of the last installation, in the order they ran, with their exit codes.
last_run() { tr -d '\r' <"$admin/install.log" | awk '/^== /{run=""} {run=run $0 "\n"} END{printf "%s", run}'; }
ran() { last_run | grep -qxF "> $1"; }
ran_in_order() { # commands that must appear in this order
    local at=0 line
    for command in "$@"; do
        line=$(last_run | grep -nxF "> $command" | cut -d: -f1 | awk -v at="$at" '$1 > at' | head -n 1)
        [ -n "$line" ] || { echo "  missing or out of order: $command"; return 1; }
        at=$line
    done
}
grants='*S-1-5-18:(OI)(CI)F *S-1-5-32-544:(OI)(CI)F Skyvane:(OI)(CI)M'

echo "== silent install with the store's settings into $folder, which an outsider made first"
mkdir -p "$unix_folder"
printf 'planted' >"$unix_folder/version.dll"
printf 'planted' >"$unix_folder/uninstall.exe"
install_into "$folder" /MEMBER=storeuser /ID=STORE12 '/PASS="p w&rd"' /CONNECTION=LAN \
    /SERVER=polling.example.com /PORT=55600 /FTPTLS=True /FTPCAFILE=office-ca.pem '/TIMETOSEND="10:15 PM"'
check "every file of dist/windows installed unchanged" same_as_dist
check "what the outsider planted among the programs is gone" \
    test ! -e "$unix_folder/version.dll" -a ! -e "$unix_folder/uninstall.exe"
preset_ini() {
    printf '[system]\r\nID=STORE12\r\nPass=p w&rd\r\nConnection=LAN\r\nServer=polling.example.com\r\nPort=55600\r\nFtpTls=True\r\nFtpCaFile=office-ca.pem\r\nTimeToSend=10:15 PM\r\n' >"$work/preset.ini"
    cmp -s "$work/preset.ini" "$unix_folder/skyvane.ini" || { od -c "$unix_folder/skyvane.ini" | head -n 12; return 1; }
}
check "skyvane.ini holds the settings of the command line" preset_ini
check "the group made and the member put in it" ran_in_order \
    'net localgroup "Skyvane" /add /comment:"Accounts that run Skyvane"' 'net localgroup "Skyvane"' \
    'net localgroup "Skyvane" "storeuser" /add'
check "the existing folder taken back: owner, entries, inheritance, then what came meanwhile" ran_in_order \
    "icacls \"$folder\" /setowner *S-1-5-32-544 /T /C /L /Q" \
    "icacls \"$folder\" /reset /T /C /L /Q" \
    "icacls \"$folder\" /inheritance:r /grant:r $grants /L /Q" \
    "icacls \"$folder\" /setowner *S-1-5-32-544 /T /C /L /Q" \
    "icacls \"$folder\\*\" /reset /T /C /L /Q"
check "nothing for Users any more" bash -c "! grep -q 'S-1-5-32-545' '$admin/install.log'"
check "uninstaller in the administrators' folder, not in the program folder" \
    test -f "$admin/uninstall.exe" -a ! -e "$unix_folder/uninstall.exe"
check "the uninstall entry names that uninstaller" test "$(uninstall_string)" = '"C:\Program Files\Skyvane\uninstall.exe"'
check "no all-users Startup entry" test -z "$(ls -A "$menu/StartUp" 2>/dev/null)"
launcher_task() {
    local xml
    xml=$(iconv -f UTF-16 -t UTF-8 "$admin/launcher-task.xml" | tr -d '\r')
    grep -q '<LogonTrigger><Enabled>true</Enabled></LogonTrigger>' <<<"$xml" &&
        grep -q '<GroupId>Skyvane</GroupId><RunLevel>LeastPrivilege</RunLevel>' <<<"$xml" &&
        grep -q '<MultipleInstancesPolicy>Parallel</MultipleInstancesPolicy>' <<<"$xml" &&
        grep -qF "<Command>$folder\\svLaunch.exe</Command>" <<<"$xml"
}
check "svLaunch starts at the logon of each member, not elevated" launcher_task
check "the logon task registered" ran 'schtasks /create /tn "Skyvane Launcher" /xml "C:\Program Files\Skyvane\launcher-task.xml" /f'
check "Start-menu shortcut to skyvane" shortcut_to "$menu/Skyvane/Skyvane.lnk" skyvane.exe
check "Start-menu shortcut to svSetup" shortcut_to "$menu/Skyvane/svSetup.lnk" svSetup.exe
check "no uninstaller in the Start menu" test ! -e "$menu/Skyvane/Uninstall Skyvane.lnk"
check "the Start-menu folder shown to the group only" \
    ran "icacls \"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Skyvane\" /inheritance:r /grant:r *S-1-5-18:(OI)(CI)F Skyvane:(OI)(CI)RX /T /Q"
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

echo "== upgrade over the store's data, by an administrator while svLaunch runs"
printf '[system]\r\nID=STORE12\r\nPass=p\xe4ss w\xf6rd\r\nConnection=Store Modem\r\nTimeToSend=10:15 PM\r\n' \
    > "$unix_folder/skyvane.ini"
printf 'night 1\r\n' > "$unix_folder/transact.log"
mkdir -p "$unix_folder/MissionData" && printf 'mission' > "$unix_folder/MissionData/m1.ini"
cp "$unix_folder/skyvane.ini" "$work/skyvane.ini.before"
rm "$unix_folder/svSetup.exe" # a damaged installation is repaired by the upgrade
(cd "$unix_folder" && QT_QPA_PLATFORM=offscreen "$wine" ./svLaunch.exe >/dev/null 2>&1 &)
runs_here() { # a process of this wine prefix (other tests may run beside) matching PATTERN
    local pid
    for pid in $(pgrep -f "$1"); do
        tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
    done
    return 1
}
launcher_runs() { runs_here 'svLaunch.exe'; }
for _ in $(seq 1 100); do launcher_runs && break; sleep 0.2; done
check "svLaunch runs before the upgrade" launcher_runs
"$wine" "$setup" /S # no folder: the one of the installation found
# Whatever the installer started would keep the wine server up: it must end on its own.
check "the installer started nothing: every program ended" timeout 120 "$wineserver" -w
nothing_runs() { ! runs_here 'svLaunch.exe|skyvane.exe'; }
check "svLaunch was stopped and not started again" nothing_runs
check "skyvane.ini kept byte for byte" cmp -s "$work/skyvane.ini.before" "$unix_folder/skyvane.ini"
check "transact.log kept" grep -q "night 1" "$unix_folder/transact.log"
check "MissionData kept" test -f "$unix_folder/MissionData/m1.ini"
check "programs in place again" same_as_dist

echo "== silent uninstall"
run "$admin/uninstall.exe" /S
check "uninstaller finished" wait_gone "$admin/uninstall.exe"
check "programs and DLLs removed" no_programs_left
check "plugins removed" test ! -e "$unix_folder/platforms"
check "shortcuts removed" test ! -e "$menu/Skyvane"
check "the logon task removed" ran 'schtasks /delete /tn "Skyvane Launcher" /f'
check "uninstall entry removed" not_registered
check "skyvane.ini kept" cmp -s "$work/skyvane.ini.before" "$unix_folder/skyvane.ini"
check "transact.log and MissionData kept" test -f "$unix_folder/transact.log" -a -f "$unix_folder/MissionData/m1.ini"

echo "== install again, uninstall with /PURGE"
install_into "$folder"
check "a folder of our own taken back as well" ran "icacls \"$folder\" /inheritance:r /grant:r $grants /L /Q"
run "$admin/uninstall.exe" /S /PURGE
check "uninstaller finished" wait_gone "$admin/uninstall.exe"
check "the folder is gone with the store's data" test ! -e "$unix_folder"
check "the administrators' folder is gone" test ! -e "$admin"

echo "== a fresh folder"
install_into 'C:\Fresh'
check "a new folder gets its access list at once, and nothing else was in it" ran_in_order \
    "icacls \"C:\\Fresh\" /inheritance:r /grant:r $grants /L /Q" "icacls \"C:\\Fresh\" /setowner *S-1-5-32-544 /L /Q"
check "installed there" test -f "$WINEPREFIX/drive_c/Fresh/skyvane.exe"
run "$admin/uninstall.exe" /S /PURGE
check "uninstaller finished" wait_gone "$admin/uninstall.exe"

echo "== $failures failure(s)"
[ "$failures" -eq 0 ]
