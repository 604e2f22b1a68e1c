#!/usr/bin/env bash
# Opens a report in headless Chromium the way a user's browser shows it, with the images folder
# beside it, and fails when an image does not load or a table of the report is missing. Takes a
# full-page screenshot into OUT_DIR. Given a charts page as well, it checks that its three charts
# are drawn at their size and screenshots it too.
#
# usage: tests/browser_check.sh REPORT_DIR OUT_DIR [CHARTS_PAGE]
# REPORT_DIR holds one *.html report with an event that has a race, and images/.
set -euo pipefail

report_dir="$(realpath "${1:?usage: $0 REPORT_DIR OUT_DIR}")"
out_dir="${2:?usage: $0 REPORT_DIR OUT_DIR}"
mkdir -p "$out_dir"
out_dir="$(realpath "$out_dir")"

browser=""
for candidate in chromium chromium-browser; do
  if command -v "$candidate" >/dev/null 2>&1; then browser="$(command -v "$candidate")"; break; fi
done
[ -n "$browser" ] || { echo "browser check: no chromium found (install chromium)" >&2; exit 1; }

reports=("$report_dir"/*.html)
[ -f "${reports[0]}" ] || { echo "browser check: no report in $report_dir" >&2; exit 1; }
report="${reports[0]}"
[ -d "$report_dir/images" ] || { echo "browser check: no images folder in $report_dir" >&2; exit 1; }

root="$(mktemp -d "${TMPDIR:-/tmp}/vorlind-browser.XXXXXX")"
trap 'rm -rf "$root"' EXIT
width=1280

# Runs the browser on a page: browse PROFILE_NAME [options...] URL
browse() {
  local profile="$root/profile-$1"
  shift
  rm -rf "$profile"
  timeout 180 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$profile" --virtual-time-budget=10000 "$@" 2>>"$root/browser.log"
}

# What the browser made of a report: the number of images, each one that did not load, the tables
# with their captions, and the page's size. A script added to a copy of the report writes it into
# the page once everything has loaded; --dump-dom gives the page back.
probe_script='<script>
window.addEventListener("load", function () {
  var lines = [];
  var images = Array.prototype.slice.call(document.images);
  lines.push("images " + images.length);
  images.forEach(function (img) {
    if (!img.complete || img.naturalWidth === 0) lines.push("broken " + img.getAttribute("src"));
  });
  var tables = document.querySelectorAll("table");
  lines.push("tables " + tables.length);
  tables.forEach(function (table) {
    var caption = table.querySelector("caption");
    lines.push("caption " + (caption ? caption.textContent.trim() : "(none)"));
  });
  lines.push("height " + Math.ceil(document.documentElement.scrollHeight));
  var out = document.createElement("pre");
  out.id = "vorlind-probe";
  out.textContent = "\nprobe-start\n" + lines.join("\n") + "\nprobe-end\n";
  document.body.appendChild(out);
});
</script>'

# probe DIR REPORT_NAME: prints the probe's lines for DIR/REPORT_NAME.
probe() {
  local dir="$1" name="$2"
  { cat "$dir/$name"; printf '%s\n' "$probe_script"; } >"$dir/probe-$name"
  browse "probe-$(basename "$dir")" --window-size="$width,900" --dump-dom "file://$dir/probe-$name" |
    sed -n '/^probe-start$/,/^probe-end$/p' | sed '1d;$d'
  rm -f "$dir/probe-$name"
}

# The tables of a race report in their order; SPEED only with speed values.
expected_captions() {
  local name="$1"
  local captions=("RESULT" "CONSISTENCY" "LEADER" "FASTEST RACE LAPS" "FASTEST PRACTICE LAPS"
    "DEVELOPMENT FASTEST LAP" "FASTEST RACE LAPS (ONLY ON TRACK)"
    "FASTEST PRACTICE LAPS (ONLY ON TRACK)" "ON TRACK LAPS" "SPEED" "NUMBER OF FASTEST LAPS"
    "SECTOR 1" "SECTOR 2" "SECTOR 3" "SECTOR 4")
  local caption
  for caption in "${captions[@]}"; do
    if [ "$caption" = SPEED ] && [[ "$name" == *no_v.html ]]; then continue; fi
    echo "caption $caption"
  done
}

# check PROBE_OUTPUT REPORT_NAME: prints each problem; true when there is none.
check() {
  local lines="$1" name="$2" ok=0
  if [ -z "$lines" ]; then
    echo "the page did not load or its script did not run"
    return 1
  fi
  local images
  images="$(sed -n 's/^images //p' <<<"$lines")"
  if [ "${images:-0}" -eq 0 ]; then
    echo "the report shows no image"
    ok=1
  fi
  if grep -q '^broken ' <<<"$lines"; then
    grep '^broken ' <<<"$lines" | sort | uniq -c | sed 's/^ *\([0-9]*\) broken \(.*\)/image \2 does not load (\1 times)/'
    ok=1
  fi
  local found expected
  found="$(grep '^caption ' <<<"$lines" || true)"
  expected="$(expected_captions "$name")"
  if [ "$found" != "$expected" ]; then
    echo "the tables differ from those of a race report (expected, then found):"
    diff <(echo "$expected") <(echo "$found") | sed 's/^/    /' || true
    ok=1
  fi
  return $ok
}

work="$root/report"
mkdir -p "$work"
cp "$report" "$work/"
cp -r "$report_dir/images" "$work/images"
name="$(basename "$report")"

lines="$(probe "$work" "$name")"
echo "browser check: $("$browser" --version 2>/dev/null | head -n 1)"
echo "browser check: $name: $(sed -n 's/^images //p' <<<"$lines") images," \
  "$(sed -n 's/^tables //p' <<<"$lines") tables"
if ! problems="$(check "$lines" "$name")"; then
  echo "browser check: $name:" >&2
  sed 's/^/  /' <<<"$problems" >&2
  exit 1
fi

# The check must see damage: one image gone and one table taken out of a copy.
damaged="$root/damaged"
mkdir -p "$damaged"
cp -r "$work/images" "$damaged/images"
rm "$damaged/images/$(ls "$damaged/images" | head -n 1)"
perl -0pe 's/<table[^>]*>(\s*<caption[^>]*>\s*CONSISTENCY\s*<\/caption>)/<div>$1/' "$work/$name" \
  >"$damaged/$name"
damaged_problems="$(check "$(probe "$damaged" "$name")" "$name" || true)"
if ! grep -q 'does not load' <<<"$damaged_problems" ||
   ! grep -q 'tables differ' <<<"$damaged_problems"; then
  echo "browser check: a missing image and a missing table went unnoticed" >&2
  exit 1
fi

# Full page: a window as tall as the page.
height="$(sed -n 's/^height //p' <<<"$lines")"
height=$(( height > 16000 ? 16000 : height ))
shot="$out_dir/${name%.html}.png"
rm -f "$shot"
browse screenshot --window-size="$width,$height" --hide-scrollbars --screenshot="$shot" \
  "file://$work/$name" >/dev/null
[ -s "$shot" ] || { echo "browser check: no screenshot" >&2; cat "$root/browser.log" >&2; exit 1; }
echo "browser check: every image loads and every table is there; screenshot $shot (${width}x$height)"

[ -n "${3:-}" ] || exit 0
charts="$(realpath "$3")"
mkdir -p "$root/charts"
cp "$charts" "$root/charts/charts.html"
# The page has no script of its own; the probe lists each chart's drawn size and title.
charts_script='<script>
window.addEventListener("load", function () {
  var lines = [];
  document.querySelectorAll("svg").forEach(function (svg) {
    var box = svg.getBoundingClientRect();
    lines.push("chart " + Math.round(box.width) + "x" + Math.round(box.height) + " " +
      svg.querySelectorAll("polyline").length + " lines: " + svg.querySelector("title").textContent);
  });
  lines.push("height " + Math.ceil(document.documentElement.scrollHeight));
  var out = document.createElement("pre");
  out.textContent = "\nprobe-start\n" + lines.join("\n") + "\nprobe-end\n";
  document.body.appendChild(out);
});
</script>'
{ sed 's#</body>##; s#</html>##' "$root/charts/charts.html"; printf '%s\n</body></html>\n' "$charts_script"; } \
  >"$root/charts/probe.html"
chart_lines="$(browse charts-probe --window-size="$width,900" --dump-dom "file://$root/charts/probe.html" |
  sed -n '/^probe-start$/,/^probe-end$/p' | sed '1d;$d')"
sed -n 's/^chart /browser check: charts page: /p' <<<"$chart_lines"
drawn="$(grep -cE '^chart 120[0-2]x56[0-2] [1-9][0-9]* lines' <<<"$chart_lines" || true)"
if [ "$drawn" -ne 3 ]; then
  echo "browser check: the charts page does not show three charts of 1200x560 (and a border) with lines" >&2
  exit 1
fi
height="$(sed -n 's/^height //p' <<<"$chart_lines")"
shot="$out_dir/charts.png"
rm -f "$shot"
browse charts-shot --window-size="$width,$height" --hide-scrollbars --screenshot="$shot" \
  "file://$root/charts/charts.html" >/dev/null
[ -s "$shot" ] || { echo "browser check: no screenshot of the charts page" >&2; exit 1; }
echo "browser check: the charts page shows its three charts; screenshot $shot (${width}x$height)"
