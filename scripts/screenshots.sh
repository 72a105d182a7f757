#!/usr/bin/env bash
# Takes a picture of every window of the four windowed programs under Xvfb, into docs/images/
# (the guide shows them). Installs what is missing, Xvfb included, and builds the window gallery.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
if ! command -v xvfb-run >/dev/null || ! command -v xauth >/dev/null; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends xvfb xauth >/dev/null
fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target windowshots
mkdir -p docs/images
# 96 dots per inch: the windows' twips become the pixels they were drawn with.
unset QT_QPA_PLATFORM
xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24 -dpi 96" \
    build/bin/windowshots docs/images
