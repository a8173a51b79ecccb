#!/bin/sh
# Downstream checks against the installed toolkit: downstream.sh STEP
#
#   stage     cmake --install into a staging root, check what landed where
#   unpack    the Debian packages in $ORVY_DEBS unpacked into the staging root
#             instead: the same checks, each file in the right package, and
#             the same paths as cmake --install --prefix /usr of the build
#   man       every installed man page renders without a warning
#   symbols   each library exports exactly what its debian/*.symbols lists
#   c         a C program built through pkg-config, run
#   cpp       a C++ program built through find_package(Orvy), run
#   simulator both programs read the status block of the simulated printer
#   clean     remove the staging root
#
# The tree is installed with DESTDIR under a scratch directory and used from
# there, away from its prefix: so nothing is written outside the build tree
# (the udev rule has an absolute destination), and the pkg-config files and
# the CMake package have to be relocatable to pass.
#
# Settings come from the environment (tests/install/CMakeLists.txt):
#   ORVY_BUILD_DIR ORVY_STAGE ORVY_PREFIX ORVY_LIBDIR ORVY_INSTALL_RPATH ORVY_UDEV_RULES_DIR
#   ORVY_USB_VENDOR_ID ORVY_VERSION ORVY_PROGRAMS ORVY_SIMULATOR
#   ORVY_CONSUMERS_DIR ORVY_SOURCE_DIR ORVY_DEBS CMAKE_COMMAND CC CXX CFLAGS CXXFLAGS LDFLAGS
set -eu

step=${1:?step}
root=$ORVY_STAGE/root
prefix=$root$ORVY_PREFIX
libdir=$prefix/$ORVY_LIBDIR
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
  if [ ! -f "$so.$ORVY_VERSION" ] || [ -L "$so.$ORVY_VERSION" ]; then
    fail "$so.$ORVY_VERSION missing"
  fi
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
  done | grep FAIL && failures=$((failures + 1))
  return 0
}

man_page() {  # man_page SECTION NAME: the installed page, compressed or not
  page=$prefix/share/man/man$1/$2.$1
  [ -f "$page" ] || [ -f "$page.gz" ] || fail "man page $2.$1 missing"
}

install_into() {  # install_into ROOT PREFIX
  DESTDIR=$1 "$CMAKE_COMMAND" --install "$ORVY_BUILD_DIR" --prefix "$2" \
    >"$1.install.log" 2>&1 ||
    { cat "$1.install.log"; echo "FAIL: cmake --install failed"; exit 1; }
}

check_layout() {
  check_link_chain OrvyApi
  check_link_chain OrvyTb
  check_link_chain OrvyInquiry
  for header in Orvy_Api.h Orvy_Tb.h Orvy_Inquiry.h; do
    [ -f "$prefix/include/$header" ] || fail "header $header missing"
  done
  for program in $ORVY_PROGRAMS; do
    [ -x "$prefix/bin/$program" ] || fail "program $program missing"
    man_page 1 "$program"
  done
  for page in Orvy_Api Orvy_Tb Orvy_Inquiry orvy_api_printer_open orvy_tb_cmd_init_coded \
    orvy_inquiry_exchange; do
    man_page 3 $page
  done
  # The metrics unit with its user and its write access (see the README).
  for file in systemd/system/orvy-printer-metrics@.service sysusers.d/orvy-printer-metrics.conf \
    tmpfiles.d/orvy-printer-metrics.conf; do
    [ -f "$prefix/lib/$file" ] || fail "$file missing"
  done
  for file in OrvyConfig.cmake OrvyConfigVersion.cmake OrvyTargets.cmake; do
    [ -f "$libdir/cmake/Orvy/$file" ] || fail "CMake package file $file missing"
  done
  for module in __init__.py __main__.py printer.py py.typed; do
    [ -f "$prefix/lib/python3/dist-packages/orvy/$module" ] || fail "Python package file orvy/$module missing"
  done
  for pc in orvy-api orvy-tb orvy-inquiry; do
    version=$(PKG_CONFIG_LIBDIR=$libdir/pkgconfig pkg-config --modversion $pc) ||
      { fail "pkg-config cannot read $pc"; continue; }
    [ "$version" = "$ORVY_VERSION" ] || fail "$pc has version $version"
  done
  check_udev_rule
}

