#!/usr/bin/env bash
# Packs the Windows release: vorlind.exe, the images folder, sample myname.ini and Skarrow.ini,
# an empty replays folder and the user guide, with Windows line ends where a user edits or reads.
#
# usage: packaging/make_dist.sh VORLIND_EXE IMAGES_DIR OUTPUT_ZIP
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
exe="${1:?usage: $0 VORLIND_EXE IMAGES_DIR OUTPUT_ZIP}"
images="${2:?missing IMAGES_DIR}"
zip_file="${3:?missing OUTPUT_ZIP}"
command -v zip >/dev/null || { echo "make_dist: zip is missing (install zip)" >&2; exit 1; }

mkdir -p "$(dirname "$zip_file")"
zip_file="$(realpath "$zip_file")"
stage="$(mktemp -d "${TMPDIR:-/tmp}/vorlind-dist.XXXXXX")"
trap 'rm -rf "$stage"' EXIT
top="$stage/vorlind"
mkdir -p "$top/images" "$top/replays"

cp "$exe" "$top/vorlind.exe"
cp "$images"/*.gif "$top/images/"
printf 'Ada Sommer' >"$top/myname.ini"       # no line end: the name is the whole file
printf 'replays\\\r\n' >"$top/Skarrow.ini"     # the folder beside vorlind.exe
perl -pe 's/\r?\n/\r\n/' "$here/USER_GUIDE.txt" >"$top/USER_GUIDE.txt"

# The same inputs give the same archive: fixed times, no extra attributes, sorted entries.
stamp="${SOURCE_DATE_EPOCH:-$(git -C "$here" log -1 --format=%ct 2>/dev/null || date +%s)}"
find "$top" -exec touch -h -d "@$stamp" {} +
rm -f "$zip_file"
(cd "$stage" && find vorlind | LC_ALL=C sort | zip -X -q -D -@ "$zip_file" && zip -X -q "$zip_file" vorlind/replays/)

expected="$(cd "$stage" && { find vorlind -type f; echo vorlind/replays/; } | LC_ALL=C sort)"
listed="$(zip -sf "$zip_file" | sed -n 's/^  //p' | LC_ALL=C sort)"
if [ "$expected" != "$listed" ]; then
  echo "make_dist: the archive holds other entries than staged:" >&2
  diff <(echo "$expected") <(echo "$listed") >&2 || true
  exit 1
fi
for name in vorlind.exe myname.ini Skarrow.ini USER_GUIDE.txt images/grid_A.gif images/logo_Lotus.gif; do
  grep -qx "vorlind/$name" <<<"$listed" || { echo "make_dist: vorlind/$name missing" >&2; exit 1; }
done
echo "Release package: $zip_file ($(stat -c %s "$zip_file") bytes, $(wc -l <<<"$listed") entries)"
