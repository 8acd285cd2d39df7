#!/usr/bin/env bash
# Runs the README's two commands on a fresh Debian 12 system, as a new user
# would: a minimal bookworm made with debootstrap in a folder, a clone of this
# repository's HEAD and ../shared copied into it, entered with chroot.
#
#   scripts/fresh_machine_check.sh [--run-only] [--keep] [DIR]
#
#   --run-only   only ./run.sh on the sample picture, not ./test.sh
#   --keep       leave the system in DIR afterwards (it is removed otherwise)
#   DIR          where to build the system (default /var/tmp/kestrin-fresh);
#                whatever is there is removed first
#
# Run it as root after any change to dependencies or set-up: the machine you
# work on has everything installed already and hides a missing package. It
# takes long (the packages, both builds and every suite), so ./test.sh does
# not run it. It prints each command's result and exits non-zero if either
# failed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

run_only=0
keep=0
target=/var/tmp/kestrin-fresh
for argument in "$@"; do
  case "$argument" in
    --run-only) run_only=1 ;;
    --keep) keep=1 ;;
    -h | --help)
      sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'
      exit 0
      ;;
    -*)
      echo "fresh_machine_check: unknown option $argument" >&2
      exit 2
      ;;
    *) target=$argument ;;
  esac
done
if [ "$(id -u)" -ne 0 ]; then
  echo "fresh_machine_check: debootstrap and chroot need root" >&2
  exit 2
fi

# The mirror this machine's apt uses for bookworm, in either sources format.
mirror=$(
  { sed -n 's/^URIs: *\([^ ]*\).*/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null
    sed -n 's/^deb \(\[[^]]*\] \)\{0,1\}\([^ ]*\) bookworm .*/\2/p' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null
  } | grep -v -- '-security' | head -n 1 || true
)
mirror=${mirror:-http://deb.debian.org/debian}

if ! command -v debootstrap >/dev/null; then
  echo "fresh_machine_check: installing debootstrap" >&2
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
fi

mounted=()
cleanup() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}"; done
  mounted=()
  if [ "$keep" = 0 ] && [ -d "$target" ]; then rm -rf --one-file-system "$target"; fi
}
trap cleanup EXIT
mount_in() {  # mount_in TYPE-OR--bind SOURCE PATH
  mkdir -p "$target$3"
  if [ "$1" = --bind ]; then mount --bind "$2" "$target$3"; else mount -t "$1" "$2" "$target$3"; fi
  mounted+=("$target$3")
}

rm -rf --one-file-system "$target"
echo "== debootstrap --variant=minbase bookworm $target $mirror =="
debootstrap --variant=minbase bookworm "$target" "$mirror" >"$target.debootstrap.log" 2>&1 ||
  { tail -n 20 "$target.debootstrap.log" >&2; exit 1; }
rm -f "$target.debootstrap.log"
# The same sources as this machine (updates and security too), nothing else.
if [ -f /etc/apt/sources.list.d/debian.sources ]; then
  cp /etc/apt/sources.list.d/debian.sources "$target/etc/apt/sources.list.d/"
  rm -f "$target/etc/apt/sources.list"
else
  cp /etc/apt/sources.list "$target/etc/apt/sources.list"
fi
cp /etc/resolv.conf "$target/etc/resolv.conf"

mkdir -p "$target/work"
git clone -q --no-local "$root" "$target/work/main"
if [ -d "$root/../shared" ]; then cp -r "$root/../shared" "$target/work/shared"; fi
mount_in proc proc /proc
mount_in sysfs sys /sys
mount_in --bind /dev /dev
mount_in --bind /dev/pts /dev/pts
mount_in tmpfs tmpfs /dev/shm

in_chroot() {
  chroot "$target" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 TERM=dumb \
    /bin/bash -c "cd /work/main && $1"
}

status=0
report() {  # report NAME COMMAND
  local started=$SECONDS result=0
  echo "== $1 =="
  in_chroot "$2" >"$target/work/$1.log" 2>&1 || result=$?
  tail -n 15 "$target/work/$1.log"
  echo "-- $1: exit status $result after $((SECONDS - started)) s"
  [ $result -eq 0 ] || status=1
}
report run.sh './run.sh examples/harbour.bmp /tmp/harbour.pdb && ls -l /tmp/harbour.pdb'
if [ "$run_only" = 0 ]; then report test.sh './test.sh'; fi
if [ "$keep" = 1 ]; then echo "the system stays in $target (logs in $target/work)"; fi
exit $status
