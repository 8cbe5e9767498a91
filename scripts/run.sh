#!/usr/bin/env bash
# Installs what is missing, builds Quarrow and starts it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh"
cmake -S "$here" -B "$here/build" -G Ninja -DQUARROW_BUILD_TESTS=OFF -DQUARROW_BUILD_BENCH=OFF
cmake --build "$here/build" --parallel "$(nproc)"
if [ -x "$here/build/app/quarrow" ]; then
  exec "$here/build/app/quarrow" "$@"
fi
echo "The engine library is built; the application window arrives with a later change."
