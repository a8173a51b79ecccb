#!/bin/sh
# Downstream checks against the installed toolkit: downstream.sh STEP
#
#   stage     cmake --install into a staging root, check what landed where
#   man       every installed man page renders without a warning
#   c         a C program built through pkg-config, run
#   cpp       a C++ program built through find_package(Orvy), run
#   simulator both programs read the status block of the simulated printer
#   packages  cpack -G DEB: every installed file in exactly one package, the
#             right one, and the dependencies between the packages
#   clean     remove the staging root
#
# The tree is installed with DESTDIR under a scratch directory and used from
# there, away from its prefix: so nothing is written outside the build tree
# (the udev rule has an absolute destination), and the pkg-config files and
# the CMake package have to be relocatable to pass.
#
# Settings come from the environment (tests/install/CMakeLists.txt):
#   ORVY_BUILD_DIR ORVY_STAGE ORVY_PREFIX ORVY_UDEV_RULES_DIR ORVY_USB_VENDOR_ID
#   ORVY_VERSION ORVY_PROGRAMS ORVY_SIMULATOR ORVY_CONSUMERS_DIR
#   CMAKE_COMMAND CPACK_COMMAND CC CXX CFLAGS CXXFLAGS LDFLAGS
set -eu

step=${1:?step}
root=$ORVY_STAGE/root
prefix=$root$ORVY_PREFIX
libdir=$prefix/lib
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
  fi
  echo "all checks passed"
}

need_stage() {
  [ -d "$prefix" ] || { echo "FAIL: no staged install at $prefix"; exit 1; }
}

# ---- stage -------------------------------------------------------------------

check_link_chain() {  # check_link_chain NAME (libNAME.so -> .so.MAJOR -> .so.VERSION)
  major=${ORVY_VERSION%%.*}
  so=$libdir/lib$1.so
  [ "$(readlink "$so")" = "lib$1.so.$major" ] || fail "$so does not point to lib$1.so.$major"
  [ "$(readlink "$so.$major")" = "lib$1.so.$ORVY_VERSION" ] ||
    fail "$so.$major does not point to lib$1.so.$ORVY_VERSION"
  [ -f "$so.$ORVY_VERSION" ] && [ ! -L "$so.$ORVY_VERSION" ] || fail "$so.$ORVY_VERSION missing"
  soname=$(readelf -d "$so.$ORVY_VERSION" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
  [ "$soname" = "lib$1.so.$major" ] || fail "soname of lib$1 is '$soname'"
}

check_udev_rule() {
  rule=$root$ORVY_UDEV_RULES_DIR/60-orvy-printer.rules
  [ -f "$rule" ] || { fail "udev rule not at $ORVY_UDEV_RULES_DIR"; return; }
  vendor=$(printf '%04x' "$((ORVY_USB_VENDOR_ID))")
  products='ATTRS{idProduct}=="0001|0002|0003"'
  access='MODE="0660", GROUP="lp"'
  for match in 'SUBSYSTEM=="usb", ENV{DEVTYPE}=="usb_device"' 'SUBSYSTEM=="usbmisc", KERNEL=="lp[0-9]*"'; do
    line=$(grep -F "$match" "$rule" | grep -v '^#' | grep -F 'MODE=' || true)
    [ "$(printf '%s\n' "$line" | grep -c .)" -eq 1 ] || { fail "no single rule for $match"; continue; }
    case $line in
      *"ATTRS{idVendor}==\"$vendor\""*"$products"*"$access"*) ;;
      *) fail "rule for $match does not match vendor $vendor, products 1-3 with $access: $line" ;;
    esac
  done
  for link in usb lp; do
    grep -v '^#' "$rule" | grep -F 'ATTRS{serial}=="?*"' |
      grep -qF "SYMLINK+=\"orvy/by-serial/\$attr{serial}/$link\"" ||
      fail "no stable link orvy/by-serial/<SERIAL>/$link"
  done
  # udev ignores rules with unknown keys or unbalanced quotes; catch the
  # mistakes that would silently disable the rule.
  grep -v '^#' "$rule" | grep . | while IFS= read -r line; do
    quotes=$(printf '%s' "$line" | tr -cd '"' | wc -c)
    [ $((quotes % 2)) -eq 0 ] || echo "FAIL: unbalanced quotes: $line"
  done | grep FAIL && failures=$((failures + 1)) || true
}

