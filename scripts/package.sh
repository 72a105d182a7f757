#!/usr/bin/env bash
# Builds the Debian package of the five programs into dist/ (installs what is missing first).
# The package installs into /opt/skyvane; its version is project(VERSION) of the top CMakeLists.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_INSTALL_PREFIX=/opt/skyvane -DSKYVANE_BUILD_TESTS=OFF -DSKYVANE_PACKAGE_DEB=ON >/dev/null
cmake --build build-package -j"$(nproc)"
mkdir -p dist
(cd build-package && cpack -G DEB)
ls -l dist/*.deb
