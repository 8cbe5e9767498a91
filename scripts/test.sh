#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
#   scripts/test.sh                     # normal build in build/
#   QUARROW_SANITIZE=thread scripts/test.sh     # ThreadSanitizer build in build-thread/
#   QUARROW_SANITIZE=address scripts/test.sh    # ASan+UBSan build in build-address/
#   QUARROW_TEST_AREAS="core decoding" scripts/test.sh   # only these folders of tests/
# Sanitizer builds leave the benchmarks out: their figures would mean nothing.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh"

sanitize=${QUARROW_SANITIZE:-}
areas=${QUARROW_TEST_AREAS:-}
build="$here/build${sanitize:+-$sanitize}"
bench=ON
[ -z "$sanitize" ] || bench=OFF
# The application is built only when its tests (folders app_*) are wanted.
app=ON
if [ -n "$areas" ] && [[ " $areas" != *" app_"* ]]; then app=OFF; fi
cmake -S "$here" -B "$build" -G Ninja -DQUARROW_SANITIZE="$sanitize" -DQUARROW_BUILD_BENCH="$bench" \
  -DQUARROW_BUILD_APP="$app" -DQUARROW_TEST_AREAS="${areas// /;}"
cmake --build "$build" --parallel "$(nproc)"

export QT_QPA_PLATFORM=offscreen
if [ "$sanitize" = thread ]; then
  # JavaScriptCore and Qt are not instrumented: their internal frames are
  # suppressed (never ours). JavaScriptCore stops runaway scripts by signal,
  # which TSan delays until the next intercepted call; polling traps avoid it.
  # The viewer tests start a program from a threaded process (fork).
  export TSAN_OPTIONS="${TSAN_OPTIONS:-second_deadlock_stack=1 die_after_fork=0 suppressions=$here/tests/tsan.supp}"
  export JSC_usePollingTraps=true
fi
cd "$build"
ctest --output-on-failure --parallel "$(nproc)" --timeout 300
