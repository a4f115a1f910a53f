#!/usr/bin/env bash
# Hostile markup and voice files given to lexavo-say: each row's outcome, and, traced with
# strace, that no process is started and no file named in the input is opened.
# Arguments: the lexavo-say program.
set -u
say=$(realpath "$1")
readme=$(cd "$(dirname "$0")/../.." && pwd)/README.md
command -v strace >/dev/null || { echo "strace is needed (scripts/install-deps installs it)"; exit 1; }
work=$(mktemp -d /tmp/lexavo-hostile-test-XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
passed=0 failed=0

# A folder whose name would run a command if it ever reached a shell.
mkdir -p 'y$(touch INJECTED)'
bait="$work/"'y$(touch INJECTED)/bait.txt'
printf 'not a wave file' >"$bait"
voices=$work/voices
mkdir "$voices"
cp "$(dirname "$say")"/voices/*.voice "$voices/"

# row NAME STATUS MESSAGE -- ARGS...: lexavo-say ARGS under strace
row() {
  local name=$1 status=$2 message=$3
  shift 4
  rm -f INJECTED trace.* err.txt
  # No sound server is named, so the client library does not try to start one. LeakSanitizer
  # cannot run under ptrace: in a sanitizer build it would fail every traced run at its exit.
  ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 \
    PULSE_SERVER=unix:$work/no-server LEXAVO_VOICES=$voices strace -f -qq -e trace=execve,open,openat -o trace timeout 60 "$say" "$@" >/dev/null 2>err.txt
  local rc=$? why=()
  [ "$rc" -eq "$status" ] || why+=("exit status $rc, not $status")
  [ -z "$message" ] || grep -aq -- "$message" err.txt || why+=("no message naming '$message'")
  # One execve for timeout, one for the program; nothing after.
  local runs
  runs=$(grep -c 'execve(' trace 2>/dev/null)
  [ "$runs" -le 2 ] || why+=("a process was started: $(grep -h 'execve(' trace | tail -n 1)")
  # The bait, or any path climbing out of a folder (the engine makes paths of voice names).
  local opened
  opened=$(grep -E '^[0-9]+ +open(at)?\(' trace | grep -e 'bait\.txt' -e '\.\./' | head -n 1)
  [ -z "$opened" ] || why+=("a named file was opened: $opened")
  [ ! -e INJECTED ] || why+=("a command ran")
  if [ ${#why[@]} -eq 0 ]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $name: ${why[*]}"; fi
}

refused="reaches outside the text"
row "audio"                  1 "$refused" -- -m 2 -w o.wav "<speak>hi<audio src=\"$bait\"/></speak>"
row "audio, spoken"          1 "$refused" -- -m 2 "<speak>hi<audio src=\"$bait\">alt</audio></speak>"
row "audio of /etc/passwd"   1 "$refused" -- -m 2 -w o.wav '<speak>hi<audio src="/etc/passwd"/></speak>'
row "voice variant as a path" 1 "$refused" -- -m 2 -w o.wav '<speak><voice name="en+../../../../etc/passwd">x</voice></speak>'
row "voice as a path"        1 "$refused" -- -m 2 -w o.wav '<speak><voice name="../../../../etc/passwd">x</voice></speak>'
row "language as a path"     1 "$refused" -- -m 2 -w o.wav '<speak xml:lang="../../../../etc/passwd">x</speak>'
row "external entity"        1 "$refused"         -- -m 2 -w o.wav '<?xml version="1.0"?><!DOCTYPE s [<!ENTITY x SYSTEM "/etc/passwd">]><speak>&x;</speak>'
row "plain text is not markup" 0 ""       -- -w o.wav "<audio src=\"$bait\"/>"

# Voice files: a variant naming a path, and the README's own example with its comments.
printf '@ = Sneaky\n[Attributes]\nVoice = en\nVariant = ../../../../etc/passwd\n' >"$voices/00-sneaky.voice"
row "voice file variant as a path" 0 "00-sneaky.voice skipped" -- -w o.wav hello
rm "$voices/00-sneaky.voice"
printf '@ = Long\n[Attributes]\nVoice = en\nVariant = %s\n' "$(head -c 40 /dev/zero | tr '\0' a)" >"$voices/00-long.voice"
row "voice file long variant" 0 "00-long.voice skipped" -- -w o.wav hello
rm "$voices/00-long.voice"
sed -n '/^```$/,/^```$/p' "$readme" | sed -n '/^@ = /,/^Gender/p' >"$voices/00-readme.voice"
row "the README's voice file" 0 "" -- -v "Lexavo Mandarin Chinese (Male)" -w o.wav 你好

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
