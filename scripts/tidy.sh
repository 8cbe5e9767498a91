#!/usr/bin/env bash
# Runs clang-tidy (checks in .clang-tidy) over the project's own sources.
#   scripts/tidy.sh                 # core/, engine/, app/ and tools/
#   scripts/tidy.sh engine/decoding # only files under these paths
# Builds its own compile database in build-tidy/ without precompiled headers
# (clang cannot read GCC's). Exits non-zero when a check reports something.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh"
if ! command -v run-clang-tidy >/dev/null; then
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends clang-tidy
fi

build="$here/build-tidy"
cmake -S "$here" -B "$build" -G Ninja -DQUARROW_PRECOMPILE_HEADERS=OFF -DQUARROW_BUILD_BENCH=OFF >/dev/null

paths=("$@")
[ ${#paths[@]} -gt 0 ] || paths=(core engine app tools)
files=()
for p in "${paths[@]}"; do
  while IFS= read -r f; do files+=("$here/$f"); done < <(cd "$here" && git ls-files "$p" | grep '\.cpp$')
done
output=$(run-clang-tidy -quiet -p "$build" "${files[@]}" 2>/dev/null | grep -E '^/.*(warning|error):' | sort -u || true)
if [ -n "$output" ]; then
  echo "$output"
  echo "clang-tidy: $(echo "$output" | wc -l) findings" >&2
  exit 1
fi
echo "clang-tidy: no findings in ${#files[@]} files"
