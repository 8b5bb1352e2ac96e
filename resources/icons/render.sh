#!/bin/sh
# Renders the tool's icon from its SVG into the hicolor sizes and the window icon.
# The PNGs are committed, so a build never needs the renderer; run this after editing the SVG.
set -eu
cd "$(dirname "$0")"
svg=org.dravik.CommandTool.svg
for size in 48 64 128 256; do
  mkdir -p "hicolor/${size}x${size}/apps"
  rsvg-convert -w "$size" -h "$size" "$svg" -o "hicolor/${size}x${size}/apps/org.dravik.CommandTool.png"
done
rsvg-convert -w 64 -h 64 "$svg" -o dravik.png
