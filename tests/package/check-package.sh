#!/usr/bin/env bash
# Checks the Debian package in a throwaway Debian 12 root, as root:
#   the layout of the packages before this one (program folder 2775, svLaunch for every login)
#   with a night of vanelet run by a member under umask 022; the upgrade to this package (the
#   store's files kept byte for byte and handed to the group); what an account outside the group
#   can do (nothing), what a member can plant (runs for members only), members taking turns with
#   vanelet and skyvane beside a channel and a lock planted in /tmp, one skyvane per folder;
#   upgrade, remove, purge; a fresh install preset with debconf.
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
chmod 711 "$work" # the root's /tmp is reached by accounts of the root from outside too
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
as() { # as ACCOUNT SHELL-COMMAND: in the root, with umask 022 as a desktop login has
    local account=$1
    shift
    chroot "$root" runuser -u "$account" -- sh -c "umask 022; $*"
}
fails() { ! "$@" 2>/dev/null; }
folder=$root/opt/skyvane
stat_of() { in_root stat -c '%U:%G %a' "$1"; }
apt_install() { # log, package files...
    local log=$1
    shift
    DEBIAN_FRONTEND=noninteractive in_root apt-get install -y --no-install-recommends "$@" \
        >"$work/$log" 2>&1 || { tail -n 30 "$work/$log"; exit 1; }
}

# A session server on a free port for one script, its port in skyvane.ini; sets $server (pid).
serve() { # name, script
    printf '%s\n' "$2" >"$work/$1.script"
    rm -f "$work/$1.port"
    "$bin/sessionserver" --port-file "$work/$1.port" "$work/$1.script" >"$work/$1.server" 2>&1 &
    server=$!
    pids+=("$server")
    for _ in $(seq 1 100); do [ -s "$work/$1.port" ] && break; sleep 0.1; done
    sed -i "s/^Port=.*/Port=$(cat "$work/$1.port")\r/" "$folder/skyvane.ini"
}
served() { wait "$server"; }

# --- the layout before: the same programs with the maintainer script of the earlier packages ---
dpkg-deb -R "$deb" "$work/earlier"
cat >"$work/earlier/DEBIAN/postinst" <<'EOF'
#!/bin/sh
set -e
if [ "$1" = configure ]; then
    getent group skyvane >/dev/null || groupadd --system skyvane
    if ! dpkg-statoverride --list /opt/skyvane >/dev/null; then
        dpkg-statoverride --update --add root skyvane 2775 /opt/skyvane
    fi
fi
exit 0
EOF
rm -rf "$work/earlier/DEBIAN/config" "$work/earlier/DEBIAN/templates" "$work/earlier/usr/lib/skyvane"
sed -i 's|^Exec=.*|Exec=/opt/skyvane/svLaunch|; /^TryExec=/d' \
    "$work/earlier/etc/xdg/autostart/skyvane-launcher.desktop"
sed -i "s/^Version: .*/Version: $version~earlier/; s/, acl, debconf (>= 0.5) | debconf-2.0//" \
    "$work/earlier/DEBIAN/control"
(cd "$work/earlier" && find etc opt usr -type f -exec md5sum {} + >DEBIAN/md5sums)
dpkg-deb --root-owner-group -b "$work/earlier" "$root/tmp/skyvane-earlier.deb" >/dev/null
cp "$deb" "$root/tmp/skyvane.deb"
in_root apt-get update >/dev/null
apt_install earlier.log /tmp/skyvane-earlier.deb
check "the earlier layout: program folder root:skyvane 2775" \
    test "$(stat_of /opt/skyvane)" = "root:skyvane 2775"

# --- one night of vanelet in the earlier layout, run by a member ----------------------------------
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
# What svSetup would have saved, written by the store's user.
printf '[system]\r\nID=STORE12\r\nPass=store-secret\r\nConnection=LAN\r\nServer=127.0.0.1\r\nPort=0\r\nPassiveMode=True\r\nTimeToSend=10:15 PM\r\nRetry=15\r\n' |
    as store "cat >/opt/skyvane/skyvane.ini"
