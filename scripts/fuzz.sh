#!/usr/bin/env bash
# Fuzzes every libFuzzer target for a bounded time, when clang is installed:
#   scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 60)
# Each target starts from a scratch copy of its corpus in fuzz/corpus/<target>.
# A crash, leak or failed check fails the run with libFuzzer's report (the
# input in hex and base64). Without clang it says so and succeeds: the corpora
# are still replayed by every scripts/test.sh run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: clang++ is not installed (scripts/deps.sh --with-fuzz): bounded fuzzing skipped"
  exit 0
fi
targets=(dictionary favorites protocol servers settings_file settings_values)
cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DKOLU_FUZZ=ON \
      -DKOLU_GUI=OFF -DKOLU_TESTS=OFF >/dev/null
cmake --build build-fuzz --target "${targets[@]/%/_fuzz}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in "${targets[@]}"; do
  mkdir -p "$work/$target"
  cp fuzz/corpus/"$target"/* "$work/$target/"
  log="$work/$target.log"
  echo "== ${target}_fuzz: ${seconds} s"
  if ! build-fuzz/fuzz/"${target}"_fuzz -max_total_time="$seconds" -max_len=4096 \
        -print_final_stats=1 -artifact_prefix="$work/" "$work/$target" >"$log" 2>&1; then
    tail -n 80 "$log"
    echo "fuzz.sh: ${target}_fuzz failed"
    exit 1
  fi
  grep -E "^#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss_mb" "$log" || true
done
