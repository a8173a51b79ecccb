#!/bin/sh
# Builds the Debian packages the way Debian does and checks them:
#   scripts/package-check.sh [STEP...]      (default: build lint root)
#
#   build  dpkg-buildpackage (tests off: the suite runs on its own) from a copy
#          of the work tree, so that nothing lands outside the build dir
#   lint   lintian: any error or warning fails
#   root   a throwaway Debian 12 root (debootstrap minbase, apt fetches the
#          dependencies from Debian) where the packages are installed with apt
#          and the programs run on the simulated printer
#   remove-root  unmount and remove the root a killed run left behind
#
# Output under $ORVY_BUILD_DIR/packages (default build/default): debs/ holds
# the packages. The root step needs root rights and network access; it caches
# the downloaded base system there as a tarball.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd -P)
# Resolved, so that the paths compare equal to those in /proc/mounts.
out=$(realpath -m "${ORVY_BUILD_DIR:-$top/build/default}/packages")
debs=$out/debs

say() { printf '# %s\n' "$*"; }
die() {
  printf '! %s\n' "$*" >&2
  exit 1
}

# ---- build -------------------------------------------------------------------

build() {
  version=$(dpkg-parsechangelog -l "$top/debian/changelog" -S Version)
  src=$out/src/orvy-toolkit-${version%-*}
  rm -rf "$out/src" "$debs"
  mkdir -p "$src" "$debs"
  # The work tree without what git ignores (the build dirs).
  (cd "$top" && git ls-files -z --cached --others --exclude-standard | tar --null -T - --ignore-failed-read -cf -) | tar -xf - -C "$src"

  say "dpkg-buildpackage in $src"
  start=$(date +%s)
  options="nocheck ${DEB_BUILD_OPTIONS:-}"
  case $options in *parallel=*) ;; *) options="$options parallel=$(nproc)" ;; esac
  (cd "$src" && DEB_BUILD_OPTIONS=$options DEB_BUILD_PROFILES=nocheck dpkg-buildpackage -us -uc -b) \
    >"$out/build.log" 2>&1 ||
    {
      tail -n 60 "$out/build.log"
      die "dpkg-buildpackage failed (log: $out/build.log)"
    }
  # dpkg-buildpackage writes next to the source tree.
  mv "$out"/src/*.deb "$out"/src/*.changes "$out"/src/*.buildinfo "$debs"/
  rm -rf "$out/src"
  say "built in $(($(date +%s) - start)) s:"
  ls "$debs"
}

need_debs() {
  ls "$debs"/*.changes >/dev/null 2>&1 || die "no packages in $debs: run the build step first"
}

# ---- lint --------------------------------------------------------------------

lint() {
  need_debs
  say "lintian $(lintian --version)"
  lintian --fail-on error,warning --display-info "$debs"/*.changes
}

# ---- root --------------------------------------------------------------------

root=$out/root

mounts_below() {  # mounts_below DIR: mount points at or below DIR, last mounted first
  awk -v dir="$1" '$2 == dir || index($2, dir "/") == 1 { print $2 }' /proc/mounts | tac
}

# Unmount, then remove: a recursive delete through a bound /dev would wipe the
# machine's own. A root that still has a mount inside is left alone.
remove_root() {
  [ -e "$root" ] || return 0
  for mount in $(mounts_below "$root"); do
    umount "$mount" 2>/dev/null || umount -l "$mount" || true
  done
  left=$(mounts_below "$root")
  if [ -n "$left" ]; then
    printf '! refusing to remove %s: still mounted inside it:\n%s\n' "$root" "$left" >&2
    return 1
  fi
  rm -rf --one-file-system "$root"
}

in_root() {
  chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root TMPDIR=/tmp \
    LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"
}

bookworm_mirror() {  # the host's own Debian 12 mirror, from its deb822 sources
  awk '/^$/ { uri = "" } /^URIs:/ { uri = $2 }
       /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == "bookworm" && uri != "") { print uri; exit } }' \
    /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n 1
}

root_check() {
  need_debs
  [ "$(id -u)" -eq 0 ] || die "the root step needs root rights (debootstrap, mount, chroot)"
  case $root in *[!A-Za-z0-9/._+-]*) die "unusual characters in $root" ;; esac
  mirror=$(bookworm_mirror)
  mirror=${mirror:-http://deb.debian.org/debian}
  start=$(date +%s)

  remove_root
  trap 'remove_root' EXIT
  trap 'exit 130' INT TERM HUP

  # The base system as a tarball: later runs skip the download.
  tarball=$out/bookworm-minbase.tgz
  if [ ! -f "$tarball" ]; then
    say "debootstrap: downloading the base system from $mirror"
    rm -rf "$out/tarball-work"
    debootstrap --variant=minbase --make-tarball="$tarball.part" bookworm "$out/tarball-work" "$mirror" \
      >"$out/debootstrap.log" 2>&1 || {
      tail -n 30 "$out/debootstrap.log"
      die "debootstrap --make-tarball failed"
    }
    rm -rf "$out/tarball-work"
    mv "$tarball.part" "$tarball"
  fi
  say "debootstrap --variant=minbase bookworm into $root"
  debootstrap --variant=minbase --unpack-tarball="$tarball" bookworm "$root" "$mirror" \
    >"$out/debootstrap.log" 2>&1 || {
    tail -n 30 "$out/debootstrap.log"
    die "debootstrap failed"
  }

  mount -t proc proc "$root/proc"
  mount --bind /sys "$root/sys"
  mount --bind /dev "$root/dev"
  mount --bind /dev/pts "$root/dev/pts"

  mkdir -p "$root/tmp/orvy-debs"
  for deb in "$debs"/*.deb; do
    case $deb in *-dbgsym_*) ;; *) cp "$deb" "$root/tmp/orvy-debs/" ;; esac
  done
  say "apt install in the root"
  in_root apt-get update -q >"$out/apt.log" 2>&1 || {
    cat "$out/apt.log"
    die "apt-get update failed"
  }
  (cd "$root/tmp/orvy-debs" && in_root sh -c 'cd /tmp/orvy-debs && apt-get install -y -q --no-install-recommends ./*.deb') \
    >>"$out/apt.log" 2>&1 || {
    tail -n 40 "$out/apt.log"
    die "apt install of the packages failed"
  }
  rm -rf "$root/tmp/orvy-debs"

  failures=0
  run_in_root() {  # run_in_root EXPECTED-TEXT COMMAND...
    expected=$1
    shift
    say "in the root: $*"
    status=0
    output=$(in_root "$@" 2>&1) || status=$?
    printf '%s\n' "$output"
    if [ $status -ne 0 ]; then
      printf '! exit status %s\n' "$status"
      failures=$((failures + 1))
    elif ! printf '%s\n' "$output" | grep -qF -- "$expected"; then
      printf '! no "%s" in the output\n' "$expected"
      failures=$((failures + 1))
    fi
  }
  run_in_root "printer_life.dwNrOfPaperCuts" Orvy_Simulator -- Orvy_InquiryTool -v /dev/bus/usb/001/011 "[3F]"
  run_in_root "/dev/orvy/by-serial/K80P1-26-004712/usb" Orvy_Simulator --printers 2 -- Orvy_ListPrinters
  run_in_root "orvy_printer_up{port=\"/dev/usb/lp0\"} 1" Orvy_Simulator -- Orvy_PrinterMetrics /dev/usb/lp0
  run_in_root "K80P1-26-004712  /dev/orvy/by-serial/K80P1-26-004712/usb  ok" Orvy_Simulator --printers 2 -- python3 -m orvy
  run_in_root "direct orvy://Velmora/Orvy%20K80%20Kiosk%20Printer?serial=K80P1-26-004711 " \
    Orvy_Simulator -- /usr/lib/cups/backend/orvy
  # A text receipt through the filter and the backend, as cupsd would run them.
  run_in_root "<cut>" sh -c 'echo "Hello from CUPS" | /usr/lib/cups/filter/orvy-text 1 root t 1 "" >/tmp/job &&
    DEVICE_URI="orvy://Velmora/Orvy%20K80%20Kiosk%20Printer?serial=K80P1-26-004711" \
      Orvy_Simulator --paper /tmp/receipt -- /usr/lib/cups/backend/orvy 1 root t 1 "" /tmp/job &&
    cat /tmp/receipt'

  remove_root
  trap - EXIT
  say "root step took $(($(date +%s) - start)) s"
  [ "$failures" -eq 0 ] || die "$failures program(s) failed in the root"
}

[ $# -gt 0 ] || set -- build lint root
for step in "$@"; do
  case $step in
    build) build ;;
    lint) lint ;;
    root) root_check ;;
    remove-root) remove_root ;;
    *) die "unknown step $step (build, lint, root, remove-root)" ;;
  esac
done
