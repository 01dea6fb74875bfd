#!/usr/bin/env bash
# Installs the Debian packages of the named lists in scripts/packages/ (default: build, what
# building and running Kakiva needs). Safe to run again: it asks apt only for what is missing.
#   scripts/setup.sh                          build and run
#   scripts/setup.sh build test bench package everything the tests and benchmarks need
# A server that a test list brings is kept from starting while it is installed and
# left disabled afterwards, so installing it opens no port; the tests start their own.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
lists=("$@")
[ ${#lists[@]} -gt 0 ] || lists=(build)

packages=()
for list in "${lists[@]}"; do
  file=$top/scripts/packages/$list.txt
  [ -f "$file" ] || { echo "No package list $file" >&2; exit 2; }
  while read -r package; do
    packages+=("$package")
  done < <(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$file")
done

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    [[ " ${missing[*]} " == *" $package "* ]] || missing+=("$package")
  fi
done
[ ${#missing[@]} -gt 0 ] || exit 0

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

# The services of the packages installed now (and only those: a server the user had before
# stays as it was). A policy-rc.d that refuses every start keeps them from running at once.
services_of_new_packages() {
  for package in "${missing[@]}"; do
    dpkg-query -L "$package" 2>/dev/null |
      grep -E '^/(lib|usr/lib)/systemd/system/[^/]+\.(service|socket)$' | xargs -r -n1 basename
  done | sort -u
}

policy=/usr/sbin/policy-rc.d
own_policy=0
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\n# Kakiva setup: no service starts while packages are installed.\nexit 101\n' |
    "${sudo_cmd[@]}" tee "$policy" >/dev/null
  "${sudo_cmd[@]}" chmod 755 "$policy"
  own_policy=1
fi
restore_policy() { if [ "$own_policy" -eq 1 ]; then "${sudo_cmd[@]}" rm -f "$policy"; fi; }
trap restore_policy EXIT

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"

for service in $(services_of_new_packages); do
  "${sudo_cmd[@]}" systemctl disable --now "$service" >/dev/null 2>&1 ||
    "${sudo_cmd[@]}" systemctl disable "$service" >/dev/null 2>&1 || true
  name=${service%.*}
  if [ -x "/etc/init.d/$name" ]; then
    "${sudo_cmd[@]}" update-rc.d "$name" disable >/dev/null 2>&1 || true
  fi
done