stage() {
  rm -rf "$ORVY_STAGE"
  mkdir -p "$ORVY_STAGE"
  DESTDIR=$root "$CMAKE_COMMAND" --install "$ORVY_BUILD_DIR" --prefix "$ORVY_PREFIX" \
    >"$ORVY_STAGE/install.log" 2>&1 ||
    { cat "$ORVY_STAGE/install.log"; echo "FAIL: cmake --install failed"; exit 1; }

  # Nothing may land outside the prefix but the udev rule.
  find "$root" ! -type d | while IFS= read -r file; do
    case $file in
      "$prefix"/* | "$root$ORVY_UDEV_RULES_DIR"/*) ;;
      *) echo "FAIL: installed outside the prefix: $file" ;;
    esac
  done | grep FAIL && failures=$((failures + 1))

  check_link_chain OrvyApi
  check_link_chain OrvyTb
  for header in Orvy_Api.h Orvy_Tb.h; do
    [ -f "$prefix/include/$header" ] || fail "header $header missing"
  done
  for program in $ORVY_PROGRAMS; do
    [ -x "$prefix/bin/$program" ] || fail "program $program missing"
    [ -f "$prefix/share/man/man1/$program.1" ] || fail "man page $program.1 missing"
  done
  for page in Orvy_Api.3 Orvy_Tb.3 orvy_api_printer_open.3 orvy_tb_cmd_init_coded.3; do
    [ -f "$prefix/share/man/man3/$page" ] || fail "man page $page missing"
  done
  for file in OrvyConfig.cmake OrvyConfigVersion.cmake OrvyTargets.cmake; do
    [ -f "$libdir/cmake/Orvy/$file" ] || fail "CMake package file $file missing"
  done
  for pc in orvy-api orvy-tb; do
    version=$(PKG_CONFIG_LIBDIR=$libdir/pkgconfig pkg-config --modversion $pc) ||
      { fail "pkg-config cannot read $pc"; continue; }
    [ "$version" = "$ORVY_VERSION" ] || fail "$pc has version $version"
  done
  check_udev_rule

  # An installed program finds its libraries by itself, wherever the tree is.
  for program in $ORVY_PROGRAMS; do
    env -u LD_LIBRARY_PATH ldd "$prefix/bin/$program" | grep -q 'not found' &&
      fail "$program does not find its libraries"
  done
  finish
}

# ---- man ---------------------------------------------------------------------

man_pages() {
  need_stage
  cd "$prefix/share/man"
  for page in man1/*.1 man3/*.3; do
    warnings=$(groff -ww -z -man "$page" 2>&1) || fail "groff failed on $page"
    [ -z "$warnings" ] || fail "groff warns on $page: $warnings"
    # The one-line pages that only point at their library's page (.so) render
    # as that page; man itself is slow, so run it on the full pages only.
    grep -q '^\.so ' "$page" && continue
    warnings=$(MANWIDTH=80 man --warnings=all -l "$page" 2>&1 >/dev/null) || fail "man -l failed on $page"
    [ -z "$warnings" ] || fail "man -l warns on $page: $warnings"
    [ "$(MANWIDTH=80 man -l "$page" 2>/dev/null | grep -c .)" -gt 20 ] || fail "$page renders empty"
  done
  finish
}

# ---- consumers -----------------------------------------------------------------

build_c() {
  need_stage
  out=$ORVY_STAGE/consumer_c
  mkdir -p "$out"
  flags=$(PKG_CONFIG_LIBDIR=$libdir/pkgconfig pkg-config --cflags --libs orvy-api orvy-tb)
  echo "pkg-config: $flags"
  # shellcheck disable=SC2086
  ${CC:-cc} ${CFLAGS:-} -std=c11 -Wall -Wextra -Wpedantic -Werror \
    "$ORVY_CONSUMERS_DIR/consumer_c/consumer.c" $flags ${LDFLAGS:-} -o "$out/consumer"
}

build_cpp() {
  need_stage
  out=$ORVY_STAGE/consumer_cpp
  rm -rf "$out"
  "$CMAKE_COMMAND" -S "$ORVY_CONSUMERS_DIR/consumer_cpp" -B "$out" \
    -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_USE_SYSTEM_PACKAGE_REGISTRY=OFF \
    -DCMAKE_CXX_COMPILER="${CXX:-c++}" \
    -DCMAKE_CXX_FLAGS="${CXXFLAGS:-} -Wall -Wextra -Wpedantic -Werror" \
    -DCMAKE_EXE_LINKER_FLAGS="${LDFLAGS:-}" >"$out.configure.log" 2>&1 ||
    { cat "$out.configure.log"; return 1; }
  grep -q "Orvy_DIR:PATH=$libdir/cmake/Orvy" "$out/CMakeCache.txt" ||
    { echo "FAIL: find_package(Orvy) did not take the staged package"; return 1; }
  "$CMAKE_COMMAND" --build "$out"
}

consumer_c() {
  build_c || { echo "FAIL: the C consumer does not build"; exit 1; }
  # pkg-config adds no run path: point the loader at the private prefix, as
  # its users do.
  status=0
  LD_LIBRARY_PATH=$libdir "$ORVY_STAGE/consumer_c/consumer" || status=$?
  [ $status -eq 0 ] || fail "the C consumer exited with $status"
  finish
}

consumer_cpp() {
  build_cpp || { echo "FAIL: the C++ consumer does not build"; exit 1; }
  # The CMake package gives the build a run path into the prefix.
  status=0
  env -u LD_LIBRARY_PATH "$ORVY_STAGE/consumer_cpp/consumer" || status=$?
  [ $status -eq 0 ] || fail "the C++ consumer exited with $status"
  finish
}

# ---- on the simulated printer ------------------------------------------------

on_simulator() {  # on_simulator NAME PORT COMMAND...
  name=$1 port=$2
  shift 2
  log=$ORVY_STAGE/$name.log
  status=0
  LD_LIBRARY_PATH=$libdir "$ORVY_SIMULATOR" --log "$log" -- "$@" "$port" || status=$?
  case $status in
    0) grep -q "> 1D 61 01" "$log" || fail "$name: the simulator saw no inquiry" ;;
    3) fail "$name: open of $port failed (transport missing?)" ;;
    125) fail "$name: the simulator failed" ;;
    *) fail "$name on $port exited with $status" ;;
  esac
}

simulator() {
  [ -n "${ORVY_SIMULATOR:-}" ] || { echo "no simulator built"; exit 77; }
  need_stage
  [ -x "$ORVY_STAGE/consumer_c/consumer" ] || build_c
  [ -x "$ORVY_STAGE/consumer_cpp/consumer" ] || build_cpp
  on_simulator c_usb /dev/bus/usb/001/011 "$ORVY_STAGE/consumer_c/consumer"
  on_simulator cpp_usb /dev/bus/usb/001/011 "$ORVY_STAGE/consumer_cpp/consumer"
  on_simulator c_lp /dev/usb/lp0 "$ORVY_STAGE/consumer_c/consumer"
  finish
}

# ---- Debian packages -------------------------------------------------------

deb_files() {  # deb_files DEB: the package's files and links, as absolute paths
  dpkg-deb -c "$1" | grep -v '^d' | awk '{print $6}' | sed 's|^\.||'
}

packages() {
  need_stage
  out=$ORVY_STAGE/packages
  rm -rf "$out"
  mkdir -p "$out"
  (cd "$ORVY_BUILD_DIR" && "$CPACK_COMMAND" -G DEB -B "$out") >"$out.log" 2>&1 ||
    { cat "$out.log"; echo "FAIL: cpack failed"; exit 1; }

  runtime=$(ls "$out"/orvy-toolkit_*.deb) || fail "no orvy-toolkit package"
  dev=$(ls "$out"/orvy-toolkit-dev_*.deb) || fail "no orvy-toolkit-dev package"
  [ "$failures" -eq 0 ] || finish

  # The packages install below /usr what the staged tree holds below its prefix.
  (cd "$prefix" && find . ! -type d | sed 's|^\.|/usr|') >"$out/installed"
  (cd "$root" && find ."$ORVY_UDEV_RULES_DIR" ! -type d | sed 's|^\.||') >>"$out/installed"
  for deb in "$out"/*.deb; do deb_files "$deb"; done >"$out/packaged"
  sort "$out/installed" >"$out/installed.sorted"
  sort "$out/packaged" >"$out/packaged.sorted"
  duplicates=$(uniq -d "$out/packaged.sorted")
  [ -z "$duplicates" ] || fail "in more than one package: $duplicates"
  missing=$(sort -u "$out/packaged.sorted" | comm -23 "$out/installed.sorted" -)
  [ -z "$missing" ] || fail "installed but in no package: $missing"
  extra=$(sort -u "$out/packaged.sorted" | comm -13 "$out/installed.sorted" -)
  [ -z "$extra" ] || fail "packaged but not installed: $extra"

  expect_in() {  # expect_in DEB PATH...
    deb=$1
    shift
    for path in "$@"; do
      deb_files "$deb" | grep -qx "$path" || fail "$(basename "$deb") lacks $path"
    done
  }
  major=${ORVY_VERSION%%.*}
  expect_in "$runtime" /usr/lib/libOrvyApi.so.$major /usr/lib/libOrvyApi.so.$ORVY_VERSION \
    /usr/lib/libOrvyTb.so.$major /usr/lib/libOrvyTb.so.$ORVY_VERSION \
    "$ORVY_UDEV_RULES_DIR/60-orvy-printer.rules"
  expect_in "$dev" /usr/lib/libOrvyApi.so /usr/lib/libOrvyTb.so \
    /usr/include/Orvy_Api.h /usr/include/Orvy_Tb.h \
    /usr/lib/pkgconfig/orvy-api.pc /usr/lib/pkgconfig/orvy-tb.pc \
    /usr/lib/cmake/Orvy/OrvyConfig.cmake /usr/lib/cmake/Orvy/OrvyConfigVersion.cmake \
    /usr/lib/cmake/Orvy/OrvyTargets.cmake /usr/share/man/man3/Orvy_Api.3 /usr/share/man/man3/Orvy_Tb.3
  for program in $ORVY_PROGRAMS; do
    case $program in
      Orvy_Simulator)
        simulator=$(ls "$out"/orvy-simulator_*.deb) || { fail "no orvy-simulator package"; continue; }
        expect_in "$simulator" /usr/bin/$program /usr/share/man/man1/$program.1
        depends=$(dpkg-deb -f "$simulator" Depends)
        case ", $depends," in *", umockdev,"* | *", umockdev ("*) ;; *) fail "orvy-simulator does not depend on umockdev: $depends" ;; esac
        case $depends in *orvy-toolkit*) fail "orvy-simulator depends on the toolkit it tests: $depends" ;; esac
        ;;
      *) expect_in "$runtime" /usr/bin/$program /usr/share/man/man1/$program.1 ;;
    esac
  done

  depends=$(dpkg-deb -f "$dev" Depends)
  [ "$depends" = "orvy-toolkit (= $ORVY_VERSION)" ] || fail "orvy-toolkit-dev depends on: $depends"
  depends=$(dpkg-deb -f "$runtime" Depends)
  case $depends in *libusb-1.0-0*) ;; *) fail "orvy-toolkit does not depend on libusb: $depends" ;; esac
  case $depends in *umockdev*) fail "orvy-toolkit depends on umockdev: $depends" ;; esac
  finish
}

case $step in
  stage) stage ;;
  man) man_pages ;;
  c) consumer_c ;;
  cpp) consumer_cpp ;;
  simulator) simulator ;;
  packages) packages ;;
  clean) rm -rf "$ORVY_STAGE" ;;
  *) echo "unknown step $step"; exit 2 ;;
esac
