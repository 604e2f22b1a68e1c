#!/usr/bin/env bash
# Runs the Windows build (vorlind.exe) under Wine and the Linux build side by side on every case
# of the conformance suite, on the demo event and on names beyond ASCII (the dialogue through a
# Windows-1252 Skarrow.ini, the command line with Cyrillic, CJK and German names, dropped
# replays), and compares exit code, console output, standard error, the report and every other
# file of the working folder, modulo the documented platform differences (see compare_case), and
# the JSON that `export --json` writes for the demo event. Fails on the first case that differs
# otherwise.
#
# usage: tests/wine_check.sh LINUX_VORLIND VORLIND_EXE MKEVENT [CONFORMANCE_DIR]
# Wine runs without a display in a fresh prefix under a temporary folder; standard input is a file.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
linux_bin="$(realpath "${1:?usage: $0 LINUX_VORLIND VORLIND_EXE MKEVENT [CONFORMANCE_DIR]}")"
exe="$(realpath "${2:?missing VORLIND_EXE}")"
mkevent="$(realpath "${3:?missing MKEVENT}")"
suite="${4:-$here/../../shared/conformance}"

wine_bin=""
for candidate in wine64 wine /usr/lib/wine/wine64; do
  if command -v "$candidate" >/dev/null 2>&1; then wine_bin="$(command -v "$candidate")"; break; fi
done
[ -n "$wine_bin" ] || { echo "wine check: no wine found (install wine64)" >&2; exit 1; }

root="$(mktemp -d "${TMPDIR:-/tmp}/vorlind-wine.XXXXXX")"
export WINEPREFIX="$root/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
# File names in UTF-8 on Linux, and Windows-1252 as Wine's ANSI code page.
export LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$root"
}
trap cleanup EXIT

started=$(date +%s)
echo "wine check: $("$wine_bin" --version 2>/dev/null || echo wine), prefix $WINEPREFIX"
if ! timeout 900 "$wine_bin" wineboot --init </dev/null >"$root/wineboot.log" 2>&1; then
  echo "wine check: wineboot failed" >&2
  cat "$root/wineboot.log" >&2
  exit 1
fi
timeout 300 wineserver -w || true
# One server for all runs, instead of one started and stopped for each; ended by cleanup.
wineserver -p
echo "wine check: prefix ready after $(( $(date +%s) - started )) s"

# The command interpreter's own pause prompt, with nothing to read on standard input.
: >"$root/empty"
(cd "$root" && timeout 120 "$wine_bin" cmd /c PAUSE <"$root/empty" >"$root/pause.txt" 2>/dev/null) || true
if [ ! -s "$root/pause.txt" ]; then
  echo "wine check: the command interpreter's PAUSE printed nothing" >&2
  exit 1
fi
echo "wine check: PAUSE prints '$(cat "$root/pause.txt")'"

# Runs one event in fresh copies for both builds: run_case NAME INPUT_DIR ANSWERS_FILE [OLD_FILE]
# An OLD_FILE is put into both working folders with a line of text before the runs: the report
# of that name must replace it. The arguments in case_args are given to both; a leading "@" in
# one stands for the working folder as an absolute path, as Explorer names dropped files.
case_args=()
run_case() {
  local name="$1" input="$2" answers="$3" old="${4:-}" case="$root/cases/$1"
  mkdir -p "$case"
  cp -r "$input" "$case/input"
  chmod -R u+w "$case/input"
  cp -r "$case/input" "$case/linux"
  cp -r "$case/input" "$case/windows"
  if [ -n "$old" ]; then
    echo "an older report" >"$case/linux/$old"
    echo "an older report" >"$case/windows/$old"
  fi
  local rc=0
  local windows_dir="Z:${case//\//\\}\\windows"
  (cd "$case/linux" && timeout 300 "$linux_bin" "${case_args[@]/#@/$case/linux}" <"$answers" \
    >"$case/linux.out" 2>"$case/linux.err") || rc=$?
  echo "$rc" >"$case/linux.rc"
  rc=0
  (cd "$case/windows" && timeout 600 "$wine_bin" "$exe" "${case_args[@]/#@/$windows_dir}" \
    <"$answers" >"$case/windows.out" 2>"$case/windows.err") || rc=$?
  # Where the dropped replays' report went, as "@" and the rest of the path with "/".
  LINUX_DIR="$case/linux" perl -pi -e 's/\Q$ENV{LINUX_DIR}\E/@/' "$case/linux.out"
  WINDOWS_DIR="$windows_dir" perl -pi -e 'tr|\\|/| if s/\Q$ENV{WINDOWS_DIR}\E/@/' "$case/windows.out"
  echo "$rc" >"$case/windows.rc"
  if [ "$rc" = 124 ]; then
    echo "wine check: $name: vorlind.exe did not end within 600 s" >&2
  fi
}

