#!/bin/sh
# Sets up a fresh Debian 12 machine, builds Pagewick with warnings as errors
# and runs every test headless.
set -eu
cd "$(dirname "$0")/.."
./tools/setup-debian.sh
# Every C++ file keeps the project's format (.clang-format).
find src tests bench \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 clang-format --dry-run --Werror
cmake -S . -B build -DPAGEWICK_WERROR=ON
cmake --build build -j"$(nproc)"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j2
