#!/usr/bin/env bash
# Opens a report in headless Chromium the way a user's browser shows it, with the images folder
# beside it, and fails when an image does not load or a table of the report is missing. Takes a
# full-page screenshot into OUT_DIR. Given a charts page as well, it checks that its three charts
# are drawn at their size and screenshots it too; given a season's standings page, that its
# tables and chart are there and that resting on a driver's label highlights his line and row.
#
# usage: tests/browser_check.sh REPORT_DIR OUT_DIR [CHARTS_PAGE [STANDINGS_PAGE]]
# REPORT_DIR holds one *.html report with an event that has a race, and images/.
set -euo pipefail

report_dir="$(realpath "${1:?usage: $0 REPORT_DIR OUT_DIR [CHARTS_PAGE]}")"
mkdir -p "${2:?usage: $0 REPORT_DIR OUT_DIR [CHARTS_PAGE]}"
out_dir="$(realpath "$2")"
fail() { echo "browser check: $*" >&2; exit 1; }

browser="$(command -v chromium chromium-browser | head -n 1)" || true
[ -n "$browser" ] || fail "no chromium found (install chromium)"
reports=("$report_dir"/*.html)
[ -f "${reports[0]}" ] || fail "no report in $report_dir"
[ -d "$report_dir/images" ] || fail "no images folder in $report_dir"

root="$(mktemp -d "${TMPDIR:-/tmp}/vorlind-browser.XXXXXX")"
trap 'rm -rf "$root"' EXIT
width=1280

# browse PROFILE_NAME [options...] URL
browse() {
  local profile="$root/profile-$1"
  shift
  timeout 180 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$profile" --virtual-time-budget=10000 "$@" 2>>"$root/browser.log"
}

# What the browser made of a page once everything has loaded: the images and each one that did
# not load, the tables with their captions, each chart's drawn size, lines and title, what a
# standings page marks when the pointer rests on a label, and the page's height. A script added to a copy of the page writes it into the page, and --dump-dom
# gives the page back.
probe_script='<script>
window.addEventListener("load", function () {
  var lines = ["images " + document.images.length];
  Array.prototype.forEach.call(document.images, function (img) {
    if (!img.complete || img.naturalWidth === 0) lines.push("broken " + img.getAttribute("src"));
  });
  var tables = document.querySelectorAll("table");
  lines.push("tables " + tables.length);
  tables.forEach(function (table) {
    var caption = table.querySelector("caption");
    lines.push("caption " + (caption ? caption.textContent.trim() : "(none)"));
  });
  document.querySelectorAll("svg").forEach(function (svg) {
    var box = svg.getBoundingClientRect();
    lines.push("chart " + Math.round(box.width) + "x" + Math.round(box.height) + " " +
      svg.querySelectorAll("polyline").length + " lines: " + svg.querySelector("title").textContent);
  });
  // A standings page: what it marks when the pointer rests on the first label of its chart.
  var label = document.querySelector("svg text[data-series]");
  if (label) {
    var key = label.getAttribute("data-series");
    label.dispatchEvent(new MouseEvent("mouseenter"));
    var marked = Array.prototype.map.call(document.querySelectorAll(".highlight"), function (e) {
      return e.tagName.toLowerCase() + (e.getAttribute("data-series") === key ? "" : "(other)");
    });
    var faded = Array.prototype.filter.call(document.querySelectorAll("svg polyline"), function (e) {
      return getComputedStyle(e).opacity < 0.5;
    });
    lines.push("hover " + marked.sort().join(" ") + ", " + faded.length + " lines faded");
  }
  lines.push("height " + Math.ceil(document.documentElement.scrollHeight));
  var out = document.createElement("pre");
  out.textContent = "\nprobe-start\n" + lines.join("\n") + "\nprobe-end\n";
  document.body.appendChild(out);
});
</script>'

# probe PAGE: prints the probe's lines for PAGE (the charts page ends its body itself).
probe() {
  local page="$1" probed="${1%.html}-probe.html"
  { sed 's#</body>##; s#</html>##' "$page"; printf '%s\n</body></html>\n' "$probe_script"; } >"$probed"
  browse "probe-$(basename "$(dirname "$page")")" --window-size="$width,900" --dump-dom \
    "file://$probed" | sed -n '/^probe-start$/,/^probe-end$/p' | sed '1d;$d'
  rm -f "$probed"
}

# screenshot PAGE PNG PROBE_LINES: the whole page, in a window as tall as the page.
screenshot() {
  local height
  height="$(sed -n 's/^height //p' <<<"$3")"
  height=$((height > 16000 ? 16000 : height))
  rm -f "$2"
  browse "shot-$(basename "$2")" --window-size="$width,$height" --hide-scrollbars \
    --screenshot="$2" "file://$1" >/dev/null
  [ -s "$2" ] || { cat "$root/browser.log" >&2; fail "no screenshot of $1"; }
  echo "browser check: screenshot $2 (${width}x$height)"
}

# The tables of a race report in their order; SPEED only with speed values.
expected_captions() {
  local caption
  for caption in "RESULT" "CONSISTENCY" "LEADER" "FASTEST RACE LAPS" "FASTEST PRACTICE LAPS" \
    "DEVELOPMENT FASTEST LAP" "FASTEST RACE LAPS (ONLY ON TRACK)" \
    "FASTEST PRACTICE LAPS (ONLY ON TRACK)" "ON TRACK LAPS" "SPEED" "NUMBER OF FASTEST LAPS" \
    "SECTOR 1" "SECTOR 2" "SECTOR 3" "SECTOR 4"; do
    [ "$caption" = SPEED ] && [[ "$1" == *no_v.html ]] || echo "caption $caption"
  done
}

# check PROBE_LINES REPORT_NAME: prints each problem; true when there is none.
check() {
  local lines="$1" ok=0 found
  [ -n "$lines" ] || { echo "the page did not load or its script did not run"; return 1; }
  [ "$(sed -n 's/^images //p' <<<"$lines")" -gt 0 ] || { echo "the report shows no image"; ok=1; }
  if grep -q '^broken ' <<<"$lines"; then
    grep '^broken ' <<<"$lines" | sort | uniq -c |
      sed 's/^ *\([0-9]*\) broken \(.*\)/image \2 does not load (\1 times)/'
    ok=1
  fi
  found="$(grep '^caption ' <<<"$lines" || true)"
  if [ "$found" != "$(expected_captions "$2")" ]; then
    echo "the tables differ from those of a race report (expected, then found):"
    diff <(expected_captions "$2") <(echo "$found") | sed 's/^/    /' || true
    ok=1
  fi
  return $ok
}

name="$(basename "${reports[0]}")"
mkdir -p "$root/report" "$root/damaged"
cp "${reports[0]}" "$root/report/"
cp -r "$report_dir/images" "$root/report/images"
lines="$(probe "$root/report/$name")"
echo "browser check: $("$browser" --version 2>/dev/null | head -n 1)"
echo "browser check: $name: $(sed -n 's/^images //p' <<<"$lines") images," \
  "$(sed -n 's/^tables //p' <<<"$lines") tables"
if ! problems="$(check "$lines" "$name")"; then
  sed 's/^/  /' <<<"$problems" >&2
  fail "$name: the report does not show as it should"
fi

# The check must see damage: one image gone and one table taken out of a copy.
cp -r "$root/report/images" "$root/damaged/images"
rm "$root/damaged/images/$(ls "$root/damaged/images" | head -n 1)"
perl -0pe 's/<table[^>]*>(\s*<caption[^>]*>\s*CONSISTENCY\s*<\/caption>)/<div>$1/' \
  "$root/report/$name" >"$root/damaged/$name"
damaged_problems="$(check "$(probe "$root/damaged/$name")" "$name" || true)"
grep -q 'does not load' <<<"$damaged_problems" && grep -q 'tables differ' <<<"$damaged_problems" ||
  fail "a missing image and a missing table went unnoticed"
echo "browser check: every image loads and every table is there"
screenshot "$root/report/$name" "$out_dir/${name%.html}.png" "$lines"

if [ -n "${3:-}" ]; then
  mkdir -p "$root/charts"
  cp "$3" "$root/charts/charts.html"
  chart_lines="$(probe "$root/charts/charts.html")"
  sed -n 's/^chart /browser check: charts page: /p' <<<"$chart_lines"
  [ "$(grep -cE '^chart 120[0-2]x56[0-2] [1-9][0-9]* lines' <<<"$chart_lines" || true)" -eq 3 ] ||
    fail "the charts page does not show three charts of 1200x560 (and a border) with lines"
  screenshot "$root/charts/charts.html" "$out_dir/charts.png" "$chart_lines"
fi

[ -n "${4:-}" ] || exit 0
# check_standings PROBE_LINES: prints each problem; true when there is none.
check_standings() {
  local lines="$1" ok=0 drawn
  [ "$(grep '^caption ' <<<"$lines" | tr '\n' ,)" = "caption Drivers,caption Deductions,caption Makes," ] ||
    { echo "the tables are not Drivers, Deductions and Makes"; ok=1; }
  drawn="$(sed -n 's/^chart 120[0-2]x56[0-2] \([0-9]*\) lines: .*/\1/p' <<<"$lines")"
  [ "${drawn:-0}" -ge 2 ] || { echo "no chart of 1200x560 with lines"; ok=1; }
  grep -qE "^hover polyline text tr, $((drawn - 1)) lines faded$" <<<"$lines" ||
    { echo "resting on a label does not highlight that driver alone: $(grep '^hover' <<<"$lines")"; ok=1; }
  return $ok
}

mkdir -p "$root/standings"
cp "$4" "$root/standings/standings.html"
standings_lines="$(probe "$root/standings/standings.html")"
sed -n 's/^\(chart\|hover\) /browser check: standings page: \1 /p' <<<"$standings_lines"
if ! problems="$(check_standings "$standings_lines")"; then
  sed 's/^/  /' <<<"$problems" >&2
  fail "the standings page does not show as it should"
fi
# The check must see a page whose script is gone.
sed 's#<script>#<script type="text/plain">#' "$4" >"$root/standings/inert.html"
! check_standings "$(probe "$root/standings/inert.html")" >/dev/null ||
  fail "a standings page without its script went unnoticed"
echo "browser check: the standings page shows its tables and chart, and highlights a driver"
screenshot "$root/standings/standings.html" "$out_dir/standings.png" "$standings_lines"
