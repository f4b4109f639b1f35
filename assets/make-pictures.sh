#!/bin/sh
# Draws the program's pictures with ImageMagick (Debian: imagemagick,
# fonts-liberation). The results are kept in this folder; run this again only
# to change them:  sh assets/make-pictures.sh
set -eu
cd "$(dirname "$0")"

FONTS=/usr/share/fonts/truetype/liberation
BOLD=$FONTS/LiberationSans-Bold.ttf
REGULAR=$FONTS/LiberationSans-Regular.ttf
ITALIC=$FONTS/LiberationSans-BoldItalic.ttf
NAVY='#14204a'
GOLD='#f2b632'
JPEG="-strip -sampling-factor 4:4:4 -quality 88"
PNG="-strip -define png:exclude-chunks=date,time"

# Sprocket holes along the top and bottom edges of a strip `width` wide and
# `height` high: a draw list of small rounded rectangles.
sprockets() {
    awk -v w="$1" -v h="$2" 'BEGIN {
        for (x = 6; x + 9 <= w; x += 16)
            printf "roundrectangle %d,4 %d,10 2,2 roundrectangle %d,%d %d,%d 2,2 ", x, x + 9, x, h - 11, x + 9, h - 5
    }'
}

# A regular gear outline: `teeth` teeth around (cx, cy), radii r (root) and R (tip).
gear() {
    awk -v n="$1" -v cx="$2" -v cy="$3" -v r="$4" -v R="$5" 'BEGIN {
        pi = atan2(0, -1); printf "polygon"
        for (i = 0; i < n; i++) {
            a = 2 * pi * i / n; s = pi / n
            printf " %.1f,%.1f", cx + r * cos(a - s * 0.9), cy + r * sin(a - s * 0.9)
            printf " %.1f,%.1f", cx + R * cos(a - s * 0.45), cy + R * sin(a - s * 0.45)
            printf " %.1f,%.1f", cx + R * cos(a + s * 0.45), cy + R * sin(a + s * 0.45)
            printf " %.1f,%.1f", cx + r * cos(a + s * 0.9), cy + r * sin(a + s * 0.9)
        }
    }'
}

# Splash and About banner, 333 x 99: a film strip carrying the program's name.
convert -size 333x99 xc:black \
    \( -size 333x69 gradient:'#24357a'-"$NAVY" \) -geometry +0+15 -composite \
    -fill '#cfcfcf' -draw "$(sprockets 333 99)" \
    -fill black -draw "rectangle 0,15 2,83 rectangle 330,15 332,83" \
    -fill '#0a0f26' -draw "rectangle 44,15 45,83 rectangle 287,15 288,83" \
    -font "$BOLD" -pointsize 46 -gravity center \
    -fill '#00000080' -annotate +3+3 'Trevlin' \
    -fill "$GOLD" -annotate +0+0 'Trevlin' \
    $JPEG banner.jpg

# The splash's second picture (the About window's too), 177 x 42.
convert -size 177x42 xc:black \
    -fill "$GOLD" -draw "rectangle 0,0 176,1 rectangle 0,40 176,41" \
    -font "$REGULAR" -pointsize 15 -kerning 3 -gravity center \
    -fill white -annotate +0+0 'MOVIE  MENU' \
    $JPEG splash2.jpg

# About logo, 183 x 95: a film reel beside the name.
convert -size 183x95 xc:black \
    -fill '#d9d9d9' -draw "circle 46,47 46,8" \
    -fill black -draw "$(awk 'BEGIN { pi = atan2(0, -1)
        for (i = 0; i < 5; i++) { a = 2 * pi * i / 5 - pi / 2; x = 46 + 21 * cos(a); y = 47 + 21 * sin(a)
            printf "circle %.1f,%.1f %.1f,%.1f ", x, y, x + 9, y } }')" \
    -fill "$GOLD" -draw "circle 46,47 46,44" \
    -stroke '#d9d9d9' -strokewidth 3 -fill none -draw "bezier 46,86 80,92 100,84 170,86" -stroke none \
    -font "$BOLD" -pointsize 24 -fill white -annotate +92+46 'Trevlin' \
    -font "$REGULAR" -pointsize 11 -fill '#b0b0b0' -annotate +93+62 'movie disc menu' \
    $JPEG logo.jpg

# About's third picture, 98 x 71: a clapperboard.
convert -size 98x71 xc:black \
    -fill '#2b2b2b' -draw "rectangle 14,28 84,66" \
    -fill '#eeeeee' -draw "polygon 14,19 84,19 84,27 14,27" \
    -fill black -draw "polygon 24,19 34,19 28,27 18,27 polygon 44,19 54,19 48,27 38,27 \
                        polygon 64,19 74,19 68,27 58,27" \
    -fill '#eeeeee' -draw "polygon 12,16 80,4 82,11 14,23" \
    -fill black -draw "polygon 22,14 31,13 27,20 18,21 polygon 41,11 50,9 46,17 37,18 \
                        polygon 60,8 69,6 65,14 56,15" \
    -fill "$GOLD" -draw "circle 15,20 15,17" \
    -fill '#9a9a9a' -draw "rectangle 20,36 78,38 rectangle 20,45 62,47 rectangle 20,54 70,56" \
    $JPEG image3.jpg

# The Ok button's picture, 72 x 28: a tick and the word.
convert -size 72x28 xc:none \
    -stroke '#2e9d3a' -strokewidth 4 -fill none -draw "polyline 6,14 12,21 24,6" -stroke none \
    -font "$BOLD" -pointsize 16 -fill '#202020' -annotate +34+20 'Ok' \
    $PNG ok.png

