#!/bin/sh
# Builds kolu_screenshots in build-shots (Release, with the window) and writes
# the PNGs of the main window at scale 1 and 2 to docs/screenshots/, or to the
# folder given. The pictures are generated, not kept in the repository.
# With --measure as the argument it prints start-up time and memory instead.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build="$root/build-shots"
out=${1:-"$root/docs/screenshots"}

cmake -S "$root" -B "$build" -G Ninja -DKOLU_GUI=ON -DKOLU_BENCH=ON \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target kolu_screenshots

tool=$(find "$build" -name kolu_screenshots -type f -perm -u+x | head -n 1)
if [ "$out" = "--measure" ]; then
    # The tool counts its start-up from this wall-clock time.
    KOLU_LAUNCHED_NS=$(date +%s%N) exec "$tool" --measure
fi
mkdir -p "$out"
"$tool" "$out"
