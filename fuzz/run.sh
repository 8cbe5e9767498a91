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
leaks=1
# JavaScriptCore frees its objects at a later collection, so libFuzzer's
# per-input leak check scans the whole heap after almost every script input
# (three quarters of the time: about 70 instead of 5000 inputs a second).
# Such targets fuzz without it and replay their corpus once with it after.
case "$target" in fuzz_parameter_substitution | fuzz_script_isolation) leaks=0 ;; esac
QT_QPA_PLATFORM=offscreen "$build/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
  -detect_leaks="$leaks" "$corpus" $seeds
if [ "$leaks" = 0 ]; then
  QT_QPA_PLATFORM=offscreen "$build/fuzz/$target" -runs=0 "$corpus"
fi
