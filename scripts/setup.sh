#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that are missing.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  libsimdjson-dev libicu-dev
  qt6-base-dev
  libxcb1-dev libxcb-xinput-dev libxcb-shape0-dev libxcb-xfixes0-dev
  fonts-dejavu-core fonts-wqy-microhei
  libgtest-dev libgmock-dev libbenchmark-dev
  xdg-utils dbus-daemon
  xvfb xcompmgr openbox i3-wm tint2 picom trayer xautomation xdotool x11-utils x11-xserver-utils
  imagemagick
  sway xwayland foot grim libwayland-dev
  clang libclang-rt-14-dev python3
  dpkg-dev desktop-file-utils appstream
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
