#!/bin/sh
# Sets up a fresh Debian 12 machine, builds Pagewick with warnings as errors
# and runs every test headless.
set -eu
cd "$(dirname "$0")/.."
./tools/setup-debian.sh
cmake -S . -B build -DPAGEWICK_WERROR=ON
cmake --build build -j"$(nproc)"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j2
