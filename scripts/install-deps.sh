#!/usr/bin/env bash
# Installs every Debian 12 package the project builds, tests and demonstrates with.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

packages=(
  build-essential cmake pkg-config clang libclang-rt-14-dev
  libfltk1.3-dev libssl-dev libpcre2-dev rapidjson-dev libqrencode-dev libp11-kit-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  openssl softhsm2 opensc
  xvfb x11-utils x11-apps xdotool imagemagick fonts-dejavu-core
  squid apache2-utils
  xmlsec1 libxml2-utils zbar-tools unzip zip valgrind python3
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages: ${missing[*]}; run as root to install them" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
# squid starts a system instance on install; the tests run private ones.
if command -v systemctl >/dev/null 2>&1; then systemctl stop squid >/dev/null 2>&1 || true; fi
service squid stop >/dev/null 2>&1 || true
echo "install-deps: installed ${missing[*]}"
