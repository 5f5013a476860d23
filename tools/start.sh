#!/bin/sh
# Sets up a fresh Debian 12 machine, builds Pagewick and starts it.
set -eu
cd "$(dirname "$0")/.."
./tools/setup-debian.sh
cmake -S . -B build
cmake --build build -j"$(nproc)"
# Without arguments, open the demo site (made on first use): configuration 1
# publishes by file:// into build/demo/site, no server needed.
if [ "$#" -eq 0 ]; then
    ./tools/make-demo.sh build/demo
    exec ./build/pagewick --dir build/demo/program
fi
exec ./build/pagewick "$@"
