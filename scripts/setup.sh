#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Kakiva needs.
# Safe to run again: it asks apt only for what is missing.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libbenchmark-dev
  fonts-ipafont-gothic
  python3 python3-pyftpdlib python3-openssl
  openssl vsftpd
  curl lftp
  ripgrep
  librsvg2-bin
  dpkg-dev file desktop-file-utils appstream
  libssh-dev openssh-server openssh-client
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
