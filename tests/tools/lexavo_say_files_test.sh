#!/usr/bin/env bash
# What `lexavo-say -w` leaves at the path, whatever goes wrong: the old file byte for byte or
# the complete new wave file, never a temporary file, with an exit status and one line that
# name the cause. Rows that need a private mount (a full disk, a read-only folder) run only
# as root, in a mount namespace of their own.
# Arguments: the lexavo-say program.
set -u
say=$(realpath "$1")
if [ "$(id -u)" -eq 0 ] && [ -z "${LEXAVO_FILES_TEST_NS:-}" ]; then
  # In a chroot "/" is no mount point and cannot be made private; there the mounts must be
  # private already, or ours would show outside.
  if unshare -m true 2>/dev/null; then
    LEXAVO_FILES_TEST_NS=1 exec unshare -m --propagation private bash "$0" "$@"
  elif ! grep -q ' shared:' /proc/self/mountinfo && unshare -m --propagation unchanged true 2>/dev/null; then
    LEXAVO_FILES_TEST_NS=1 exec unshare -m --propagation unchanged bash "$0" "$@"
  fi
fi
work=$(mktemp -d /tmp/lexavo-files-test-XXXXXX)
cleanup() {
  cd / || return
  awk -v w="$work/" 'index($2, w) == 1 {print $2}' /proc/self/mounts | xargs -r -n1 umount
  rm -rf "$work"
}
trap cleanup EXIT
passed=0 failed=0 skipped=0

sentence=今天天气很好，我们去公园散步。
long=$(for _ in $(seq 60); do printf %s "$sentence"; done)        # about 4 minutes of audio
longer=$(for _ in $(seq 2000); do printf %s "$sentence"; done)    # about 2 hours of audio
old=$'the earlier file\n\x01\x02'
bad_name=$'a\xff.wav'

is_wave() { [ "$(head -c 4 "$1" 2>/dev/null)" = RIFF ] && [ "$(head -c 12 "$1" | tail -c 4)" = WAVE ]; }
temporaries() { find "$@" -maxdepth 1 -name '.*.lexavo-part' 2>/dev/null; }
private_tmpfs() {  # private_tmpfs SIZE: the current folder becomes a small file system of its own
  [ -n "${LEXAVO_FILES_TEST_NS:-}" ] || return 2
  mount -t tmpfs -o "size=$1" lexavo-test "$PWD" && cd "$PWD"
}

# Set-ups: each runs in the row's own empty folder; status 2 says it cannot be made here (the
# row is skipped), any other failure fails the row.
none() { :; }
old_file() { printf %s "$old" >t.wav; }
old_bad_name() { printf %s "$old" >"$bad_name"; }
fifo() { mkfifo t.wav; }
device() { mknod t.wav c 1 3 2>/dev/null || return 2; }   # the null device, by another name
link_to_old() { mkdir real && printf %s "$old" >real/t.wav && ln -s real/t.wav t.wav; }
dangling_link() { ln -s nowhere.wav t.wav; }
text_fifo() { old_file && mkfifo in.txt; }
full_disk() { private_tmpfs 256k || return; old_file; }
full_at_last_flush() {  # room for the header, not for the audio kept back until the end
  private_tmpfs 256k || return
  old_file && head -c 8192 /dev/zero >pad && { head -c 1M /dev/zero >fill 2>/dev/null; rm pad; }
}
read_only_folder() { private_tmpfs 64k || return; old_file && mount -o remount,ro "$PWD"; }
killed_render() {  # a render killed half-way leaves its temporary file behind
  old_file
  "$say" -w t.wav "$longer" 2>/dev/null &
  local pid=$! part=""
  for _ in $(seq 400); do
    part=$(temporaries .)
    [ -n "$part" ] && [ "$(stat -c %s "$part")" -gt 1000000 ] && break
    sleep 0.05
  done
  kill -9 "$pid"; wait "$pid" 2>/dev/null
  [ -n "$part" ] && [ -e "$part" ] && cmp -s t.wav <(printf %s "$old")
}

