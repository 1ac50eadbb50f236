#!/usr/bin/env bash
# render-icons.sh THEME_ROOT MAP OUTDIR
# Renders the images listed in MAP (see icons.map) from the icon theme under
# THEME_ROOT into OUTDIR, keeping the resource names as relative paths.
# Needs rsvg-convert (librsvg2-bin) and ImageMagick's convert.
set -euo pipefail
theme=$1 map=$2 out=$3
command -v rsvg-convert >/dev/null || { echo "render-icons: rsvg-convert missing (librsvg2-bin)" >&2; exit 1; }
im=convert
# a stand-in named convert may shadow ImageMagick's; prefer the real one
for c in /usr/bin/convert-im6.q16 /usr/bin/convert; do [ -x "$c" ] && { im=$c; break; }; done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out"

# recolour: the theme's glyphs are drawn in #444444 (plain or through its
# ColorScheme-Text class); swap that for the wanted colour
recolour() { # src colour dst
  if [ "$2" = "-" ]; then cp "$1" "$3"; else sed -e "s/#444444/$2/Ig" -e "s/#444\b/$2/Ig" "$1" >"$3"; fi
}
render() { # src size colour dst
  recolour "$theme/$1" "$3" "$tmp/r.svg"
  rsvg-convert -w "$2" -h "$2" -o "$4" "$tmp/r.svg"
}

while read -r kind name src size colour bg; do
  [[ -z "${kind:-}" || "$kind" == \#* ]] && continue
  dst="$out/$name"
  mkdir -p "$(dirname "$dst")"
  case "$kind" in
    svg) render "$src" "$size" "$colour" "$dst" ;;
    spin)
      # draw large, turn in 30 degree steps, then scale down so the edges stay smooth
      big=$((size * 4))
      render "$src" "$big" "$colour" "$tmp/spin.png"
      frames=()
      for i in $(seq 0 11); do
        "$im" "$tmp/spin.png" -background "$bg" -virtual-pixel background -distort SRT $((i * 30)) \
          -flatten -resize "${size}x${size}" "$tmp/f$i.png"
        frames+=("$tmp/f$i.png")
      done
      "$im" -delay 8 -loop 0 "${frames[@]}" "$dst" ;;
    badge)
      glyph=$((size * 5 / 8)) radius=$((size / 5))
      render "$src" "$glyph" "$colour" "$tmp/glyph.png"
      "$im" -size "${size}x${size}" xc:none -fill "$bg" \
        -draw "roundrectangle 0,0 $((size - 1)),$((size - 1)) $radius,$radius" \
        "$tmp/glyph.png" -gravity center -composite "$dst" ;;
    ico)
      parts=()
      IFS=, read -ra names <<<"$src"
      for n in "${names[@]}"; do parts+=("$out/$n"); done
      "$im" "${parts[@]}" "$dst" ;;
    *) echo "render-icons: unknown kind $kind" >&2; exit 1 ;;
  esac
done <"$map"
