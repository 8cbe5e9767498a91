#!/usr/bin/env bash
# CI's AddressSanitizer and UndefinedBehaviorSanitizer run, after the normal
# suite: builds in build-address/ and runs the engine's and the session's
# tests. The other application folders would take CI past half an hour on a
# fresh 2-core machine without a compiler cache; run them (or any folders)
# by naming them:
#   QUARROW_TEST_AREAS="app_views app_scripting" bash scripts/test-sanitized.sh
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export QUARROW_SANITIZE=address
export QUARROW_TEST_AREAS="${QUARROW_TEST_AREAS:-core decoding connection automation storage highlighting app_session}"
exec bash "$here/scripts/test.sh"
