#!/usr/bin/env bash
# with_qemu_i386.sh SECONDS COMMAND...: COMMAND with 32-bit x86 Linux
# programs (32-bit Wine) running on qemu's user-mode emulator, for at most
# SECONDS. This kernel runs no 32-bit code of its own; binfmt_misc hands
# such programs to qemu-i386 once they are registered there.
#
# The registration is this run's alone, under a name that carries its
# process id (kvl-m720-i386-PID), so runs side by side each keep theirs;
# binfmt_misc is mounted when it is not, and the last run to leave unmounts
# what one of them mounted. Every way out (the end of COMMAND, its time-out,
# INT, TERM) takes the entry away; the entries of runs that were killed
# outright are taken away by the next run. Needs root.
#
# Exits with COMMAND's status (124 after its time-out), or 77 (skipped)
# when qemu-i386 or root is missing.
set -uo pipefail
seconds=$1
shift
source "$(dirname "$0")/wine_common.bash"

qemu=/usr/bin/qemu-i386
binfmt=/proc/sys/fs/binfmt_misc
state=/run/kvl-m720-binfmt
prefix=kvl-m720-i386-
owner=$$
name=$prefix$owner

[ -x "$qemu" ] || skip "$qemu is not installed (./dev setup installs qemu-user)"
[ "$(id -u)" -eq 0 ] || skip "registering qemu-i386 with binfmt_misc needs root"
mkdir -p "$state/users" || exit 1

# locked COMMAND...: COMMAND while no other run changes the registrations.
locked() { flock "$state/lock" "$@"; }

# Takes away the entries and user marks of runs that are gone, then, when no
# run is left and a run mounted binfmt_misc, unmounts it.
prune() {
  local mark pid
  for mark in "$state"/users/*; do
    [ -e "$mark" ] || continue
    pid=${mark##*/}
    kill -0 "$pid" 2>/dev/null && continue
    [ -e "$binfmt/$prefix$pid" ] && echo -1 >"$binfmt/$prefix$pid"
    rm -f "$mark"
  done
  for mark in "$binfmt/$prefix"*; do
    [ -e "$mark" ] || continue
    pid=${mark##*"$prefix"}
    [ -e "$state/users/$pid" ] || echo -1 >"$mark"
  done
  if [ -z "$(ls -A "$state/users")" ] && [ -f "$state/mounted" ]; then
    umount "$binfmt" && rm -f "$state/mounted"
  fi
}

enter() {
  prune
  if [ ! -e "$binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$binfmt" || return 1
    touch "$state/mounted"
  fi
  touch "$state/users/$owner"
  # An i386 ELF executable or shared object; F: the emulator is opened now,
  # so it serves inside any root and mount namespace.
  printf ':%s:M::%s:%s:%s:F' "$name" \
    '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00' \
    '\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff' \
    "$qemu" >"$binfmt/register"
}

leave() {
  [ -e "$binfmt/$name" ] && echo -1 >"$binfmt/$name"
  rm -f "$state/users/$owner"
  prune
}

export -f prune enter leave
export binfmt state prefix owner name qemu
child=
finish() {
  [ -n "$child" ] && kill -TERM "$child" 2>/dev/null && wait "$child" 2>/dev/null
  locked bash -c leave
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
locked bash -c enter || { echo "FAIL: qemu-i386 could not be registered with binfmt_misc"; exit 1; }

# COMMAND in the background, so that a signal reaches this shell's traps at
# once; `timeout` ends it with TERM (its own traps clean up), then KILL.
timeout --kill-after=20 "$seconds" "$@" &
child=$!
wait "$child"
status=$?
child=
exit "$status"
