#!/usr/bin/env bash
# Command 1: installs what is missing, builds the client and starts it.
#   scripts/run.sh --local   the same against a private ngIRCd on 127.0.0.1, in a
#                            profile of its own (see scripts/run_local.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOLU_TESTS=OFF >/dev/null
cmake --build build --target kolu
if [[ "${1:-}" == "--local" ]]; then
  shift
  exec scripts/run_local.sh build/kolu "$@"
fi
exec build/kolu "$@"
