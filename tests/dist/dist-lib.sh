# Shared by the tests of the packages `make dist` makes (sourced, bash).
#
# Every test gets the folder the fixture test dist_make filled
# (scripts/make-dist --out DIST) and the Windows build's folder:
#   <test> DIST WINDOWS_BUILD
# and exits 0 when every check held, 1 when one failed, 77 when it does not
# apply (the Windows programs were not built).

set -uo pipefail

dist=${1:?usage: $0 DIST WINDOWS_BUILD}
windows_build=${2:?usage: $0 DIST WINDOWS_BUILD}
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
version=$(tr -d ' \n' <"$source_dir/packaging/VERSION")
deb=$dist/quarb_${version}_amd64.deb
zip=$dist/quarb-$version-windows-x86_64.zip
programs=(quarb quarb-disk quarb-pack quarb-extract)

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
pass() { echo "ok: $*"; }
# check DESCRIPTION COMMAND...: runs the command, counts a failure when it fails.
check() {
  local what=$1
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}
finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
  fi
  exit 0
}
skip() {
  echo "skipped: $*"
  exit 77
}

# Whether the Windows programs exist (all four), as scripts/make-dist decides.
windows_built() {
  local p
  for p in "${programs[@]}"; do [ -f "$windows_build/bin/$p.exe" ] || return 1; done
}

[ -f "$deb" ] || { echo "FAIL: $deb is missing (the test dist_make makes it)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/quarb-dist-test.XXXXXX")
cleanup() {
  # The programs this test started and has not waited for yet.
  local pid
  for pid in $(jobs -p); do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

# unpack DIR: the package's files under DIR, as dpkg would install them.
unpack() {
  dpkg-deb -x "$deb" "$1"
}

# Whether the 32-bit float samples in FILE hold sound: at least 0.05 s of
# samples (of 44100 Hz stereo) above -60 dB and a peak above -40 dB.
sounds() {
  local file=$1
  [ -s "$file" ] || { echo "  $file is empty" >&2; return 1; }
  od -An -v -tf4 -w4 "$file" | awk '
    { v = $1 < 0 ? -$1 : $1; if (v > peak) peak = v; if (v > 0.001) loud++; n++ }
    END {
      printf "  %d samples, peak %.4f, %d above 0.001\n", n, peak, loud > "/dev/stderr"
      exit !(n >= 44100 && peak > 0.01 && loud >= 4410)
    }'
}

# wait_exit PID SECONDS: waits for a process this shell started to end and
# sets exit_status to its status, or to "timeout" (killing it) when it does
# not end in time. Not in a subshell: only this shell can wait for it.
exit_status=""
wait_exit() {
  local pid=$1 tenths=$(($2 * 10))
  while [ "$tenths" -gt 0 ] && kill -0 "$pid" 2>/dev/null; do
    sleep 0.1
    tenths=$((tenths - 1))
  done
  if kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    exit_status=timeout
    return
  fi
  exit_status=0
  wait "$pid" || exit_status=$?
}

# play PROGRAM RAW TITLE: runs a player on the X display as a user does, its
# sound recorded to RAW by SDL's disk driver. Checks that its window
# "QUARB II" appears, that with another window active its title names the
# song TITLE (what it plays: the first entry of its disk), that Escape ends
# it with status 0 and that what it played is not silence. Needs DISPLAY
# (scripts/with-xvfb) and a window manager.
play() {
  local program=$1 raw=$2 title=$3 name
  name=$(basename "$program")
  rm -f "$raw"
  SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$raw "$program" >"$raw.log" 2>&1 &
  local player=$!
  local window
  window=$(timeout 20 xdotool search --sync --onlyvisible --name '^QUARB II$' 2>/dev/null | head -n1)
  if [ -z "$window" ]; then
    fail "$name: the window \"QUARB II\" did not appear within 20 s"
    sed 's/^/  /' "$raw.log" >&2
    return
  fi
  pass "$name: the window \"QUARB II\" appeared"
  sleep 1.5

  # Another window active: the title shows what plays.
  xmessage -title quarb-dist-other -geometry +0+0 other >/dev/null 2>&1 &
  local other=$!
  local other_window
  other_window=$(timeout 10 xdotool search --sync --onlyvisible --name '^quarb-dist-other$' 2>/dev/null | head -n1)
  if [ -n "$other_window" ] && xdotool windowactivate --sync "$other_window" >/dev/null 2>&1 &&
     timeout 10 xdotool search --sync --name "^QUARB II - \\[ $title \\]\$" >/dev/null 2>&1; then
    pass "$name: inactive, its title is \"QUARB II - [ $title ]\""
  else
    fail "$name: inactive, its title is not \"QUARB II - [ $title ]\": $(xdotool getwindowname "$window" 2>&1)"
  fi
  kill "$other" 2>/dev/null
  wait "$other" 2>/dev/null

  # A real key press to the focused player.
  xdotool windowactivate --sync "$window" >/dev/null 2>&1
  xdotool key Escape
  wait_exit "$player" 10
  if [ "$exit_status" = 0 ]; then
    pass "$name: Escape ended it with status 0"
  else
    fail "$name: after Escape, status $exit_status"
    sed 's/^/  /' "$raw.log" >&2
  fi
  check "$name: the sound it played is not silence" sounds "$raw"
}