# A transaction log left by an earlier skyvane run.
printf '12/6/2026 10:15:02 PM :Initializing Skyvane 2.3.9018.....\r\n' | as store "cat >/opt/skyvane/transact.log"
serve night "$(night_script 2.3.9015 "$ftpport"; echo "closed")"
as store "cd /opt/skyvane && timeout 300 ./vanelet -log" >"$run/vanelet.out" 2>&1 || true
check "vanelet ran its night (server script complete)" served
check "MissionPackIn.zip reached the FTP server" test -s "$run/ftp/store12/MissionPackIn.zip"
check "vanelet.log written in the program folder" test -s "$folder/vanelet.log"
check "MissionData filled" test -n "$(ls -A "$folder/MissionData" 2>/dev/null)"
check "the member's files are 0644, as the finding had them" \
    test "$(stat_of /opt/skyvane/transact.log)" = "store:skyvane 644"
[ "$failures" -eq 0 ] || { tail -n 20 "$work/night.server" "$run/vanelet.out"; }

# --- upgrade to this package ---------------------------------------------------------------------
snapshot() { (cd "$folder" && md5sum skyvane.ini transact.log && find MissionData -type f -exec md5sum {} + | sort); }
before=$(snapshot)
apt_install upgrade-layout.log /tmp/skyvane.deb
check "upgraded to $version" test "$(in_root dpkg-query -W -f='${Version}' skyvane)" = "$version"
check "upgrade kept skyvane.ini, transact.log and MissionData byte for byte" test "$(snapshot)" = "$before"
check "program folder root:skyvane 2770" test "$(stat_of /opt/skyvane)" = "root:skyvane 2770"
default_acl() { in_root getfacl -cdp "$1" | grep -q '^group::rwx$' &&
    in_root getfacl -cdp "$1" | grep -q '^other::---$'; }
check "program folder: default ACL, new files group-writable" default_acl /opt/skyvane
check "the store's files handed to the group: skyvane.ini, transact.log 660" \
    test "$(stat_of /opt/skyvane/skyvane.ini) $(stat_of /opt/skyvane/transact.log)" = \
    "store:skyvane 660 store:skyvane 660"
not_shared() { in_root find /opt/skyvane/MissionData ! -group skyvane -o -perm /o=rwx -o -type f ! -perm -g=rw; }
check "MissionData: everything the group's, nothing for others" test -z "$(not_shared)"
check "MissionData: setgid for the group" test "$(stat_of /opt/skyvane/MissionData)" = "store:skyvane 2770"
check "MissionData: the default ACL" default_acl /opt/skyvane/MissionData

for program in skyvane svGetData vanelet svSetup svLaunch update; do
    check "$program installed in /opt/skyvane" test -x "$folder/$program"
done
check "every library of the programs is there" \
    bash -c "! chroot '$root' ldd /opt/skyvane/skyvane /opt/skyvane/svGetData /opt/skyvane/vanelet /opt/skyvane/svSetup /opt/skyvane/svLaunch /opt/skyvane/update | grep -q 'not found'"
check "the starter and the root scripts are root's, 755, outside the folder" test \
    "$(in_root stat -c '%U:%G %a' /usr/lib/skyvane /usr/lib/skyvane/start /usr/lib/skyvane/share-folder /usr/lib/skyvane/preset-settings | sort -u)" = "root:root 755"
check "svSetup's menu entry goes through the starter" grep -qx 'Exec=/usr/lib/skyvane/start svSetup' \
    "$root/usr/share/applications/skyvane-setup.desktop"
autostart=$(sed -n 's/^Exec=//p' "$root/etc/xdg/autostart/skyvane-launcher.desktop")
check "the autostart goes through the starter" test "$autostart" = "/usr/lib/skyvane/start svLaunch"
check "the windows' fonts are installed" test -f "$root/usr/share/wine/fonts/ms_sans_serif.ttf" -a -d "$root/usr/share/fonts/truetype/liberation2"
# The windowed programs need no more than the package brought: svLaunch comes up (offscreen,
# there is no display here) and stays resident until stopped.
check "svLaunch starts for a member and stays resident" bash -c \
    "chroot '$root' runuser -u store -- env QT_QPA_PLATFORM=offscreen timeout 5 $autostart >/dev/null 2>&1; test \$? -eq 124"

# --- an account outside the group ------------------------------------------------------------------
in_root useradd --create-home visitor
check "outsider: the folder cannot be listed" fails as visitor "ls /opt/skyvane"
check "outsider: skyvane.ini cannot be read" fails as visitor "cat /opt/skyvane/skyvane.ini"
check "outsider: nothing can be created in the folder" fails as visitor "touch /opt/skyvane/x"
check "outsider: no program of the folder runs" fails as visitor "/opt/skyvane/vanelet"

