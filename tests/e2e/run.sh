#!/usr/bin/env bash
# End to end, as a person would: starts the built verbwright.exe under Wine, drives it with real
# mouse and keyboard input through xdotool, and checks the screen (through probe.exe) and the
# registry (through wine reg). Expects DISPLAY and a warm WINEPREFIX (scripts/test sets both up);
# screenshots of every step go to build/e2e/. Ends with "e2e: N passed, M failed".
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bin=$root/build/windows
shots=$root/build/e2e
rm -rf "$shots"
mkdir -p "$shots"
export LC_ALL=C.UTF-8

# Control ids of the main window, read from its design (app/form_design.h): kFolderList becomes
# FOLDER_LIST, numbered as the enum numbers it.
eval "$(awk '/enum class ControlId/ { inside = 1; next }
  inside && /};/ { inside = 0 }
  inside && /k[A-Za-z]+/ {
    gsub(/[ ,]/, ""); split($0, part, "=")
    number = part[2] != "" ? part[2] : number + 1
    name = substr(part[1], 2); gsub(/[A-Z]/, "_&", name)
    print toupper(substr(name, 2)) "=" number
  }' "$root/app/form_design.h")"
for id in FOLDER_LIST FILE_LIST ENTRY_LIST CAPTION_BOX ADD_BUTTON REMOVE_BUTTON; do
  if [ -z "${!id:-}" ]; then
    echo "no id for $id in app/form_design.h"
    echo "e2e: 0 passed, 1 failed"
    exit 1
  fi
done

