#!/usr/bin/env bash
# Runs a command against a real Secret Service of its own: a private D-Bus
# session bus with GNOME Keyring on it, unlocked, in a temporary home, so
# the player's own keyring is never touched. The whole run is bounded in
# time, and the keyring, the bus and the home are gone when it ends.
#   with-keyring.sh COMMAND [ARGUMENTS...]
set -euo pipefail
if [ "${1:-}" = --on-bus ]; then
  shift
  printf 'test-keyring' | gnome-keyring-daemon --foreground --unlock --components=secrets >/dev/null 2>&1 &
  daemon=$!
  trap 'kill "$daemon" 2>/dev/null || true; wait "$daemon" 2>/dev/null || true' EXIT
  for _ in $(seq 100); do
    if dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
      org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null | grep -q 'boolean true'; then
      break
    fi
    sleep 0.1
  done
  "$@"
  exit
fi
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -m 700 "$home/runtime"
export HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/runtime"
unset DISPLAY GNOME_KEYRING_CONTROL
timeout --kill-after=5 120 dbus-run-session -- "$0" --on-bus "$@"
