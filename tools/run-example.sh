#!/bin/sh
# Installs what is needed, builds the engine, puts the small example set-up
# (identity, streams, rules) into /tmp and runs the engine in the foreground.
# Stop it with ctrl-c.
set -e
cd "$(dirname "$0")/.."
./tools/install-deps.sh
cmake -S . -B build -DCORVANTA_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)"
cp examples/serial.dat examples/config.dat examples/rules.dat /tmp/
exec ./build/corvanta-engine