# Text as the Windows build writes it: every "\n" as "\r\n", and for the console (with the
# pause prompt as a second argument) the command interpreter's PAUSE prompt where the Linux build
# prints its own pause line.
windows_text() {
  perl -0777 -pe 'BEGIN { $pause = ""; if (@ARGV > 1) { local $/; open(my $p, "<:raw", shift)
    or die; $pause = <$p> } } s/\n/\r\n/g;
    s/Press any key to continue \. \. \. \r\n/$pause/g if $pause ne ""' "$@"
}

# compare_case CASE_DIR: the Windows run against the Linux run of one case. The same exit code,
# the same files, each as windows_text of the Linux one, and input files unchanged. Prints each
# difference; false when there is one.
compare_case() {
  local case="$1" ok=0 name expected
  cmp -s "$case/linux.rc" "$case/windows.rc" ||
    { echo "  exit code: Linux $(cat "$case/linux.rc"), Windows $(cat "$case/windows.rc")"; ok=1; }
  windows_text "$root/pause.txt" "$case/linux.out" >"$case/expected.out"
  cmp "$case/expected.out" "$case/windows.out" | sed 's/^/  console: /' || ok=1
  windows_text "$case/linux.err" >"$case/expected.err"
  cmp "$case/expected.err" "$case/windows.err" | sed 's/^/  standard error: /' || ok=1
  for side in linux windows; do (cd "$case/$side" && find . -type f | sort) >"$case/$side.files"; done
  diff "$case/linux.files" "$case/windows.files" |
    sed -n 's/^< /  written on Linux only: /p; s/^> /  written on Windows only: /p' || ok=1
  while read -r name; do
    expected="$case/input/$name"
    if [[ "$name" == *.json || "$name" == *.gif ]]; then  # written as binary
      expected="$case/linux/$name"
    elif [ ! -f "$expected" ]; then
      expected="$case/expected.file"
      windows_text "$case/linux/$name" >"$expected"
    fi
    cmp "$expected" "$case/windows/$name" | sed "s|^|  $name: |" || ok=1
  done < <(comm -12 "$case/linux.files" "$case/windows.files")
  return $ok
}

names=()
if [ -d "$suite" ]; then
  for dir in "$suite"/*/; do
    [ -f "$dir/answers.txt" ] && [ -d "$dir/input" ] || continue
    name="$(basename "$dir")"
    run_case "$name" "$dir/input" "$dir/answers.txt"
    names+=("$name")
  done
  # A report written over an older one of the same name (renamed over it on both systems).
  for dir in "$suite"/*/; do
    name="$(basename "$dir")"
    report="$(cd "$dir/expected/files" 2>/dev/null && ls ./*.html 2>/dev/null | head -n 1)" || true
    [ -n "$report" ] || continue
    run_case "$name-over-old-report" "$dir/input" "$dir/answers.txt" "${report#./}"
    names+=("$name-over-old-report")
    break
  done
else
  echo "wine check: no conformance suite at $suite; its cases are skipped"
fi

"$mkevent" demo "$root/demo-event" >/dev/null
run_case demo "$root/demo-event" "$root/demo-event/answers.txt"
names+=(demo)

