#!/bin/sh
# Installs the Debian 12 packages that building and testing need.
# Does nothing when they are all present; needs root (or sudo) otherwise.
set -eu

packages="build-essential cmake ninja-build pkg-config git
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev
  libusb-1.0-0-dev libudev-dev libumockdev-dev umockdev usbutils xxd valgrind
  file man-db groff-base dpkg-dev clang-format-14 clang-tidy-14 shellcheck locales
  prometheus prometheus-node-exporter curl python3
  cups cups-daemon cups-client cups-ipp-utils
  debhelper fakeroot lintian debootstrap"

missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
as_root=""
[ "$(id -u)" -eq 0 ] || as_root="sudo"
export DEBIAN_FRONTEND=noninteractive
$as_root apt-get update -q
# shellcheck disable=SC2086
$as_root apt-get install -y -q --no-install-recommends $missing
