#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need.
# Idempotent: a warm machine that already has them skips apt-get entirely.
set -euo pipefail

packages=(
  build-essential cmake pkg-config ninja-build
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libcurl4-openssl-dev libssl-dev libzip-dev zlib1g-dev
  mdbtools mdbtools-dev libglib2.0-dev
  python3-pyftpdlib python3-openssl
  vsftpd libpam-pwdfile
  fonts-wine fonts-liberation2
  zip unzip curl
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}; run this script as root to install them." >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
# vsftpd is there for the tests, which start it themselves: its package must neither start the
# service nor leave it to start at boot. A policy-rc.d of the machine's own is kept.
policy=/usr/sbin/policy-rc.d
if [[ " ${missing[*]} " == *" vsftpd "* && ! -e $policy ]]; then
  printf '#!/bin/sh\nexit 101\n' >"$policy"
  chmod 755 "$policy"
  trap 'rm -f "$policy"' EXIT
fi
apt-get update
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
if [[ " ${missing[*]} " == *" vsftpd "* ]]; then
  if [ -d /run/systemd/system ]; then systemctl disable --now vsftpd >/dev/null 2>&1 || true; fi
  update-rc.d vsftpd disable >/dev/null 2>&1 || true
fi
