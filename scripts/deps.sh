#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need,
# only those that are missing.
set -euo pipefail
pkgs=(cmake make g++ clang libgtest-dev googletest libbenchmark-dev
      libfltk1.3-dev xvfb xdotool x11-utils imagemagick stress-ng
      dpkg-dev)  # dpkg-shlibdeps for the Debian package
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
