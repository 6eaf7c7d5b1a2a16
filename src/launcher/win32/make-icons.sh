#!/usr/bin/env bash
# Draws the setup program's three icons (16 and 32 pixels each) with ImageMagick:
#   icon1.ico     the program: a disc on a blue tile
#   icon2.ico     the uninstaller: the disc on a red tile, crossed out
#   mainicon.ico  the window icon: the disc on a blue tile with a box in front
#   make-icons.sh OUT-DIR
set -euo pipefail
out=$1
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

tile() {  # tile COLOUR FILE: a rounded tile with a disc on it, 32 pixels
  convert -size 32x32 xc:none \
    -fill "$1" -draw 'roundrectangle 1,1 30,30 6,6' \
    -fill '#e8eef8' -stroke '#6070a0' -draw 'circle 16,16 16,4' \
    -fill "$1" -stroke none -draw 'circle 16,16 16,12' \
    -fill white -draw 'circle 16,16 16,14' "PNG32:$2"
}

tile '#2a58c8' "$tmp/icon1.png"
tile '#c83a2a' "$tmp/icon2.png"
convert "$tmp/icon2.png" -stroke white -strokewidth 3 -draw 'line 7,7 25,25' \
  -draw 'line 25,7 7,25' "PNG32:$tmp/icon2.png"
convert "$tmp/icon1.png" -fill '#d8a040' -stroke '#704010' \
  -draw 'rectangle 14,18 29,29' -draw 'line 14,23 29,23' "PNG32:$tmp/mainicon.png"

for name in icon1 icon2 mainicon; do
  convert "$tmp/$name.png" -define icon:auto-resize=32,16 "$out/$name.ico"
done
