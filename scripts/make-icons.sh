#!/usr/bin/env bash
# Draws the PNG icon sizes from data/icons/com.velmora.Sonivault.svg into
# data/icons/<size>/ (hicolor sizes). Run after changing the SVG; the PNGs are
# committed so that a build needs no SVG renderer.
set -euo pipefail
cd "$(dirname "$0")/.."
svg=data/icons/com.velmora.Sonivault.svg
command -v rsvg-convert >/dev/null || { echo "rsvg-convert (librsvg2-bin) is needed" >&2; exit 1; }
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "data/icons/$size"
  rsvg-convert -w "$size" -h "$size" "$svg" -o "data/icons/$size/com.velmora.Sonivault.png"
done
# Small and reproducible: drop the time stamps the renderer writes.
if command -v mogrify >/dev/null; then
  mogrify -strip data/icons/*/com.velmora.Sonivault.png
fi
