#!/bin/sh
# Installs the Debian 12 packages that the project needs:
#   ./scripts/install-deps.sh demo   what building the programs and the simulator needs
#   ./scripts/install-deps.sh        that and what the tests, linters and packaging need
# Does nothing when they are all present; needs root (or sudo) otherwise.
set -eu

demo_packages="build-essential cmake ninja-build pkg-config
  libusb-1.0-0-dev libudev-dev libumockdev-dev umockdev"

test_packages="git googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev clang-format-14 clang-tidy-14 shellcheck
  usbutils xxd valgrind file man-db groff-base dpkg-dev locales
  prometheus prometheus-node-exporter curl python3 python3-pytest python3-venv dh-python
  cups cups-daemon cups-client cups-ipp-utils libcups2-dev python3-mypy flake8
  debhelper fakeroot lintian debootstrap"

case ${1:-all} in
  demo) packages=$demo_packages ;;
  all) packages="$demo_packages $test_packages" ;;
  *)
    echo "usage: $0 [demo]" >&2
    exit 2
    ;;
esac

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
# shellcheck disable=SC2086 # one package name a word
$as_root apt-get install -y -q --no-install-recommends $missing
