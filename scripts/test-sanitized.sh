#!/usr/bin/env bash
# CI's AddressSanitizer and UndefinedBehaviorSanitizer run, after the normal
# suite: builds in build-address/ and runs the engine's tests. The session's
# tests would need the whole application built a second time, which takes CI
# past half an hour on a fresh 2-core machine without a compiler cache; run
# them (or every folder) by naming the folders:
#   QUARROW_TEST_AREAS="app_session" bash scripts/test-sanitized.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export QUARROW_SANITIZE=address
export QUARROW_TEST_AREAS="${QUARROW_TEST_AREAS:-core decoding connection automation storage highlighting}"
exec bash "$here/scripts/test.sh"
