#!/bin/sh
# Draws the sample game's background picture (640 x 480) with ImageMagick, then encodes
# it for the game with our own tool:
#   sample/art/make-back.sh [path/to/vfkit]
set -e
here=$(cd "$(dirname "$0")" && pwd)
font=/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf

convert -size 640x480 gradient:'#20306a-#f2a36b' \
  -fill '#fff4c8' -draw 'circle 470,300 470,250' \
  -fill '#ffd89a80' -draw 'circle 470,300 470,230' \
  -fill '#3d5a40' -draw 'ellipse 140,520 360,170 180,360' \
  -fill '#2c4630' -draw 'ellipse 560,540 330,150 180,360' \
  -fill '#1f3324' -draw 'rectangle 0,440 640,480' \
  -fill '#ffffffc0' -draw 'circle 80,60 82,60' -draw 'circle 190,40 192,40' \
  -draw 'circle 300,90 301,90' -draw 'circle 560,50 562,50' -draw 'circle 420,30 421,30' \
  -font "$font" -pointsize 44 -gravity north \
  -fill '#00000060' -annotate +3+63 'KoruBuilder サンプル' \
  -fill '#ffffff' -annotate +0+60 'KoruBuilder サンプル' \
  -pointsize 20 -fill '#fff4c8' -annotate +0+120 'セットアップ' \
  -strip -depth 8 "PNG24:$here/back.png"

if [ -n "$1" ]; then
  "$1" image from-png "$here/back.png" --block-size 32x32 --comp-type 0 \
    -o "$here/../game/graphics/back.mur"
fi
