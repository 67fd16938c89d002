#!/usr/bin/env bash
# Installs every Debian package rowpour needs to build, test and run its demo.
# Idempotent; run as root on Debian 12. With --check it only tells whether
# anything is missing (exit status 1), without root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libzip-dev libexpat1-dev libfreexl-dev
  libsqlite3-dev sqlite3
  libxlsxwriter-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth
  fonts-dejavu-core
  locales
  python3
)

# The packages and locales not there yet, one a line.
missing() {
  local p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || echo "$p"
  done
  locale -a 2>/dev/null | grep -qi '^ru_RU.utf8$' || echo "locale ru_RU.UTF-8"
  locale -a 2>/dev/null | grep -qi '^en_US.utf8$' || echo "locale en_US.UTF-8"
}

# --check: succeeds when everything is there; needs no root.
if [ "${1:-}" = --check ]; then
  absent=$(missing)
  [ -z "$absent" ] && exit 0
  echo "setup.sh: not installed:" $absent >&2
  exit 1
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "setup.sh: run as root (it installs Debian packages)" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends "${packages[@]}"

# The tests pin ru_RU and en_US locales; make sure they exist.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU.utf8$' || ! locale -a 2>/dev/null | grep -qi '^en_US.utf8$'; then
  sed -i -E 's/^# *(ru_RU.UTF-8 UTF-8)/\1/; s/^# *(en_US.UTF-8 UTF-8)/\1/' /etc/locale.gen
  locale-gen
fi
