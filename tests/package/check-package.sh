#!/usr/bin/env bash
# Checks the Debian package in a throwaway Debian 12 root, as root:
#   install with apt (dependencies from Debian), a vanelet night against a session server and an
#   FTP server on 127.0.0.1, upgrade to a newer version, remove, purge.
# The root is made once with debootstrap (kept in build-package/pkgroot-base, about 2 minutes and
# Debian's mirror through apt's network) and copied afresh for every run.
#
#   bash tests/package/check-package.sh        builds the package first (scripts/package.sh)
set -euo pipefail
cd "$(dirname "$0")/../.."
top=$PWD
source scripts/night_script.sh

bash scripts/package.sh >/dev/null
deb=$(ls -t dist/skyvane_*.deb | head -n 1)
bin=$top/build-package/bin
version=$(dpkg-deb -f "$deb" Version)
echo "Checking $deb"

if ! command -v debootstrap >/dev/null; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends debootstrap >/dev/null
fi

base=$top/build-package/pkgroot-base
if [ ! -e "$base/.complete" ]; then
    rm -rf "$base"
    debootstrap --variant=minbase bookworm "$base" http://deb.debian.org/debian >/dev/null
    printf 'deb http://deb.debian.org/debian bookworm main\ndeb http://deb.debian.org/debian bookworm-updates main\ndeb http://deb.debian.org/debian-security bookworm-security main\n' \
        >"$base/etc/apt/sources.list"
    touch "$base/.complete"
fi

work=$(mktemp -d /tmp/skyvane-pkgcheck.XXXXXX)
root=$work/root
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    # Never delete through a mount point into the host.
    if mountpoint -q "$root/proc"; then umount "$root/proc"; fi
    if ! grep -q " $root/" /proc/mounts; then rm -rf "$work"; fi
}
trap cleanup EXIT
cp -a "$base" "$root"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"

passes=0
failures=0
check() { # description, command...
    local what=$1
    shift
    if "$@"; then
        echo "ok   $what"
        passes=$((passes + 1))
    else
        echo "FAIL $what"
        failures=$((failures + 1))
    fi
}
in_root() { chroot "$root" "$@"; }
folder=$root/opt/skyvane

# --- install with apt --------------------------------------------------------------------------
cp "$deb" "$root/tmp/skyvane.deb"
in_root apt-get update >/dev/null
DEBIAN_FRONTEND=noninteractive in_root apt-get install -y --no-install-recommends \
    /tmp/skyvane.deb >"$work/install.log" 2>&1 || { tail -n 30 "$work/install.log"; exit 1; }
for program in skyvane svGetData vanelet svSetup svLaunch update; do
    check "$program installed in /opt/skyvane" test -x "$folder/$program"
done
check "every library of the programs is there" \
    bash -c "! chroot '$root' ldd /opt/skyvane/skyvane /opt/skyvane/svGetData /opt/skyvane/vanelet /opt/skyvane/svSetup /opt/skyvane/svLaunch /opt/skyvane/update | grep -q 'not found'"
check "group skyvane created" in_root getent group skyvane
check "program folder root:skyvane 2775" \
    test "$(in_root stat -c '%U:%G %a' /opt/skyvane)" = "root:skyvane 2775"
check "desktop entry for svSetup" grep -qx 'Exec=/opt/skyvane/svSetup' \
    "$root/usr/share/applications/skyvane-setup.desktop"
check "svLaunch starts at login" grep -qx 'Exec=/opt/skyvane/svLaunch' \
    "$root/etc/xdg/autostart/skyvane-launcher.desktop"
check "the windows' fonts are installed" test -f "$root/usr/share/wine/fonts/ms_sans_serif.ttf" -a -d "$root/usr/share/fonts/truetype/liberation2"
# The windowed programs need no more than the package brought: svLaunch comes up (offscreen,
# there is no display here) and stays resident until stopped.
check "svLaunch starts and stays resident" bash -c \
    "chroot '$root' runuser -u nobody -- env QT_QPA_PLATFORM=offscreen timeout 5 /opt/skyvane/svLaunch >/dev/null 2>&1; test \$? -eq 124"

# --- one night of vanelet, run by a member of the group -----------------------------------------
in_root useradd --create-home --groups skyvane store
run=$work/night
mkdir -p "$run/ftp/store12" "$root/store/pos" "$root/store/reports"
cp tests/data/nwind.mdb "$root/store/pos/nwind.mdb"
printf 'sales of the night\r\n' >"$root/store/reports/sales.txt"
chmod -R a+rwX "$root/store"
/usr/bin/python3 scripts/demo_pack.py "$run/ftp/store12/night.zip" /store/pos/nwind.mdb \
    /store/reports /store/archive /store/prices