stage() {
  rm -rf "$ORVY_STAGE"
  mkdir -p "$ORVY_STAGE"
  install_into "$root" "$ORVY_PREFIX"

  # Nothing may land outside the prefix but the udev rule.
  find "$root" ! -type d | while IFS= read -r file; do
    case $file in
      "$prefix"/* | "$root$ORVY_UDEV_RULES_DIR"/*) ;;
      *) echo "FAIL: installed outside the prefix: $file" ;;
    esac
  done | grep FAIL && failures=$((failures + 1))

  check_layout
  # An installed program finds its libraries by itself, wherever the tree is;
  # unless built without run paths, as the Debian packages are.
  if [ "$ORVY_INSTALL_RPATH" != OFF ]; then
    for program in $ORVY_PROGRAMS; do
      env -u LD_LIBRARY_PATH ldd "$prefix/bin/$program" | grep -q 'not found' &&
        fail "$program does not find its libraries"
    done
  fi
  finish
}

# ---- man ---------------------------------------------------------------------

man_pages() {
  need_stage
  cd "$prefix/share/man"
  # Pages as cmake --install leaves them, or compressed as packaged.
  for page in man1/*.1 man1/*.1.gz man3/*.3 man3/*.3.gz; do
    [ -e "$page" ] || [ -L "$page" ] || continue
    # Packages turn the pages that only point at another (.so) into links.
    if [ -L "$page" ]; then
      [ -e "$page" ] || fail "$page points nowhere"
      continue
    fi
    warnings=$(zcat -f "$page" | groff -ww -z -man 2>&1) || fail "groff failed on $page"
    [ -z "$warnings" ] || fail "groff warns on $page: $warnings"
    # The one-line pages that only point at their library's page (.so) render
    # as that page; man itself is slow, so run it on the full pages only.
    zcat -f "$page" | grep -q '^\.so ' && continue
    warnings=$(MANWIDTH=80 man --warnings=all -l "$page" 2>&1 >/dev/null) || fail "man -l failed on $page"
    [ -z "$warnings" ] || fail "man -l warns on $page: $warnings"
    [ "$(MANWIDTH=80 man -l "$page" 2>/dev/null | grep -c .)" -gt 20 ] || fail "$page renders empty"
  done
  finish
}

# ---- symbols -------------------------------------------------------------------

# The package build checks the same; this finds a change of the exported
# surface without building the packages.
symbols() {
  need_stage
  cd "$ORVY_SOURCE_DIR"
  for entry in liborvyapi1:OrvyApi liborvytb1:OrvyTb liborvyinquiry1:OrvyInquiry; do
    package=${entry%%:*} library=${entry#*:}
    dpkg-gensymbols -p"$package" -P"$root" -v"$ORVY_VERSION" -c4 \
      -e"$libdir/lib$library.so.$ORVY_VERSION" -I"debian/$package.symbols" \
      -O"$ORVY_STAGE/$package.symbols" ||
      fail "lib$library exports other symbols than debian/$package.symbols lists"
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
  # Its own preload library, found next to it or where the install put it.
  # shellcheck disable=SC2016 # the command's shell expands it
  preload=$("$ORVY_SIMULATOR" -- sh -c 'echo "$LD_PRELOAD"')
  case $preload in
    */liborvy-sim-preload.so*) ;;
    *) fail "the simulator does not preload its own library: $preload" ;;
  esac
  finish
}

# ---- Debian packages -------------------------------------------------------

deb_files() {  # deb_files DEB: the package's files and links, as absolute paths
  dpkg-deb -c "$1" | grep -v '^d' | awk '{print $6}' | sed 's|^\.||'
}

# What a plain install holds, as the packages name it: without Debian's own
# files, man pages compressed.
packaged_paths() {  # packaged_paths ROOT
  (cd "$1" && find . ! -type d) | sed 's|^\.||' |
    grep -v -e '^/usr/share/doc/' -e '^/usr/share/lintian/' |
    sed 's|^\(/usr/share/man/.*\)\.gz$|\1|' | sort
}

