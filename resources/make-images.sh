#!/usr/bin/env bash
# Regenerates the login dialog artwork and the application icon.
#
#   resources/Res/LoginBG.bmp                 609x278 login dialog background
#   resources/login_{normal,pressed}.bmp      78x26  login button
#   resources/quit_{normal,pressed}.bmp       16x16  close button
#   and each of them as NAME@2x.bmp at twice the size, for screens scaled
#   by 1.5 or more
#   resources/kelumo.png, kelumo-48.png       application icon
#
# Requires ImageMagick (convert) and fonts-noto-cjk. Safe to run repeatedly:
# every output is rewritten from scratch.
#
# The BMPs are written as plain 24-bit BMP3 so that both Qt and the Windows
# loader accept them without an alpha channel.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
cd "$here"
mkdir -p Res

command -v convert >/dev/null || { echo "make-images.sh: ImageMagick 'convert' not found" >&2; exit 1; }

FONT_BOLD="${FONT_BOLD:-Noto-Sans-CJK-SC-Bold}"
FONT_REGULAR="${FONT_REGULAR:-Noto-Sans-CJK-SC}"

# Palette
NAVY_DARK='#06121f'     # top-right corner, behind the close button
NAVY='#0b2a4a'
TEAL='#11707a'
PANEL='#0a2136'         # lower control panel (flat: the prompt label paints on it)
LABEL='#b9d3e2'         # small field captions

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

save_bmp() { # <input image> <output.bmp>
    convert "$1" -alpha off -type TrueColor "BMP3:$2"
}

###########################################################################
# Login background, 609x278
###########################################################################
background() { # <scale> <output.png>
    local S=$1
    W=609; H=278           # drawing coordinates; the image is S times that
    SW=$((W * S)); SH=$((H * S))
    PANEL_Y=182             # top of the control panel

    # Base: diagonal gradient, darkest in the top-right corner.
    convert -size ${SW}x${SH} -define gradient:angle=225 \
        "gradient:${NAVY_DARK}-${TEAL}" "$tmp/base.png"

    # Soft light behind the product name.
    convert -size ${SW}x${SH} xc:none \
        -fill 'rgba(90,190,210,0.22)' -draw "scale $S,$S ellipse 150,95 210,95 0,360" \
        -blur 0x$((45 * S)) "$tmp/glow.png"

    # Deepen the top-right corner so the black close button sits in it cleanly.
    convert -size ${SW}x${SH} xc:none \
        -fill 'rgba(0,0,0,0.85)' -draw "scale $S,$S ellipse 600,4 70,48 0,360" \
        -blur 0x$((22 * S)) "$tmp/corner.png"

    # Faint grid over the upper area.
    grid_draw=""
    for ((x = 0; x < W; x += 24)); do grid_draw+="line $x,0 $x,$PANEL_Y "; done
    for ((y = 14; y < PANEL_Y; y += 24)); do grid_draw+="line 0,$y $W,$y "; done
    convert -size ${SW}x${SH} xc:none -fill none -stroke 'rgba(150,215,235,0.06)' -strokewidth 1 \
        -draw "scale $S,$S $grid_draw" "$tmp/grid.png"

    # Network motif: a loose constellation of nodes on the right.
    nodes=(
        "352,148" "392,112" "420,152" "448,86" "478,128" "506,64"
        "522,160" "548,104" "570,140" "590,78" "462,40" "536,30"
        "404,62" "596,168" "374,76"
    )
    edges=(
        "0 1" "1 2" "1 3" "2 4" "3 4" "3 5" "4 6" "4 7" "5 7" "6 8"
        "7 8" "7 9" "5 10" "3 10" "10 11" "5 11" "3 12" "12 14" "1 14"
        "8 13" "9 13" "2 6" "0 2"
    )
    net_lines=""
    for e in "${edges[@]}"; do
        read -r a b <<<"$e"
        net_lines+="line ${nodes[$a]} ${nodes[$b]} "
    done
    net_dots=""
    i=0
    for n in "${nodes[@]}"; do
        IFS=, read -r nx ny <<<"$n"
        r=2
        if (( i % 3 == 0 )); then r=3; fi
        net_dots+="circle $nx,$ny $((nx + r)),$ny "
        i=$((i + 1))
    done
    convert -size ${SW}x${SH} xc:none \
        -stroke 'rgba(130,220,235,0.22)' -strokewidth 1 -fill none -draw "scale $S,$S $net_lines" \
        -stroke none -fill 'rgba(170,235,245,0.55)' -draw "scale $S,$S $net_dots" \
        "$tmp/net.png"

    # Faint rising bars, a nod to charts, sitting on the panel edge.
    bars=""
    bx=250
    for h in 18 30 24 42 36 54 48 66; do
        bars+="rectangle $bx,$((PANEL_Y - h)) $((bx + 9)),$((PANEL_Y - 1)) "
        bx=$((bx + 14))
    done
    convert -size ${SW}x${SH} xc:none -fill 'rgba(140,220,235,0.08)' -draw "scale $S,$S $bars" "$tmp/bars.png"

    # Control panel: flat colour with a thin highlight line along its top edge.
    convert -size ${SW}x${SH} xc:none \
        -fill "$PANEL" -draw "scale $S,$S rectangle 0,$PANEL_Y $W,$H" \
        -fill 'rgba(120,210,230,0.35)' -draw "scale $S,$S rectangle 0,$PANEL_Y $W,$PANEL_Y" \
        "$tmp/panel.png"

    # Text: product name, subtitle and the field captions.
    convert -size ${SW}x${SH} xc:none \
        -font "$FONT_BOLD" -fill white -pointsize $((40 * S)) -annotate +$((40 * S))+$((92 * S)) 'Kelumo大数据' \
        -font "$FONT_REGULAR" -fill 'rgba(205,232,240,0.92)' -pointsize $((15 * S)) \
        -annotate +$((43 * S))+$((124 * S)) '大数据信息平台' \
        -fill 'rgba(150,205,225,0.75)' -pointsize $((10 * S)) \
        -annotate +$((43 * S))+$((143 * S)) 'BIG DATA INFORMATION PLATFORM' \
        -font "$FONT_REGULAR" -fill "$LABEL" -pointsize $((13 * S)) \
        -annotate +$((22 * S))+$((218 * S)) '账号' \
        -annotate +$((216 * S))+$((218 * S)) '密码' \
        -pointsize $((12 * S)) -annotate +$((474 * S))+$((201 * S)) '记住' \
        "$tmp/text.png"

    # Accent bar left of the title.
    convert -size ${SW}x${SH} xc:none -fill 'rgba(80,200,220,0.9)' \
        -draw "scale $S,$S rectangle 30,58 33,136" "$tmp/accent.png"

    convert "$tmp/base.png" \
        "$tmp/glow.png" -composite \
        "$tmp/corner.png" -composite \
        "$tmp/grid.png" -composite \
        "$tmp/bars.png" -composite \
        "$tmp/net.png" -composite \
        "$tmp/panel.png" -composite \
        "$tmp/accent.png" -composite \
        "$tmp/text.png" -composite \
        "$2"
}
background 1 "$tmp/bg.png"
save_bmp "$tmp/bg.png" Res/LoginBG.bmp
background 2 "$tmp/bg@2x.png"
save_bmp "$tmp/bg@2x.png" Res/LoginBG@2x.bmp

