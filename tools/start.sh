#!/bin/sh
# Sets up a fresh Debian 12 machine, builds Pagewick and starts it.
set -eu
cd "$(dirname "$0")/.."
./tools/setup-debian.sh
cmake -S . -B build
cmake --build build -j"$(nproc)"
exec ./build/pagewick "$@"
