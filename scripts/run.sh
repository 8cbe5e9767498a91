#!/usr/bin/env bash
# Installs what is missing, builds Quarrow and starts it. The program is
# built in its own folder (build-run/, without tests and benchmarks), so it
# never changes the settings of the test build in build/.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh"
build="$here/build-run"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUARROW_BUILD_TESTS=OFF -DQUARROW_BUILD_BENCH=OFF
cmake --build "$build" --parallel "$(nproc)" --target quarrow
exec "$build/app/quarrow" "$@"
