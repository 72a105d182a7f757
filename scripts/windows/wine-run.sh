#!/bin/sh
# Runs a Windows program of this SDK under wine64: the SDK's bin/ (DLLs) goes on the
# DLL search path, wine's chatter is off, and a private wine prefix is made on first use.
sdk=$(cd "$(dirname "$0")/../.." && pwd)
: "${WINEPREFIX:=/tmp/skyvane-wine-$(id -u)}"
: "${WINEDEBUG:=-all}"
: "${QT_QPA_PLATFORM:=offscreen}"
# Without a console window Qt sends qDebug() and Qt Test's plain output to OutputDebugString,
# which nobody reads under wine: make it write to stderr/stdout instead.
: "${QT_ASSUME_STDERR_HAS_CONSOLE:=1}"
WINEPATH="Z:$(echo "$sdk/bin" | tr / '\\')${WINEPATH:+;$WINEPATH}"
export WINEPREFIX WINEDEBUG WINEPATH QT_QPA_PLATFORM QT_ASSUME_STDERR_HAS_CONSOLE
wine=wine
[ -x /usr/lib/wine/wine64 ] && wine=/usr/lib/wine/wine64   # Debian keeps it off PATH
[ -d "$WINEPREFIX" ] || WINEDLLOVERRIDES="mscoree,mshtml=" "$wine" wineboot -i >/dev/null 2>&1
# wine does not pass QT_* variables from the Unix environment to Windows programs, so they
# go into the prefix's HKCU\Environment, rewritten only when they change.
qtenv=$(env | grep '^QT_' | sort)
if [ "$qtenv" != "$(cat "$WINEPREFIX/.skyvane-qt-env" 2>/dev/null)" ]; then
    echo "$qtenv" | while IFS='=' read -r k v; do
        [ -n "$k" ] && "$wine" reg add 'HKCU\Environment' /v "$k" /d "$v" /f >/dev/null 2>&1
    done
    echo "$qtenv" > "$WINEPREFIX/.skyvane-qt-env"
fi
# wine's service processes (started on demand by whichever program needs them first) inherit
# that program's output and outlive it. When the output is a pipe, its reader (CTest) would wait
# for them until they end, long after the program: the program writes to a file, passed on once
# it has ended.
if [ -p /dev/stdout ] || [ -p /dev/stderr ]; then
    out=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX")
    status=0
    "$wine" "$@" >"$out" 2>&1 || status=$?
    cat "$out"
    rm -f "$out"
    exit $status
fi
exec "$wine" "$@"