# Names beyond ASCII, on a small event. The dialogue's Skarrow.ini is in Windows-1252: Linux opens
# the folder of those bytes, Windows the folder that Wine names in UTF-8 on the Linux side.
event="$root/unicode-event"
"$mkevent" scenario 36fps "$event" >/dev/null
mkdir "$event/Jürgen Läufer" "$event/$(printf 'J\xfcrgen L\xe4ufer')"
cp -r "$event/replays" "$event/Jürgen Läufer/"
cp -r "$event/replays" "$event/$(printf 'J\xfcrgen L\xe4ufer')/"
printf 'J\xfcrgen L\xe4ufer\\replays\\\r\n' >"$event/Skarrow.ini"
run_case dialogue-ansi-path "$event" "$event/answers.txt"
rm -r "$event/Jürgen Läufer" "$event/$(printf 'J\xfcrgen L\xe4ufer')"
mv "$event/replays/s36fps_a.rpy" "$event/replays/Гонка.rpy"
mv "$event/replays/s36fps_b.rpy" "$event/replays/比赛.rpy"
mkdir "$event/Ergebnisse Jörg" "$event/Läufe"
cp "$event/replays/Гонка.rpy" "$event/replays/Rennen Straße.rpy"
cp "$event/replays/Гонка.rpy" "$event/replays/比赛.rpy" "$event/Läufe/"
case_args=(report --out "Ergebnisse Jörg/Bericht.html" replays/Гонка.rpy replays/比赛.rpy)
run_case report-unicode-names "$event" "$root/empty"
case_args=(export --json event.json "replays/Rennen Straße.rpy")
run_case export-json-sharp-s "$event" "$root/empty"
case_args=(report "Jürgen fehlt.rpy")
run_case missing-umlaut-name "$event" "$root/empty"
case_args=(@/Läufe/Гонка.rpy @/Läufe/比赛.rpy)
run_case dropped-replays "$event" "$root/empty"
case_args=()
names+=(dialogue-ansi-path report-unicode-names export-json-sharp-s missing-umlaut-name
  dropped-replays)

# The comparison must notice a difference: a stray line end in the Windows report of the demo.
self="$root/cases/self-check"
cp -r "$root/cases/demo" "$self"
report="$(cd "$self/windows" && ls ./*.html | head -n 1)"
printf '\n' >>"$self/windows/$report"
if compare_case "$self" >/dev/null; then
  echo "wine check: the comparison missed a changed report" >&2
  exit 1
fi

failed=0
# What each of those runs must show beside the equality of both builds.
expect() {
  "$@" || { echo "  WRONG  ${*: -1}: ${*:1:$#-1}" >&2; failed=$((failed + 1)); }
}
cases="$root/cases"
expect grep -q 'file name:   ?????All ' "$cases/report-unicode-names/linux/Ergebnisse Jörg/Bericht.html"
expect grep -qF '"replay":"replays/Rennen Straße.rpy"' "$cases/export-json-sharp-s/linux/event.json"
expect grep -qx 'vorlind: Jürgen fehlt.rpy: not found' "$cases/missing-umlaut-name/linux.err"
expect test -f "$cases/dropped-replays/linux/Läufe/ГонкаAll.html"
expect grep -qx 'Report written to @/Läufe/ГонкаAll.html' "$cases/dropped-replays/linux.out"
expect test -f "$cases/dialogue-ansi-path/linux/s36fps_aAll.html"
for name in "${names[@]}"; do
  if compare_case "$root/cases/$name" >&2; then
    echo "  same   $name"
  else
    echo "  DIFFER $name (above)"
    failed=$((failed + 1))
  fi
done
# The JSON export of the demo event: the same bytes from both builds, and exit code 0.
json_case="$root/cases/demo-export-json"
mkdir -p "$json_case"
cp -r "$root/demo-event" "$json_case/linux"
cp -r "$root/demo-event" "$json_case/windows"
replays=()
for replay in "$root/demo-event"/replays/*.rpy; do replays+=("replays/$(basename "$replay")"); done
json_rc=0
(cd "$json_case/linux" && "$linux_bin" export --json event.json "${replays[@]}") || json_rc=$?
(cd "$json_case/windows" && timeout 600 "$wine_bin" "$exe" export --json event.json \
  "${replays[@]}" 2>/dev/null) || json_rc=$?
names+=(demo-export-json)
if [ "$json_rc" = 0 ] && [ -s "$json_case/linux/event.json" ] &&
   cmp "$json_case/linux/event.json" "$json_case/windows/event.json"; then
  echo "  same   demo-export-json"
else
  echo "  DIFFER demo-export-json (exit code $json_rc, or the JSON files differ)"
  failed=$((failed + 1))
fi
elapsed=$(( $(date +%s) - started ))
if [ "$failed" -gt 0 ]; then
  echo "wine check: $failed of ${#names[@]} runs differ from the Linux runs (${elapsed} s)" >&2
  exit 1
fi
echo "wine check: all ${#names[@]} runs match the Linux runs (${elapsed} s)"
