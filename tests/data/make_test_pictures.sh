#!/bin/sh
# Makes the small picture files the platform tests read. Run from anywhere; needs ImageMagick's convert.
# upright.png: a 48 x 32 picture in four coloured quarters (red, lime / blue, white), as it should show.
# orient_N.jpg: the same picture stored so that EXIF orientation N turns it upright; the tag is an APP1
#   Exif block (big-endian TIFF, one IFD entry) put right after the start-of-image marker.
# cmyk.jpg, grey.jpg: the same picture in the CMYK and greyscale colour models.
set -e
cd "$(dirname "$0")"
convert -size 24x16 xc:red xc:lime +append \( -size 24x16 xc:blue xc:white +append \) -append upright.png
store() {
    convert upright.png $2 -quality 95 plain.jpg
    {
        printf '\377\330\377\341\000\042Exif\000\000MM\000\052\000\000\000\010'
        printf "\\000\\001\\001\\022\\000\\003\\000\\000\\000\\001\\000\\$(printf %03o "$1")\\000\\000"
        printf '\000\000\000\000'
        tail -c +3 plain.jpg
    } >"orient_$1.jpg"
    rm plain.jpg
}
store 1 ""
store 2 "-flop"
store 3 "-rotate 180"
store 4 "-flip"
store 5 "-transpose"
store 6 "-rotate 270"
store 7 "-transverse"
store 8 "-rotate 90"
convert upright.png -colorspace CMYK -quality 95 cmyk.jpg
convert upright.png -colorspace Gray -quality 95 grey.jpg
convert upright.png picture.gif
# Two frames: the upright picture, then black; a reader shows the first.
convert upright.png \( -size 48x32 xc:black \) -set delay 50 -loop 0 animated.gif
