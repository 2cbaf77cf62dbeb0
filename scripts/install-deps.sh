#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing KOMA need,
# if any of them is missing. Extra package names may be given as arguments.
set -euo pipefail
# After the compilers and libraries: the X server and the font; what the
# install and package tests check with (desktop entry, metainfo, file type,
# manual pages, the windows); what builds the Debian package and checks it
# (devscripts has hardening-check); what the screenshot script paints the
# screen's background and writes the PNG with.
packages=(build-essential cmake pkg-config libgtk2.0-dev libgtest-dev
          xvfb xauth x11-utils fonts-ipafont-gothic clang
          desktop-file-utils appstream shared-mime-info libglib2.0-bin groff-base file
          xdotool x11-apps
          dpkg-dev debhelper lintian devscripts
          imagemagick x11-xserver-utils
          "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