# row NAME SETUP TARGET STATUS MESSAGE AFTER -- ARGS...
#   AFTER: old (the path as it was, byte for byte), new (a complete wave file), none (nothing
#   there), link (still a link, to a complete wave file), same (the same kind of thing as before)
row() {
  local name=$1 setup=$2 target=$3 status=$4 message=$5 after=$6
  shift 7
  local dir
  dir=$(mktemp -d "$work/row-XXXXXX")
  cd "$dir" || return
  "$setup"
  case $? in
    0) ;;
    2) echo "skipped: $name (needs root and a mount namespace)"; skipped=$((skipped + 1)); cd "$work"; return ;;
    *) echo "FAIL: $name: its set-up failed"; failed=$((failed + 1)); cd "$work"; return ;;
  esac
  local kind_before names_before
  kind_before=$(stat -c %F "$target" 2>/dev/null)
  names_before=$(ls -A)
  local out=$dir.out err=$dir.err
  timeout 60 "$say" "$@" >"$out" 2>"$err" </dev/null
  local rc=$? why=()
  [ "$rc" -eq "$status" ] || why+=("exit status $rc, not $status")
  if [ -z "$message" ]; then
    [ -s "$err" ] && why+=("unexpected message")
  else
    { [ "$(wc -l <"$err")" -eq 1 ] && grep -aq -- "$message" "$err"; } || why+=("message is not one line naming '$message'")
  fi
  case $after in
    old) cmp -s "$target" <(printf %s "$old") || why+=("the earlier file changed") ;;
    new) is_wave "$target" && [ "$(stat -c %s "$target")" -gt 20000 ] || why+=("no complete wave file") ;;
    none) [ ! -e "$target" ] && [ ! -L "$target" ] || why+=("something was left at the path") ;;
    link) [ -L "$target" ] && is_wave "$target" || why+=("the link or the file it names is wrong") ;;
    same) [ "$(stat -c %F "$target" 2>/dev/null)" = "$kind_before" ] || why+=("the path changed kind") ;;
  esac
  [ -z "$(temporaries . real)" ] || why+=("temporary files left: $(temporaries . real)")
  local made
  made=$(comm -13 <(printf '%s\n' "$names_before" | sort) <(ls -A | sort) | grep -avxF -- "$target")
  [ -z "$made" ] || why+=("files made beside it: $made")
  if [ ${#why[@]} -eq 0 ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL: $name: ${why[*]} (stderr: $(cat "$err"))"
  fi
  cd "$work" || return
}

row "new file"                 none          t.wav 0 ""                       new  -- -w t.wav "$sentence"
row "an existing file"         old_file      t.wav 0 ""                       new  -- -w t.wav "$sentence"
row "malformed markup"         old_file      t.wav 1 "markup is malformed"    old  -- -m 2 -w t.wav '<speak>bad'
row "malformed, no file"       none          t.wav 1 "markup is malformed"    none -- -m 2 -w t.wav '<speak>bad'
row "missing text file"        old_file      t.wav 1 "cannot read the text file in.txt: file not found" old -- -m 1 -w t.wav in.txt
row "text file is a pipe"      text_fifo     t.wav 1 "not a regular file"     old  -- -m 1 -w t.wav in.txt
row "a pipe at the path"       fifo          t.wav 1 "not a regular file"     same -- -w t.wav "$sentence"
row "a device at the path"     device        t.wav 1 "not a regular file"     same -- -w t.wav "$sentence"
row "a link to a file"         link_to_old   t.wav 0 ""                       link -- -w t.wav "$sentence"
row "a dangling link"          dangling_link t.wav 1 "link to a file that does not exist" same -- -w t.wav "$sentence"
row "name not UTF-8, bad text" old_bad_name  "$bad_name" 1 "markup is malformed" old -- -m 2 -w "$bad_name" '<speak>bad'
row "name not UTF-8"           old_bad_name  "$bad_name" 1 "file name is not valid" old -- -w "$bad_name" "$sentence"
row "disk full"                full_disk     t.wav 1 "disk is full"           old  -- -w t.wav "$long"
row "disk full at the end"     full_at_last_flush t.wav 1 "disk is full"      old  -- -w t.wav "$sentence"
row "read-only folder"         read_only_folder t.wav 1 "file system is read-only"       old  -- -m 2 -w t.wav "<speak>$sentence</speak>"
# The next render after a kill sweeps what the killed one left.
row "after a killed render"    killed_render t.wav 0 ""                       new  -- -w t.wav "$sentence"

echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
