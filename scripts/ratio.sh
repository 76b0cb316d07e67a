#!/usr/bin/env bash
# Prints the test suite's size against the product's (non-blank C++ lines as git
# tracks them) and fails when the tests pass LIMIT percent (default 40).
#   scripts/ratio.sh [LIMIT]
set -euo pipefail
cd "$(dirname "$0")/.."
limit=${1:-40}
count() {
  git ls-files -- "$@" | grep -E '\.(cpp|h)$' | xargs -r cat | grep -cv '^[[:space:]]*$'
}
product=$(count app platform protocol connection commands settings history servers completion ui gui options resources)
tests=$(count tests)
tenths=$((1000 * tests / product))
echo "ratio.sh: tests ${tests} lines, product ${product} lines: $((tenths / 10)).$((tenths % 10))% (limit ${limit}%)"
[ $((100 * tests)) -le $((limit * product)) ]
