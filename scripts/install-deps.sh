#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and tests need that this machine lacks.
set -euo pipefail
packages=(
  cmake ninja-build g++ clang clang-tidy libclang-rt-14-dev googletest
  g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64
  wine wine64 xvfb xdotool x11-utils imagemagick
  nsis openssl libssl-dev osslsigncode ca-certificates python3 iproute2 util-linux curl time
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Run this as root (or install them with sudo apt-get install ${missing[*]})." >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# With recommends: Wine's GnuTLS (its TLS), its X11 extension libraries (the window
# tests' pixels) and the `wine` launcher itself come that way.
apt-get install -y -qq "${missing[@]}" >/dev/null
