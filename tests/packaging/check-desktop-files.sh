#!/usr/bin/env bash
# The files a desktop reads about Quarrow pass the freedesktop and Debian
# checks: the launcher entry (desktop-file-validate), the AppStream metadata
# (appstreamcli, without network) and the manual pages (man's own warnings).
#   check-desktop-files.sh SOURCE_DIR
set -euo pipefail
source=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in desktop-file-validate appstreamcli man; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/install-deps.sh installs it)"
done

desktop="$source/app/resources/quarrow.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate refuses $desktop"
grep -qx 'MimeType=x-scheme-handler/telnet;' "$desktop" || fail "the launcher does not handle telnet:// links"
grep -qx 'Exec=quarrow %u' "$desktop" || fail "the launcher does not pass the link to quarrow"

appstreamcli validate --no-net "$source/app/resources/io.github.quarrow.Quarrow.metainfo.xml" ||
  fail "appstreamcli refuses the metainfo file"

for page in "$source"/docs/man/*.1; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man warns about $page: $warnings"
done
echo "desktop files OK"