config=$(printf '{"port":0,"root":"%s","users":[{"name":"store12","password":"ftp-secret"}]}' "$run/ftp")
/usr/bin/python3 tests/support/ftpserver.py "$config" >"$run/ftpserver.out" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do grep -q '^PORT ' "$run/ftpserver.out" 2>/dev/null && break; sleep 0.1; done
ftpport=$(sed -n 's/^PORT //p' "$run/ftpserver.out")
{ night_script 2.3.9015 "$ftpport"; echo "closed"; } >"$run/night.script"
"$bin/sessionserver" --port-file "$run/session.port" "$run/night.script" >"$run/server.log" 2>&1 &
server=$!
pids+=($server)
for _ in $(seq 1 100); do [ -s "$run/session.port" ] && break; sleep 0.1; done
# What svSetup would have saved, written by the store's user.
printf '[system]\r\nID=STORE12\r\nPass=store-secret\r\nConnection=LAN\r\nServer=127.0.0.1\r\nPort=%s\r\nPassiveMode=True\r\nTimeToSend=10:15 PM\r\nRetry=15\r\n' \
    "$(cat "$run/session.port")" | in_root runuser -u store -- tee /opt/skyvane/skyvane.ini >/dev/null
# A transaction log left by an earlier skyvane run.
printf '12/6/2026 10:15:02 PM :Initializing Skyvane 2.3.9018.....\r\n' |
    in_root runuser -u store -- tee /opt/skyvane/transact.log >/dev/null
in_root runuser -u store -- sh -c 'cd /opt/skyvane && timeout 300 ./vanelet -log' \
    >"$run/vanelet.out" 2>&1 || true
status=0
wait "$server" || status=$?
check "vanelet ran its night (server script complete)" test "$status" -eq 0
check "MissionPackIn.zip reached the FTP server" test -s "$run/ftp/store12/MissionPackIn.zip"
check "vanelet.log written in the program folder" test -s "$folder/vanelet.log"
check "MissionData filled" test -n "$(ls -A "$folder/MissionData" 2>/dev/null)"
[ "$failures" -eq 0 ] || { tail -n 20 "$run/server.log" "$run/vanelet.out"; }

# --- upgrade: the same programs as a newer version ----------------------------------------------
snapshot() { (cd "$folder" && md5sum skyvane.ini transact.log && find MissionData -type f -exec md5sum {} + | sort); }
before=$(snapshot)
dpkg-deb -R "$deb" "$work/newer"
sed -i "s/^Version: .*/Version: $version+1/" "$work/newer/DEBIAN/control"
dpkg-deb --root-owner-group -b "$work/newer" "$root/tmp/skyvane-newer.deb" >/dev/null
DEBIAN_FRONTEND=noninteractive in_root apt-get install -y /tmp/skyvane-newer.deb >"$work/upgrade.log" 2>&1
check "upgraded to $version+1" test "$(in_root dpkg-query -W -f='${Version}' skyvane)" = "$version+1"
check "upgrade kept skyvane.ini, transact.log and MissionData" test "$(snapshot)" = "$before"
check "upgrade kept the folder's group and mode" \
    test "$(in_root stat -c '%U:%G %a' /opt/skyvane)" = "root:skyvane 2775"

# --- remove, then purge -------------------------------------------------------------------------
DEBIAN_FRONTEND=noninteractive in_root apt-get remove -y skyvane >"$work/remove.log" 2>&1
check "remove took the programs" test ! -e "$folder/skyvane" -a ! -e "$folder/svSetup"
check "remove left skyvane.ini, transact.log and MissionData" test "$(snapshot)" = "$before"
check "remove took the desktop entry" test ! -e "$root/usr/share/applications/skyvane-setup.desktop"
in_root dpkg --purge skyvane >"$work/purge.log" 2>&1
check "purge took the program folder" test ! -e "$folder"
check "purge took the autostart entry" test ! -e "$root/etc/xdg/autostart/skyvane-launcher.desktop"
check "purge dropped the folder's override" bash -c "! chroot '$root' dpkg-statoverride --list /opt/skyvane"

echo "package: $passes passed, $failures failed"
[ "$failures" -eq 0 ]
