#!/usr/bin/env bash
# Installs the Debian packages the Windows build needs: the mingw-w64 cross compilers (posix
# threads), wine64 to run the programs and tests, nsis for the installer.
#   deps.sh         building with a finished SDK
#   deps.sh --sdk   also what scripts/windows-sdk.sh needs to build the SDK from source
# Idempotent: a machine that has everything skips apt-get.
set -euo pipefail
cd "$(dirname "$0")/../.."

packages=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev wine64 wine nsis xz-utils file fonts-dejavu-core
)
if [ "${1:-}" = --sdk ]; then
  packages+=(mingw-w64-tools dpkg-dev perl python3 autoconf automake libtool gawk make)
fi

bash scripts/install-deps.sh

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}; run this script as root to install them." >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
# A fresh machine has no package lists yet; a warm one may have stale ones.
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}" \
  || { apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"; }
