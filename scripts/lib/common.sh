# Shared by the scripts: packages, the two builds, a private Wine and a virtual display.
# Source it; it defines functions and sets ROOT.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# Everything the build, the tests and the screenshots need, all from Debian (fonts-wine: the
# Marlett font in which Wine draws a window's caption buttons).
PACKAGES=(cmake ninja-build g++ googletest python3 g++-mingw-w64-x86-64-posix
  wine wine64 xvfb xauth x11-utils xdotool fonts-wqy-microhei fonts-wine imagemagick file
  unicode-data python3-yaml)

say() { printf '==> %s\n' "$*" >&2; }

ensure_packages() {
  local missing=() pkg
  for pkg in "${PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  say "installing ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

build_preset() {
  local preset=$1
  say "building preset $preset"
  cmake --preset "$preset" -S "$ROOT" >/dev/null
  cmake --build --preset "$preset" >/dev/null || cmake --build --preset "$preset"
}

# A Wine prefix of our own under build/ (never the user's), its server kept warm until
# wine_stop, Chinese UI fonts mapped to an installed CJK font. With a second argument such as
# 1024x768, every program runs in a Wine virtual desktop of that size: no window manager is
# needed, and focus and placement are the same on every run.
wine_start() {
  export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
  local desktop=${2:-}
  local fresh=0
  [ -d "$WINEPREFIX/drive_c" ] || fresh=1
  mkdir -p "$WINEPREFIX"
  wineserver -p </dev/null >/dev/null 2>&1
  wine cmd /c exit </dev/null >/dev/null 2>&1
  if [ $fresh -eq 1 ]; then
    # Debian's Wine does not look where fonts-wine puts Marlett, with which it draws the caption
    # buttons (else shown as the letters 0 1 r): the prefix's own font folder has it.
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    local font
    for font in "Tahoma" "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif" "MS Sans Serif" \
      "System" "Segoe UI" "Microsoft YaHei" "Microsoft YaHei UI" "SimSun"; do
      (cd "$WINEPREFIX" && wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" \
        /d "WenQuanYi Micro Hei" /f) </dev/null >/dev/null 2>&1
    done
    if [ -n "$desktop" ]; then
      (cd "$WINEPREFIX" && wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f &&
        wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$desktop" /f) \
        </dev/null >/dev/null 2>&1
    fi
    # The desktop process of the first boot predates these settings: start everything afresh.
    wineserver -k </dev/null >/dev/null 2>&1
    wineserver -w </dev/null >/dev/null 2>&1
    wineserver -p </dev/null >/dev/null 2>&1
    wine cmd /c exit </dev/null >/dev/null 2>&1
  fi
}

# Gives the prefix the verbs of executables that Windows ships, runasuser among them.
wine_seed_windows_verbs() {
  (cd "$WINEPREFIX" && wine reg import "$(winepath -w "$ROOT/tests/windows-verbs.reg")") \
    </dev/null >/dev/null 2>&1
}

wine_stop() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k </dev/null >/dev/null 2>&1 || true
}

# A virtual X display for the whole run, unless one is given.
XVFB_PID=""
display_start() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  XVFB_PID=$!
  local number
  read -r number <"$fifo"
  rm -f "$fifo"
  export DISPLAY=":$number"
}

display_stop() {
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  XVFB_PID=""
}
