#!/usr/bin/env bash
# The real program under a private X server, driven and read with xdotool.
# Arguments: the program's folder, the scripts folder.
set -u
bin=$1
scripts=$2
work=$(mktemp -d /tmp/lexavo-program-test-XXXXXX)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; rm -rf "$work"' EXIT
passed=0
failed=0
ok() {
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); else echo "FAIL: $name"; failed=$((failed + 1)); fi
}

# The id of a visible window with this exact title, waiting up to 10 s.
wait_window() {
  local title=$1 id
  for _ in $(seq 200); do
    id=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.05
  done
  return 1
}
visible() { [ -n "$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null)" ]; }
# Presses Return in a window (the default button of a message box).
press_return() { xdotool windowfocus --sync "$1" 2>/dev/null; xdotool key Return; }
# Waits for a process of this shell to end and sets `status` to its exit status. (Not in a
# command substitution: a subshell cannot wait for its parent's children.)
wait_exit() {
  local pid=$1 waited=0
  while kill -0 "$pid" 2>/dev/null && [ $waited -lt 400 ]; do sleep 0.05; waited=$((waited + 1)); done
  wait "$pid"
  status=$?
}
# Clicks the skin's close button of the main window at its stored place.
click_close() { xdotool mousemove 1061 70 click 1; }

# 1. Without engine data: the message first, then the window; closing it exits 0. Started
#    from another folder, the program works in its own.
mkdir "$work/empty" "$work/elsewhere"
(cd "$work/elsewhere" && LEXAVO_ENGINE_DATA="$work/empty" exec "$bin/lexavo") 2>/dev/null &
pid=$!; pids+=("$pid")
box=$(wait_window "信息：")
ok "the missing-engine message is shown" [ -n "$box" ]
ok "the window is not shown before the message is closed" bash -c "! xdotool search --onlyvisible --name '^LexavoV1.0\$' >/dev/null 2>&1"
ok "the current directory is the program's folder" [ "$(readlink /proc/$pid/cwd)" = "$(cd "$bin" && pwd -P)" ]
press_return "$box"
main=$(wait_window "LexavoV1.0")
ok "the window opens after the message" [ -n "$main" ]
click_close
wait_exit "$pid"
ok "closing the window exits 0" [ "$status" = 0 ]

# 2. With the engine: the window comes up and closes with 0.
"$bin/lexavo" 2>/dev/null &
pid=$!; pids+=("$pid")
main=$(wait_window "LexavoV1.0")
ok "the window opens" [ -n "$main" ]
ok "no message is shown" bash -c "! xdotool search --onlyvisible --name '^信息：\$' >/dev/null 2>&1"
ok "the window stands at 50,50, 1033 x 736" bash -c "xdotool getwindowgeometry '$main' | grep -q 'Position: 50,50' && xdotool getwindowgeometry '$main' | grep -q 'Geometry: 1033x736'"
click_close
wait_exit "$pid"
ok "closing exits 0" [ "$status" = 0 ]

# 3. A window definition that cannot be read: the run time's error box, then exit code 255.
for broken in garbage missing; do
  copy="$work/copy-$broken"
  cp -r "$bin" "$copy"
  if [ "$broken" = garbage ]; then echo 'not a window definition' >"$copy/MainWindow.ui"; else rm "$copy/MainWindow.ui"; fi
  "$copy/lexavo" 2>/dev/null &
  pid=$!; pids+=("$pid")
  box=$(wait_window "运行时错误")
  ok "$broken definition: the error box is shown" [ -n "$box" ]
  press_return "$box"
  wait_exit "$pid"
  ok "$broken definition: exit code 255" [ "$status" = 255 ]
done

# 4. No display to reach, named or not: one line, exit code 255, no abort.
for display in "" ":999"; do
  DISPLAY=$display WAYLAND_DISPLAY= QT_QPA_PLATFORM= timeout 20 "$bin/lexavo" >"$work/out.txt" 2>"$work/err.txt"
  status=$?
  ok "DISPLAY='$display': exit code 255" [ "$status" = 255 ]
  ok "DISPLAY='$display': one line naming the display" \
    bash -c "[ \$(wc -l <'$work/err.txt') -eq 1 ] && grep -q 'no display to open the window on' '$work/err.txt'"
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
