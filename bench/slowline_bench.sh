#!/usr/bin/env bash
# Whole nights of the real vanelet and skyvane (offscreen) over emulated slow lines: the store
# and the office are two network namespaces joined by a user-space line (bench/linkemu.py: rate,
# delay, jitter, loss, reordering, queue length and outages, each direction on its own; the
# kernel here has no netem). The office runs the session server and an FTP server; the Mission
# Pack and the return pack are a few MB of random bytes. Per night: delivered or not (the office
# has the return pack byte for byte, from one upload), the night's time against the time its
# bytes need at the line's rate, skyvane's largest gap between keep-alives, whether the client
# ended by itself, and where the store's reports are. Hours in all, so not part of CI or of
# bench/run.sh; as root (namespaces). Exit status 1 when a night was not delivered in the end
# or a client had to be killed.
#
#   bash bench/slowline_bench.sh                      every line, both clients (about 3 hours)
#   PROFILES=deepqueue,slowreader CLIENTS=skyvane SCALE=0.5 bash bench/slowline_bench.sh
#
# PROFILES: dialup deepqueue slowuplink dsl mobile outage30 outage150 linedrop slowreader
# (bench/slowline.py describes each); SCALE multiplies the pack sizes; WORK is the folder for
# the logs (default /tmp/skyvane-slowline-...). BUILD_DIR as in bench/common.sh; with
# BENCH_BUILT=1 the clients already built there are used as they are, and SESSIONSERVER names
# a session server of its own (one that knows --address). XVFB=:N runs skyvane on an Xvfb display
# of that number instead of offscreen, where bench/repaintprobe.py checks every 2 s that its
# window repaints (repaint.log in each night's folder).
set -euo pipefail

# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"
if [ "$(id -u)" -ne 0 ]; then
    echo "bench/slowline_bench.sh runs as root (network namespaces)" >&2
    exit 1
fi
[ "${BENCH_BUILT:-}" = 1 ] || bash "$BENCH_ROOT/scripts/install-deps.sh" >/dev/null
bench_install python3-pyftpdlib iproute2
[ -z "${XVFB:-}" ] || bench_install xvfb python3-xlib
bench_build vanelet skyvane svGetData sessionserver

args=(--bin "$BUILD_DIR/bin" --scale "${SCALE:-1}")
[ -z "${PROFILES:-}" ] || args+=(--profiles "$PROFILES")
[ -z "${CLIENTS:-}" ] || args+=(--clients "$CLIENTS")
[ -z "${WORK:-}" ] || args+=(--work "$WORK")
[ -z "${SESSIONSERVER:-}" ] || args+=(--sessionserver "$SESSIONSERVER")
[ -z "${XVFB:-}" ] || args+=(--xvfb "$XVFB")
exec /usr/bin/python3 "$BENCH_ROOT/bench/slowline.py" "${args[@]}"
