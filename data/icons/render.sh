#!/usr/bin/env bash
# Regenerates the committed hicolor PNGs from the hand-drawn SVG sources in src/. Each small size has
# a drawing of its own, simplified for its pixel grid, rather than a scaled-down copy of the large
# one; 128 and 256 px use the full drawing, which is also the scalable icon.
# Needs rsvg-convert (Debian package librsvg2-bin) and ImageMagick's convert.
#
# librsvg draws each SVG at exactly its pixel size. ImageMagick's own SVG renderer is not used for
# that: it shifts shapes by half a pixel and outlines fills, which blurs the pixel-aligned small
# drawings. convert only normalises the result to 8-bit RGBA and drops metadata such as time stamps,
# so that an unchanged drawing renders to an unchanged file.
set -euo pipefail
cd "$(dirname "$0")"

id=org.quorvane.Quorvane
renders=(16:quorvane-16 22:quorvane-22 24:quorvane-24 32:quorvane-32 48:quorvane-48
         64:quorvane-64 128:quorvane 256:quorvane)

for render in "${renders[@]}"; do
    size=${render%%:*}
    source=src/${render#*:}.svg
    out=hicolor/${size}x${size}/apps/$id.png
    mkdir -p "$(dirname "$out")"
    rsvg-convert --width "$size" --height "$size" "$source" |
        convert - -strip -define png:exclude-chunks=date,time PNG32:"$out"
    echo "$out"
done
