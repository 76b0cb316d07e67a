#!/usr/bin/env bash
# Command 1: installs what is missing, builds the client and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOLU_TESTS=OFF >/dev/null
cmake --build build --target kolu
exec build/kolu "$@"
