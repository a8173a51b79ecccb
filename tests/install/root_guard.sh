#!/bin/sh
# The clean-up of scripts/package-check.sh never deletes through a mount: with
# a bind mount inside the root that will not come off, it refuses and leaves
# every file in place. Needs root (mount).
set -eu
[ "$(id -u)" -eq 0 ] || { echo "needs root"; exit 77; }
scratch=$(realpath -m "${TMPDIR:-/tmp}/root-guard")
root=$scratch/packages/root
victim=$scratch/victim
cleanup() {
  umount -l "$root/dev" 2>/dev/null || true
  rm -rf --one-file-system "$scratch"
}
trap cleanup EXIT
cleanup
mkdir -p "$root/dev" "$victim" "$scratch/bin"
touch "$victim/precious"
mount --bind "$victim" "$root/dev"
# An umount that fails, as one does on a busy mount.
printf '#!/bin/sh\nexit 32\n' >"$scratch/bin/umount"
chmod +x "$scratch/bin/umount"

status=0
output=$(PATH=$scratch/bin:$PATH ORVY_BUILD_DIR=$scratch sh "$(dirname "$0")/../../scripts/package-check.sh" remove-root 2>&1) ||
  status=$?
echo "$output"
failures=0
[ $status -ne 0 ] || { echo "FAIL: the clean-up reported success"; failures=1; }
echo "$output" | grep -q "refusing to remove $root" || { echo "FAIL: no refusal naming the root"; failures=1; }
[ -f "$victim/precious" ] || { echo "FAIL: a file behind the mount was deleted"; failures=1; }
[ -d "$root" ] || { echo "FAIL: the root was removed"; failures=1; }

# With the mount gone the same clean-up removes the root.
umount "$root/dev"
ORVY_BUILD_DIR=$scratch sh "$(dirname "$0")/../../scripts/package-check.sh" remove-root
[ ! -e "$root" ] || { echo "FAIL: the root is still there"; failures=1; }
[ $failures -eq 0 ] && echo "all checks passed"
exit $failures