# Window icon, 64 x 64: a film frame with a T.
convert -size 64x64 xc:none \
    -fill '#1b1b1b' -draw "roundrectangle 4,2 59,61 6,6" \
    -fill '#e6e6e6' -draw "$(awk 'BEGIN { for (y = 7; y < 58; y += 10)
        printf "roundrectangle 7,%d 11,%d 1,1 roundrectangle 52,%d 56,%d 1,1 ", y, y + 5, y, y + 5 }')" \
    \( -size 36x52 gradient:'#2c3f8c'-"$NAVY" \) -geometry +14+6 -composite \
    -fill "$GOLD" -draw "rectangle 20,14 43,21 rectangle 28,14 35,50" \
    $PNG icon.png

# Toolbar, 32 x 32.
convert -size 32x32 xc:none \
    -fill '#1b1b1b' -draw "roundrectangle 1,4 30,27 3,3" \
    -fill '#e6e6e6' -draw "rectangle 3,6 5,8 rectangle 3,12 5,14 rectangle 3,18 5,20 rectangle 3,23 5,25 \
                           rectangle 26,6 28,8 rectangle 26,12 28,14 rectangle 26,18 28,20 rectangle 26,23 28,25" \
    -fill '#3fbf4a' -draw "polygon 11,9 23,16 11,23" \
    $PNG toolbar/view.png

convert -size 32x32 xc:none \
    -fill '#b07a3c' -draw "polygon 2,12 15,17 15,31 2,25" \
    -fill '#c98f4c' -draw "polygon 15,17 24,13 24,27 15,31" \
    -fill '#e0aa6a' -draw "polygon 2,12 11,8 24,13 15,17" \
    -fill '#6c6c6c' -draw "$(gear 8 22 10 7 10)" \
    -fill '#9a9a9a' -draw "circle 22,10 22,5" \
    -fill '#505050' -draw "circle 22,10 22,8" \
    $PNG toolbar/codecs.png

convert -size 32x32 xc:none \
    -fill '#c8c8d0' -stroke '#80808a' -draw "circle 16,13 16,1" -stroke none \
    -fill '#a9c7e8' -draw "path 'M 16,1 A 12,12 0 0,1 28,13 L 16,13 Z'" \
    -fill white -draw "circle 16,13 16,9" \
    -fill '#606060' -draw "circle 16,13 16,11" \
    -fill '#101010' -draw "roundrectangle 2,21 29,30 2,2" \
    -fill '#ffe14a' -draw "rectangle 5,23 26,24 rectangle 9,27 22,28" \
    $PNG toolbar/microdvd.png

convert -size 32x32 xc:none \
    -fill '#404040' -draw "roundrectangle 1,3 30,24 2,2" \
    -fill '#2a5db0' -draw "rectangle 3,5 28,22" \
    -fill white -draw "polygon 12,8 21,13 12,19" \
    -fill '#404040' -draw "rectangle 13,24 18,27 roundrectangle 7,27 24,30 1,1" \
    $PNG toolbar/mediaplayer.png

convert -size 32x32 xc:none \
    -fill '#3a3a3a' -draw "rectangle 3,11 9,21 polygon 9,11 17,4 17,28 9,21" \
    -stroke '#2a7de1' -strokewidth 2 -fill none \
    -draw "arc 11,10 23,22 -55,55" -draw "arc 9,4 29,28 -55,55" -stroke none \
    $PNG toolbar/ac3.png

convert -size 32x32 xc:none \
    -fill '#2b2b2b' -draw "circle 16,16 16,2" \
    -fill '#e6e6e6' -draw "circle 16,9 16,6 circle 16,23 16,20 circle 9,16 9,13 circle 23,16 23,13" \
    -fill "$GOLD" -draw "circle 16,16 16,14" \
    $PNG toolbar/spare.png

# Tabs, 16 x 16. The cover tab's icon is stored with an alpha channel: Qt
# reads a 16-bit picture whose transparent pixels are given by a colour key
# (what ImageMagick writes for it by itself) with those pixels undefined.
convert -size 16x16 xc:none \
    -fill '#6b4a2b' -draw "rectangle 0,2 15,13" \
    -fill '#9fd3ff' -draw "rectangle 2,4 13,11" \
    -fill '#3c9a3c' -draw "polygon 2,11 6,6 9,9 11,7 13,11" \
    -fill '#ffd23a' -draw "circle 11,6 11,5" \
    -define png:color-type=6 $PNG tabs/cover.png

convert -size 16x16 xc:none \
    -fill '#707070' -draw "rectangle 1,3 14,3 rectangle 1,8 14,8 rectangle 1,13 14,13" \
    -fill '#2a66c8' -draw "rectangle 4,1 6,5 rectangle 9,6 11,10 rectangle 5,11 7,15" \
    $PNG tabs/options.png

convert -size 16x16 xc:none \
    -fill '#ffd84a' -stroke '#b08a10' -draw "circle 8,6 8,1" -stroke none \
    -fill '#ffd84a' -draw "rectangle 6,9 10,10" \
    -fill '#8a8a8a' -draw "rectangle 6,11 10,12 rectangle 7,13 9,14" \
    -fill white -draw "circle 6,5 6,4" \
    $PNG tabs/hints.png

convert -size 16x16 xc:none \
    -fill '#2a66c8' -draw "circle 7.5,7.5 7.5,0" \
    -font "$BOLD" -pointsize 13 -fill white -gravity center -annotate +0+0 '?' \
    $PNG tabs/faq.png
