#!/usr/bin/env bash
# Redraws the five button images (144 x 32, 16 colours) with ImageMagick.
# The images are kept in the repository; run this only to change them.
set -euo pipefail
cd "$(dirname "$0")"
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf

button() {  # file, face colour, text colour, label
    convert -size 144x32 xc:"$2" \
        -fill none -stroke white -draw "line 0,0 143,0" -draw "line 0,0 0,31" \
        -stroke '#808080' -draw "line 1,30 142,30" -draw "line 142,1 142,30" \
        -stroke black -draw "line 0,31 143,31" -draw "line 143,0 143,31" \
        -stroke none +antialias -font "$font" -pointsize 15 -fill "$3" \
        -gravity center -annotate +0+0 "$4" \
        -colors 16 -depth 4 -type Palette -compress None BMP3:"$1"
}

button ButtonStart.bmp '#c0c0c0' '#000080' 'Etalons'
button IDB_BITMAP1.bmp '#008000' white 'Start'
button ButtonExit.bmp '#800000' white 'Exit'
button IDB_BITMAP5.bmp '#c0c0c0' black 'Select all'
button IDB_BITMAP4.bmp '#c0c0c0' black 'Deselect all'
