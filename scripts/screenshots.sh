#!/usr/bin/env bash
# Takes the README's pictures of the main pages (welcome, volume, record,
# waveform with tracks, output, finish) from the program on the demo deck,
# under Xvfb when it is installed (else Qt's offscreen platform).
#
#   scripts/screenshots.sh [BUILD_DIR [OUT_DIR]]   builds what it needs; OUT_DIR defaults to docs/screenshots
#   scripts/screenshots.sh --check BUILD_DIR OUT_DIR
#       as CTest runs it: only when SONIVAULT_SCREENSHOTS=1 is set (else skipped, exit 77),
#       without building, and checks that every picture was written.
set -euo pipefail
cd "$(dirname "$0")/.."
check=0
if [ "${1:-}" = "--check" ]; then
  check=1
  shift
  if [ "${SONIVAULT_SCREENSHOTS:-0}" != 1 ]; then
    echo "SKIP: set SONIVAULT_SCREENSHOTS=1 to take the screenshots" >&2
    exit 77
  fi
fi
BUILD=${1:-build}
OUT=${2:-docs/screenshots}
PAGES="welcome volume record waveform output finish"

if [ $check = 0 ]; then
  cmake --build "$BUILD" -j2 --target sv_screenshots demo_side
fi
mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)
for p in $PAGES; do rm -f "$OUT/$p.png"; done

driver=("$BUILD/bin/sv_screenshots")
if command -v xvfb-run >/dev/null; then
  # A fixed screen and the Fusion style, so the pictures do not depend on the desktop they are taken on.
  QT_QPA_PLATFORM=xcb QT_STYLE_OVERRIDE=Fusion SONIVAULT_SHOT_DIR="$OUT" \
    xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "${driver[@]}" -silent
else
  if [ -n "${CI:-}" ] && [ "$CI" != false ] && [ "$CI" != 0 ]; then
    echo "xvfb-run is not installed, and CI runs every test" >&2
    exit 1
  fi
  QT_QPA_PLATFORM=offscreen SONIVAULT_SHOT_DIR="$OUT" "${driver[@]}" -silent
fi

for p in $PAGES; do
  [ -s "$OUT/$p.png" ] || { echo "the $p page was not taken" >&2; exit 1; }
done
# No metadata (time stamps) in the committed pictures.
if command -v mogrify >/dev/null; then mogrify -strip "$OUT"/*.png; fi
echo "screenshots in $OUT: $PAGES"