# --- finding 1: a member swaps svLaunch; the next login of anyone else runs it ---------------------
in_root useradd --create-home --groups skyvane manager
planted='#!/bin/sh
id -un >>/tmp/planted-code-ran
'
as store "mv /opt/skyvane/svLaunch /opt/skyvane/svLaunch.real && printf '%s' '$planted' >/opt/skyvane/svLaunch && chmod 755 /opt/skyvane/svLaunch"
check "a member can still swap a program of the folder (the group is one trust domain)" \
    grep -q planted-code-ran "$folder/svLaunch"
as visitor "$autostart" || true
in_root sh -c "$autostart" || true
check "an outsider's login and root run nothing of the swapped folder" test ! -e "$root/tmp/planted-code-ran"
as manager "$autostart" || true
check "it runs for the group's members only" test "$(cat "$root/tmp/planted-code-ran")" = manager
check "a member cannot change the starter" fails as store "echo 'id >/tmp/x' >>/usr/lib/skyvane/start"
check "a member cannot swap the starter" fails as store "mv /usr/lib/skyvane/start /tmp/"
check "a member cannot change the autostart entry" fails as store "echo >>/etc/xdg/autostart/skyvane-launcher.desktop"
as store "mv /opt/skyvane/svLaunch.real /opt/skyvane/svLaunch"

# --- a channel and a lock planted in /tmp, where skyvane used to look --------------------------------
old_name=skyvane-$(printf '%s' /opt/skyvane | sha1sum | cut -c1-16)
visitor_ids=$(in_root id -u visitor):$(in_root id -g visitor)
printf '99999\nskyvane\nelsewhere\n' >"$root/tmp/$old_name.lock"
chown "$visitor_ids" "$root/tmp/$old_name.lock"
setpriv --reuid="${visitor_ids%:*}" --regid="${visitor_ids#*:}" --clear-groups /usr/bin/python3 -c '
import os, socket, sys
path = sys.argv[1]
s = socket.socket(socket.AF_UNIX)
s.bind(path)
os.chmod(path, 0o777)
s.listen(16)
while True:
    c, _ = s.accept()
    c.recv(100)
    c.sendall(b"ok\n")
    c.close()
' "$root/tmp/$old_name" &
pids+=($!)
for _ in $(seq 1 50); do [ -S "$root/tmp/$old_name" ] && break; sleep 0.1; done
check "a channel is planted in /tmp under skyvane's old name" test -S "$root/tmp/$old_name"

# --- members take turns: every line of both reaches the logs ----------------------------------------
short='ignore STORE12E00
expect STORE12E01store-secret
send E011
expect STORE12E02*
send E09
closed'
lines_of() { grep -c "$2" "$folder/$1" || true; }
for member in store manager; do
    serve "vanelet-$member" "$short"
    as "$member" "cd /opt/skyvane && timeout 60 ./vanelet -log" || true
    check "vanelet run by $member: session complete" served
done
check "both vanelet runs wrote all their lines to vanelet.log (the night's, then 4 + 4)" test \
    "$(tail -n 8 "$folder/vanelet.log" | sed 's/^.* ://' | sort | uniq -c | awk '{print $1}' | sort -u)" = 2
before_runs=$(lines_of transact.log 'Initializing Skyvane')
for member in store manager; do
    serve "skyvane-$member" "$short"
    as "$member" "cd /opt/skyvane && QT_QPA_PLATFORM=offscreen timeout 60 ./skyvane" >>"$work/skyvane.out" 2>&1 || true
    check "skyvane run by $member beside the planted channel and lock: session complete" served
done
check "both skyvane runs wrote all their lines to transact.log" test \
    "$(lines_of transact.log 'Initializing Skyvane') $(tail -n 1 "$folder/transact.log" | tr -d '\r' | sed 's/^.* ://')" = \
    "$((before_runs + 2)) Skyvane Terminated"
check "skyvane's files are the group's, writable for every member" test -z \
    "$(in_root find /opt/skyvane -maxdepth 1 -type f -name '*.log' ! -perm -g=rw)"

# --- one skyvane per program folder, whoever starts it ----------------------------------------------
serve one-copy "${short/send E09/pause 8000
send E09}"
as store "cd /opt/skyvane && QT_QPA_PLATFORM=offscreen timeout 60 ./skyvane" >>"$work/skyvane.out" 2>&1 &
first=$!
for _ in $(seq 1 100); do grep -q 'E02' "$work/one-copy.server" && break; sleep 0.1; done
started=$(lines_of transact.log 'Initializing Skyvane')
second=0
as manager "cd /opt/skyvane && QT_QPA_PLATFORM=offscreen timeout 20 ./skyvane" >>"$work/skyvane.out" 2>&1 || second=$?
check "a second skyvane started by another member ends at once, writing nothing" \
    test "$second $(lines_of transact.log 'Initializing Skyvane')" = "0 $started"
