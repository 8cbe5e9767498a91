#!/usr/bin/env bash
# Builds the fuzz targets with clang (ASan+UBSan) and runs one of them.
#   fuzz/run.sh fuzz_ansi_decoder 600      # seconds
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$here/build-fuzz}
target=${1:?usage: fuzz/run.sh TARGET [SECONDS]}
seconds=${2:-60}
CC=clang CXX=clang++ cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUARROW_BUILD_FUZZ=ON -DQUARROW_BUILD_TESTS=OFF -DQUARROW_BUILD_BENCH=OFF -DQUARROW_BUILD_APP=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target "$target"
corpus="$build/corpus/$target"
mkdir -p "$corpus"
seeds="$here/fuzz/seeds/$target"
[ -d "$seeds" ] || seeds=
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$here/fuzz/lsan.supp}"
QT_QPA_PLATFORM=offscreen "$build/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 "$corpus" $seeds