###########################################################################
# Login button, 78x26
###########################################################################
for S in 1 2; do
    convert -size $((78 * S))x$((26 * S)) 'xc:rgb(149,0,0)' \
        -font "$FONT_BOLD" -pointsize $((15 * S)) -fill white -gravity center \
        -annotate +0+0 '登录' "$tmp/login$S.png"
done
save_bmp "$tmp/login1.png" login_normal.bmp
save_bmp "$tmp/login1.png" login_pressed.bmp
save_bmp "$tmp/login2.png" login_normal@2x.bmp
save_bmp "$tmp/login2.png" login_pressed@2x.bmp

###########################################################################
# Close button, 16x16
###########################################################################
# Drawn pixel by pixel (no anti-aliasing) so the cross stays crisp and exactly
# symmetric: two diagonals about 2 px thick inside a 4 px margin.
cross=""
for ((y = 4; y <= 11; y++)); do
    for c in $y $((15 - y)); do
        for ((x = c - 1; x <= c + 1; x++)); do
            if (( x >= 4 && x <= 11 )); then cross+="point $x,$y "; fi
        done
    done
done
convert -size 16x16 xc:black +antialias -fill 'rgb(190,189,189)' \
    -draw "$cross" "$tmp/quit.png"
save_bmp "$tmp/quit.png" quit_normal.bmp
save_bmp "$tmp/quit.png" quit_pressed.bmp
# Each pixel doubled: the cross is drawn on the pixel grid, and stays on it.
convert "$tmp/quit.png" -filter point -resize 200% "$tmp/quit2.png"
save_bmp "$tmp/quit2.png" quit_normal@2x.bmp
save_bmp "$tmp/quit2.png" quit_pressed@2x.bmp

###########################################################################
# Application icon
###########################################################################
convert -size 256x256 xc:none \
    \( -size 256x256 -define gradient:angle=225 "gradient:${NAVY}-${TEAL}" \) \
    \( -size 256x256 xc:black -fill white -draw 'roundrectangle 8,8 247,247 48,48' \) \
    -delete 0 -alpha off -compose CopyOpacity -composite -compose Over \
    -fill white -stroke none \
    -draw 'roundrectangle 58,150 88,196 6,6' \
    -draw 'roundrectangle 103,118 133,196 6,6' \
    -draw 'roundrectangle 148,86 178,196 6,6' \
    -fill 'rgba(255,255,255,0.55)' \
    -draw 'roundrectangle 193,60 223,196 6,6' \
    -fill white -draw 'roundrectangle 50,206 206,214 4,4' \
    "$tmp/icon.png"
convert "$tmp/icon.png" -strip -define png:exclude-chunks=date,time PNG32:kelumo.png
convert "$tmp/icon.png" -filter Lanczos -resize 48x48 -strip -define png:exclude-chunks=date,time PNG32:kelumo-48.png

echo "make-images.sh: images written to $here"
