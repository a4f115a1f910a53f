#!/usr/bin/env bash
# lexavo-say used from the shell, as a person or a script would.
# Arguments: the lexavo-say program, the with-pulse script.
set -u
say=$1
with_pulse=$2
work=$(mktemp -d /tmp/lexavo-say-test-XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"
passed=0
failed=0

ok() {  # ok NAME COMMAND...
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); else echo "FAIL: $name"; failed=$((failed + 1)); fi
}
size() { stat -c %s "$1" 2>/dev/null || echo 0; }
is_wave() { [ "$(head -c 4 "$1" 2>/dev/null)" = RIFF ] && [ "$(head -c 12 "$1" | tail -c 4)" = WAVE ]; }
one_line_error() {  # one_line_error PATTERN COMMAND...: exit status 1, one line on stderr naming PATTERN
  local pattern=$1; shift
  "$@" >out.txt 2>err.txt
  local rc=$?
  [ $rc -eq 1 ] && [ "$(wc -l <err.txt)" -eq 1 ] && grep -q -- "$pattern" err.txt && [ ! -s out.txt ] ||
    { echo "  rc=$rc stderr: $(cat err.txt)"; return 1; }
}

ok "help explains the options" bash -c "'$say' --help | grep -q -- '-w FILE.wav'"
ok "list shows the voices, Mandarin first" bash -c "LANG=en_US.UTF-8 '$say' --list | head -1 | grep -q 'Mandarin Chinese'"
ok "list follows the interface language" bash -c "LANG=zh_CN.UTF-8 '$say' --list | head -1 | grep -q '中文普通话'"
ok "list has one line per voice file" bash -c "[ \$('$say' --list | wc -l) -eq \$(ls '$(dirname "$say")'/voices/*.voice | wc -l) ]"

"$say" -w text.wav 今天天气很好，我们去公园散步。
ok "renders arguments into a wave file" is_wave text.wav
ok "the wave file holds seconds of audio" [ "$(size text.wav)" -gt 100000 ]
echo "今天天气很好" | "$say" -w stdin.wav
ok "reads standard input when there is no text" is_wave stdin.wav
printf '从文件读出的文字。' >input.txt
"$say" -m 1 -w fromfile.wav input.txt
ok "mode 1 reads a text file" [ "$(size fromfile.wav)" -gt 50000 ]
"$say" -m 2 -w markup.wav '<speak>你好<break time="1s"/>你好</speak>'
ok "mode 2 reads markup" [ "$(size markup.wav)" -gt "$(size stdin.wav)" ]
"$say" -m 3 -w nothing.wav ignored
ok "mode 3 writes an empty wave file" [ "$(size nothing.wav)" -eq 44 ]

voice=$(LANG=en_US.UTF-8 "$say" --list | grep -m1 English)
LANG=en_US.UTF-8 "$say" -v "$voice" -w english.wav "hello there"
ok "a voice chosen by its description" is_wave english.wav
"$say" -r -10 -w slow.wav 今天天气很好
"$say" -r 10 -w fast.wav 今天天气很好
ok "rate -10 is far slower than rate 10" [ "$(size slow.wav)" -gt $(( $(size fast.wav) * 5 )) ]

cp text.wav keep.wav
ok "unknown voice" one_line_error 'no voice named' "$say" -v 'No Such Voice' -w keep.wav x
ok "rate out of range" one_line_error 'rate' "$say" -r 11 x
ok "rate not a number" one_line_error 'rate' "$say" -r fast x
ok "mode out of range" one_line_error 'mode' "$say" -m 4 x
ok "unknown option" one_line_error 'unknown option' "$say" --loud x
ok "missing folder" one_line_error 'does not exist' "$say" -w missing/out.wav x
ok "no folder was created" [ ! -e missing ]
mkdir folder
ok "a folder as the file" one_line_error 'is a folder' "$say" -w folder x
ok "malformed markup" one_line_error 'markup' "$say" -m 2 -w broken.wav '<speak>open'
ok "no file is left for malformed markup" [ ! -e broken.wav ]
ok "unknown voice left the file alone" cmp -s text.wav keep.wav
printf 'old' >readonly.wav && chmod 444 readonly.wav
ok "a read-only file" one_line_error 'read-only' "$say" -w readonly.wav x
ok "the read-only file is untouched" [ "$(cat readonly.wav)" = old ]
ok "huge standard input" one_line_error 'larger than 32 MiB' bash -c "head -c 33554433 /dev/zero | tr '\\0' a | '$say' -w big.wav"
ok "no file for huge standard input" [ ! -e big.wav ]
mkdir unknown-voice && printf '@ = Nobody\n[Attributes]\nVoice = nosuch\n' >unknown-voice/a.voice
ok "a voice the engine lacks" one_line_error 'x.wav was not written: the voice or value asked for was not found' \
  env LEXAVO_VOICES="$work/unknown-voice" "$say" -w x.wav 你好
mkdir empty-engine
ok "engine data missing" one_line_error 'not available' env LEXAVO_ENGINE_DATA="$work/empty-engine" "$say" -w x.wav x

ok "speaks aloud and waits until done" "$with_pulse" "$say" -r 10 你好
ok "no sound server" one_line_error 'audio output is not available' env PULSE_SERVER=unix:/nonexistent/socket "$say" 你好
# A server that stops answering mid-speech (SIGSTOP): an output failure within seconds, not a hang.
ok "a stuck sound server" one_line_error 'did not answer in time' "$with_pulse" bash -c \
  "('$say' 今天天气很好，我们去公园散步。今天天气很好，我们去公园散步。 & sleep 0.5; kill -STOP \$LEXAVO_PULSE_PID; wait \$!); s=\$?; kill -CONT \$LEXAVO_PULSE_PID; exit \$s"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