unpack() {
  [ "$ORVY_PREFIX" = /usr ] || { echo "FAIL: the packages install under /usr, not $ORVY_PREFIX"; exit 1; }
  rm -rf "$ORVY_STAGE"
  mkdir -p "$root"
  # The package's binary files: the debug symbols packages are no consumers'.
  debs=""
  for deb in "$ORVY_DEBS"/*.deb; do
    case $deb in *-dbgsym_*) continue ;; esac
    [ -f "$deb" ] || continue
    dpkg-deb -x "$deb" "$root"
    debs="$debs $deb"
  done
  [ -n "$debs" ] || { echo "FAIL: no packages in $ORVY_DEBS"; exit 1; }
  check_layout

  # cmake --install --prefix /usr of a plain build puts every file where the
  # packages do, and the packages hold nothing else.
  install_into "$ORVY_STAGE/plain" /usr
  packaged_paths "$ORVY_STAGE/plain" >"$ORVY_STAGE/installed"
  packaged_paths "$root" >"$ORVY_STAGE/packaged"
  difference=$(diff "$ORVY_STAGE/installed" "$ORVY_STAGE/packaged") ||
    fail "cmake --install --prefix /usr (<) and the packages (>) differ: $difference"

  package() { ls "$ORVY_DEBS/$1"_*.deb 2>/dev/null || fail "no package $1"; }
  expect_in() {  # expect_in PACKAGE PATH...
    deb=$(package "$1")
    shift
    for path in "$@"; do
      deb_files "$deb" | grep -qx "$path" || fail "$(basename "$deb") lacks $path"
    done
  }
  major=${ORVY_VERSION%%.*}
  lib=/usr/$ORVY_LIBDIR
  expect_in liborvyapi1 "$lib/libOrvyApi.so.$major" "$lib/libOrvyApi.so.$ORVY_VERSION"
  expect_in liborvytb1 "$lib/libOrvyTb.so.$major" "$lib/libOrvyTb.so.$ORVY_VERSION"
  expect_in liborvyinquiry1 "$lib/libOrvyInquiry.so.$major" "$lib/libOrvyInquiry.so.$ORVY_VERSION"
  expect_in liborvy-dev "$lib/libOrvyApi.so" "$lib/libOrvyTb.so" /usr/include/Orvy_Api.h \
    "$lib/pkgconfig/orvy-api.pc" "$lib/cmake/Orvy/OrvyConfig.cmake" /usr/share/man/man3/Orvy_Api.3.gz
  expect_in orvy-tools "$ORVY_UDEV_RULES_DIR/60-orvy-printer.rules"
  expect_in python3-orvy /usr/lib/python3/dist-packages/orvy/__init__.py \
    /usr/lib/python3/dist-packages/orvy/py.typed
  [ "$(dpkg-deb -f "$(package python3-orvy)" Architecture)" = all ] || fail "python3-orvy is not Architecture: all"
  for program in $ORVY_PROGRAMS; do
    case $program in
      Orvy_Simulator) expect_in orvy-simulator "/usr/bin/$program" "/usr/share/man/man1/$program.1.gz" \
        "$lib/orvy-simulator/liborvy-sim-preload.so" ;;
      *) expect_in orvy-tools "/usr/bin/$program" "/usr/share/man/man1/$program.1.gz" ;;
    esac
  done

  # Only the simulator brings umockdev; the development files pin the
  # libraries of their own version.
  for deb in $debs; do
    name=$(dpkg-deb -f "$deb" Package)
    depends=$(dpkg-deb -f "$deb" Depends)
    case $name:$depends in
      orvy-simulator:*umockdev*) ;;
      orvy-simulator:*) fail "orvy-simulator does not depend on umockdev: $depends" ;;
      *:*umockdev*) fail "$name depends on umockdev: $depends" ;;
    esac
  done
  version=$(dpkg-deb -f "$(package liborvy-dev)" Version)
  depends=$(dpkg-deb -f "$(package liborvy-dev)" Depends)
  for library in liborvyapi1 liborvytb1 liborvyinquiry1; do
    case ", $depends," in *", $library (= $version),"*) ;; *) fail "liborvy-dev does not pin $library: $depends" ;; esac
  done
  finish
}

case $step in
  stage) stage ;;
  man) man_pages ;;
  symbols) symbols ;;
  c) consumer_c ;;
  cpp) consumer_cpp ;;
  simulator) simulator ;;
  unpack) unpack ;;
  clean) rm -rf "$ORVY_STAGE" ;;
  *) echo "unknown step $step"; exit 2 ;;
esac
