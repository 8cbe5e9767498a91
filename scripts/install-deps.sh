#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Quarrow
# needs. Idempotent: packages already present are skipped, and the package
# lists are refreshed at most once per run, only when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools
  libjavascriptcoregtk-4.1-dev libicu-dev zlib1g-dev
  libssl-dev ca-certificates
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  tinymux
  locales
  fonts-dejavu-core
  dbus
  librsvg2-bin desktop-file-utils appstream man-db lintian
  util-linux
  libsecret-1-dev gnome-keyring dbus-session-bus-common
  xvfb xauth at-spi2-core python3-pyatspi
  libspeechd-dev speech-dispatcher
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