wait "$first" || true
check "the first one ran its session to the end" served

# --- upgrade: the same programs as a newer version ----------------------------------------------
# Links a member leaves for root's scripts, which hand the folder's files to the group.
as store "ln -s /etc/passwd /opt/skyvane/MissionData/passwd && ln -s /etc /opt/skyvane/etc"
before=$(snapshot)
dpkg-deb -R "$deb" "$work/newer"
sed -i "s/^Version: .*/Version: $version+1/" "$work/newer/DEBIAN/control"
dpkg-deb --root-owner-group -b "$work/newer" "$root/tmp/skyvane-newer.deb" >/dev/null
apt_install upgrade.log /tmp/skyvane-newer.deb
check "upgraded to $version+1" test "$(in_root dpkg-query -W -f='${Version}' skyvane)" = "$version+1"
check "upgrade kept skyvane.ini, transact.log and MissionData" test "$(snapshot)" = "$before"
check "upgrade kept the folder's group and mode" test "$(stat_of /opt/skyvane)" = "root:skyvane 2770"
check "the upgrade followed no link a member left" \
    test "$(stat_of /etc/passwd) $(stat_of /etc) $(in_root getfacl -cdp /etc | wc -l)" = "root:root 644 root:root 755 0"

# --- remove, then purge -------------------------------------------------------------------------
DEBIAN_FRONTEND=noninteractive in_root apt-get remove -y skyvane >"$work/remove.log" 2>&1
check "remove took the programs" test ! -e "$folder/skyvane" -a ! -e "$folder/svSetup"
check "remove left skyvane.ini, transact.log and MissionData" test "$(snapshot)" = "$before"
check "remove took the desktop entry and the starter" \
    test ! -e "$root/usr/share/applications/skyvane-setup.desktop" -a ! -e "$root/usr/lib/skyvane/start"
in_root dpkg --purge skyvane >"$work/purge.log" 2>&1
check "purge took the program folder" test ! -e "$folder"
check "purge took the autostart entry" test ! -e "$root/etc/xdg/autostart/skyvane-launcher.desktop"
check "purge dropped the folder's override" bash -c "! chroot '$root' dpkg-statoverride --list /opt/skyvane"

# --- a fresh install preset with debconf, as a roll-out does it ---------------------------------
in_root useradd --create-home clerk
in_root debconf-set-selections <<'EOF'
skyvane skyvane/members string clerk, root, nobody-here
skyvane skyvane/store-id string STORE77
skyvane skyvane/password password s3cret pässword
skyvane skyvane/connection string LAN
skyvane skyvane/server string polling.example.com
skyvane skyvane/port string 55600
skyvane skyvane/ftp-tls string True
skyvane skyvane/ftp-ca-file string office-ca.pem
skyvane skyvane/time-to-send string 10:15 PM
EOF
apt_install preset.log /tmp/skyvane.deb
expected=$(printf '[system]\r\nID=STORE77\r\nPass=s3cret p\xe4ssword\r\nConnection=LAN\r\nServer=polling.example.com\r\nPort=55600\r\nFtpTls=True\r\nFtpCaFile=office-ca.pem\r\nTimeToSend=10:15 PM\r\n' | od -c)
check "skyvane.ini preset (password in the settings' code page)" test "$(od -c <"$folder/skyvane.ini")" = "$expected"
check "preset skyvane.ini is root:skyvane 660" test "$(stat_of /opt/skyvane/skyvane.ini)" = "root:skyvane 660"
check "the preset password is gone from debconf's database" \
    bash -c "! grep -rq s3cret '$root/var/cache/debconf/'"
check "clerk added to the group, root not" test \
    "$(in_root id -nG clerk | tr ' ' '\n' | grep -c skyvane) $(in_root id -nG root | tr ' ' '\n' | grep -c skyvane || true)" = "1 0"
check "an upgrade leaves the preset skyvane.ini as it is" bash -c \
    "cp '$folder/skyvane.ini' '$work/preset.ini'; DEBIAN_FRONTEND=noninteractive chroot '$root' apt-get install -y --reinstall /tmp/skyvane.deb >/dev/null 2>&1; cmp -s '$folder/skyvane.ini' '$work/preset.ini'"

echo "package: $passes passed, $failures failed"
[ "$failures" -eq 0 ]
