#!/bin/sh
# Sets up a fresh Debian 12 machine, builds Pagewick with warnings as errors
# and runs every test headless, then once more built with AddressSanitizer and
# UndefinedBehaviorSanitizer (memory errors and undefined behaviour end the
# test that meets them).
set -eu
cd "$(dirname "$0")/.."
./tools/setup-debian.sh
# Every C++ file keeps the project's format (.clang-format).
find src tests bench \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 clang-format --dry-run --Werror
cmake -S . -B build -DPAGEWICK_WERROR=ON
cmake --build build -j"$(nproc)"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j2
cmake -S . -B build-asan -DPAGEWICK_ASAN=ON -DCMAKE_BUILD_TYPE=Debug
cmake --build build-asan -j"$(nproc)"
ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen ctest --test-dir build-asan --output-on-failure -j2
