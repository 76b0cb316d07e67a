#!/usr/bin/env bash
# Command 2: installs what is missing, builds everything and runs every test.
#   scripts/test.sh               all tests
#   scripts/test.sh --sanitize    the same under AddressSanitizer + UBSan (build-asan/)
#   Extra arguments go to ctest, e.g. scripts/test.sh -L logic  or  -R Registry
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-test
options=(-DKOLU_TESTS=ON -DKOLU_BENCH=ON)
if [[ "${1:-}" == "--sanitize" ]]; then
  shift
  build=build-asan
  options=(-DKOLU_TESTS=ON -DKOLU_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp"
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi

scripts/deps.sh
cmake -S . -B "$build" -G Ninja "${options[@]}" >/dev/null
cmake --build "$build"
cd "$build"
ctest --output-on-failure --timeout 300 -j2 "$@"