passed=0
failed=0
step=0
check() {  # check NAME EXPECTED ACTUAL
  if [ "$2" == "$3" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    printf 'e2e FAILED: %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3" >&2
  fi
}
# Input reaches the program asynchronously: a state is polled for up to 10 s before it fails.
expect() {  # expect NAME EXPECTED COMMAND...
  local name=$1 expected=$2 actual=""
  shift 2
  for _ in $(seq 1 50); do
    actual=$("$@")
    [ "$actual" == "$expected" ] && break
    sleep 0.2
  done
  check "$name" "$expected" "$actual"
}
probe() { wine "$bin/probe.exe" "$@" 2>/dev/null | tr -d '\r'; }
times_listed() { probe items $ENTRY_LIST | grep -cx "$1"; }
box_first_line() { probe box "$1" | head -1; }
app_state() { kill -0 "$app" 2>/dev/null && echo running; }
shot() {
  step=$((step + 1))
  import -window root "$shots/$(printf '%02d' $step)-$1.png" 2>/dev/null || true
}
click_at() { xdotool mousemove "$1" "$2" click --repeat "${3:-1}" --delay 120 1; sleep 0.4; }
click_control() { click_at $(probe center "$1"); }
click_item() { click_at $(probe item "$1" "$2") "${3:-1}"; }
key() { xdotool key --delay 80 "$@"; sleep 0.3; }
verb_query() {  # the command line of an entry, or "absent"; reg export keeps Unicode intact
  local file="$shots/query.reg"
  rm -f "$file"
  (cd "$WINEPREFIX" && wine reg export "HKCR\\exefile\\shell\\$1\\command" "$(winepath -w "$file")" /y) \
    >/dev/null 2>&1
  if [ ! -s "$file" ]; then
    printf 'absent'
    return
  fi
  iconv -f UTF-16 -t UTF-8 "$file" | tr -d '\r' | sed -n 's/^@="\(.*\)"$/\1/p' |
    sed -e 's/\\"/"/g' -e 's/\\\\/\\/g'
}

# Windows' own verbs (scripts/test seeded them), value for value, to compare at the end.
system_verbs() {
  local verb file="$shots/system-verbs.reg"
  for verb in open runas runasuser; do
    rm -f "$file"
    (cd "$WINEPREFIX" && wine reg export "HKLM\\Software\\Classes\\exefile\\shell\\$verb" \
      "$(winepath -w "$file")" /y) >/dev/null 2>&1
    [ -s "$file" ] && iconv -f UTF-16 -t UTF-8 "$file" | tr -d '\r' | grep -v '^Windows Registry'
  done
}
system_verbs_before=$(system_verbs)

# A folder of programs with a space and Chinese in its name, made current for the program.
work="$WINEPREFIX/drive_c/e2e"
rm -rf "$work"
mkdir -p "$work/我的 工具"
: >"$work/我的 工具/记事 本.exe"
: >"$work/我的 工具/readme.txt"
: >"$work/first.exe"

cd "$work"
wine "$bin/verbwright.exe" </dev/null >/dev/null 2>&1 &
app=$!
probe wait
sleep 1
shot start
expect "focus at start is on the add button" "$ADD_BUTTON" probe focus
expect "caption box shows its hint" "如：“用记事本打开”" probe text $CAPTION_BOX
expect "file list shows the folder's programs" "first.exe" probe items $FILE_LIST

# Tab four times reaches the caption box, which empties.
key Tab Tab Tab Tab
expect "four Tabs reach the caption box" "$CAPTION_BOX" probe focus
expect "the caption box empties when entered" "" probe text $CAPTION_BOX

# Open the folder by double-click, choose the program.
click_item $FOLDER_LIST "我的 工具" 2
shot folder-opened
expect "double-click opens the folder" "记事 本.exe" probe items $FILE_LIST
click_item $FILE_LIST "记事 本.exe"
shot program-chosen
expect "clicking a program suggests a caption" "用 记事 本 打开" probe text $CAPTION_BOX

# Add: confirm with Enter (OK is the default), then the success message.
click_control $ADD_BUTTON
box=$(probe box 确认)
shot add-confirmation
check "add asks for confirmation" "你确定把该项添加到右键菜单吗？|button: OK [default]|button: Cancel" "$(echo "$box" | sed -n '1p;/^button:/p' | paste -sd'|')"
check "the add confirmation names the entry and what it runs" "菜单项：记事 本|菜单文字：用 记事 本 打开|运行：\"C:\\e2e\\我的 工具\\记事 本.exe\" \"%1\"" "$(echo "$box" | sed -n '3,5p' | paste -sd'|')"
key Return
expect "success message" "搞定了，亲！快去试试吧！" box_first_line 完成
shot added
key Return
probe gone 完成
expect "the registry holds the quoted command" "\"C:\\e2e\\我的 工具\\记事 本.exe\" \"%1\"" verb_query '记事 本'
expect "the entry is listed" "1" times_listed '记事 本'

# Remove: Enter at the confirmation cancels (Cancel is the default); a click on OK removes.
click_item $ENTRY_LIST "记事 本"
click_control $REMOVE_BUTTON
box=$(probe box 确认)
shot remove-confirmation
check "remove asks with Cancel as default" "你确定要从右键菜单删除该项吗？|button: OK|button: Cancel [default]" "$(echo "$box" | sed -n '1p;/^button:/p' | paste -sd'|')"
check "the remove confirmation names the entry" "菜单项：记事 本" "$(echo "$box" | sed -n '3p')"
key Return
probe gone 确认
expect "Enter cancels the removal" "\"C:\\e2e\\我的 工具\\记事 本.exe\" \"%1\"" verb_query '记事 本'
click_control $REMOVE_BUTTON
click_at $(probe button 确认 OK)
probe gone 确认
shot removed
expect "the registry no longer holds the entry" "absent" verb_query '记事 本'
expect "the entry is no longer listed" "0" times_listed '记事 本'
check "the program still runs" "running" "$(app_state)"

# Windows' "Run as different user" is listed, but cannot be removed.
click_item $ENTRY_LIST "runasuser"
click_control $REMOVE_BUTTON
box=$(probe box 提示)
shot runasuser-refused
check "removing runasuser is refused" "yes" "$(echo "$box" | grep -q '以其他用户身份运行' && echo yes)"
key Return
probe gone 提示
check "open, runas and runasuser are unchanged, value for value" "$system_verbs_before" "$(system_verbs)"
check "the system verbs were there to compare" "3" "$(echo "$system_verbs_before" | grep -c '^\[.*shell\\[a-z]*\]$')"

wine taskkill /f /im verbwright.exe >/dev/null 2>&1 || true
kill $app 2>/dev/null
wait $app 2>/dev/null
echo "e2e: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
