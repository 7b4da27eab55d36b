#!/usr/bin/env bash
# The Environment File reference: regenerates the key tables of
# docs/environment-file.md from envcheck's schema and its descriptions
# (tools/envcheck/KeyReference.cpp), then renders the reference's pictures
# into docs/reference/, each from the default environment with one key
# changed. Builds envcheck and envhost into build/ (or $BUILD_DIR) first.
#   scripts/docs.sh            tables and pictures
#   scripts/docs.sh --tables   the tables only
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} >/dev/null
targets=(envcheck)
[[ "${1:-}" == --tables ]] || targets+=(envhost default_environment)
cmake --build "$BUILD_DIR" --target "${targets[@]}" -j"${JOBS:-$(nproc)}"

doc=docs/environment-file.md
"$BUILD_DIR"/envcheck --reference "$doc" >"$doc.new" || { rm -f "$doc.new"; exit 1; }
if cmp -s "$doc" "$doc.new"; then rm "$doc.new"; else mv "$doc.new" "$doc" && echo "updated $doc"; fi
[[ "${1:-}" == --tables ]] && exit 0

default="$BUILD_DIR/data/default"
out=docs/reference
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The copy sees the default environment's materials, textures and stars.
for f in "$default"/*; do
    [[ "$(basename "$f")" == environment.ini ]] || ln -s "$(realpath "$f")" "$work/"
done

# environment.ini with the keys given as SECTION.KEY=VALUE changed (or
# added at the top of their section).
environment() {
    CHANGES="$*" awk '
        BEGIN { n = split(ENVIRON["CHANGES"], list, " "); for (i = 1; i <= n; i++) {
                    eq = index(list[i], "="); name = substr(list[i], 1, eq - 1); dot = index(name, ".")
                    sec[i] = tolower(substr(name, 1, dot - 1)); key[i] = tolower(substr(name, dot + 1))
                    val[i] = substr(list[i], eq + 1) } }
        /^\[/ { current = tolower(substr($0, 2, length($0) - 2)); print
                for (i = 1; i <= n; i++) if (sec[i] == current) print key[i] "=" val[i]; next }
        { eq = index($0, "="); k = tolower(substr($0, 1, eq - 1)); gsub(/[ \t]/, "", k)
          for (i = 1; i <= n; i++) if (eq > 0 && sec[i] == current && key[i] == k) next
          print }' "$default/environment.ini" >"$work/environment.ini"
}

# render NAME "SECTION.KEY=VALUE ..." FRAME-OPTIONS...: one small frame
# (values without blanks).
render() {
    local name=$1 changes=$2
    shift 2
    environment "$changes"
    "$BUILD_DIR"/envhost --env "$work/environment.ini" --width 240 --height 135 frame --out "$out/$name.png" "$@" \
        >/dev/null
}

# The light states, each where the sun stands at its SunHeight (21 June, 34 N).
render light-day "" --time 07:00
render light-twilight1 "" --time 05:05
render light-twilight2 "" --time 04:24
render light-night "" --time 03:35
# The weather levels and the overcast band: envhost's own contact sheets.
environment ""
"$BUILD_DIR"/envhost --env "$work/environment.ini" --width 192 --height 108 weather --out "$out/weather.png" >/dev/null
"$BUILD_DIR"/envhost --env "$work/environment.ini" --width 192 --height 108 flight --out "$out/overcast-band.png" \
    >/dev/null
# The lens-flare chain, the sun up and to the left of the centre.
render flares "" --time 06:45 --heading 100 --pitch 8
render flares-003 "LensFlare003.Color=1,0,0,1 LensFlare003.Size=78" --time 06:45 --heading 100 --pitch 8
# The star classes.
render stars "" --time 23:00 --heading 135 --pitch 40
render stars-classes "Stars.OClassColor=0.3,0.5,1,1 Stars.BClassColor=0.3,0.5,1,1 Stars.AClassColor=0.3,0.5,1,1 \
Stars.FClassColor=1,1,1,1 Stars.GClassColor=1,1,1,1 Stars.KClassColor=1,0.3,0.2,1 Stars.MClassColor=1,0.3,0.2,1" \
    --time 23:00 --heading 135 --pitch 40
# The reflection rows: a single row (its number 0 is written as nothing by
# %.0d) that names one row of the default's maps for every light level.
for row in 0 1 2 3; do
    render "reflection-$row" "Reflection.NumSunLightLevel=1 Reflection.TextureNameFormat=textures\\reflect_%.0d${row}_%d.png" \
        --time 12:00 --heading 170 --pitch -30
done
du -ch "$out"/*.png | tail -1
