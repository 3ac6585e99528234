#!/usr/bin/env bash
# Renders the application icon's PNG sizes from the SVG beside this script. Run it after
# changing the SVG and commit the PNGs, so building never needs an SVG renderer.
# Needs ImageMagick (Debian imagemagick).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
svg="$here/org.ombrastel.Ombrastel.svg"
for size in 16 32 48 64 128 256; do
    # Drawn at 1024 pixels and scaled down: small sizes come out smoother than drawn directly.
    convert -background none -density 288 "$svg" -resize "${size}x${size}" -strip \
        "PNG32:$here/ombrastel-$size.png"
done
