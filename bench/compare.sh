#!/usr/bin/env bash
# The whole job against its peers: our whole_job (the engine: load, fit, shrink, write), vipsthumbnail and
# ImageMagick's convert on seeded plasma pictures of 1024 x 768, 6000 x 4000 and 12000 x 8000, each shrunk
# into 400 x 400 and written at quality 90. Prints wall-time medians (hyperfine, the three commands in
# alternating rounds), ratios to vipsthumbnail, peak memory, PSNR/SSIM against a Lanczos reference, and
# the window's own times (window_job: click-to-preview, "2-Küçült", the write).
#   bench/compare.sh [BUILD_DIR]     (default: build, from the repository root)
# Needs the project built (whole_job, window_job, image_metrics); installs the tools it uses when missing.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
whole_job=$build/bench/whole_job
window_job=$build/bench/window_job
metrics=$build/bench/image_metrics
for tool in "$whole_job" "$window_job" "$metrics"; do
  [ -x "$tool" ] || { echo "missing $tool: build the project first" >&2; exit 1; }
done

# Benchmark tools only; ./test never needs them.
need=(libvips-tools hyperfine time imagemagick jq libjpeg-turbo-progs)
"$root/tools/install_packages.sh" "${need[@]}"
  "${SUDO[@]}" apt-get update -qq
  "${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

convert=/usr/bin/convert  # ImageMagick itself, not any wrapper earlier on PATH
work=${TORV_BENCH_DIR:-$(mktemp -d)}
mkdir -p "$work"
cd "$work"

# The default policy caps pictures at 128 megapixels and 16,000 pixels a side; the 96-MP picture and its
# reference need more, for these commands only.
mkdir -p policy
cat >policy/policy.xml <<'EOF'
<policymap>
  <policy domain="resource" name="memory" value="2GiB"/>
  <policy domain="resource" name="map" value="4GiB"/>
  <policy domain="resource" name="width" value="32KP"/>
  <policy domain="resource" name="height" value="32KP"/>
  <policy domain="resource" name="area" value="1GP"/>
  <policy domain="resource" name="disk" value="8GiB"/>
</policymap>
EOF
export MAGICK_CONFIGURE_PATH=$work/policy

sizes=(1024x768 6000x4000 12000x8000)
for size in "${sizes[@]}"; do
  [ -s "pic_$size.jpg" ] && continue
  echo "Making pic_$size.jpg" >&2
  "$convert" -seed 4711 -size "$size" plasma:fractal -sampling-factor 2x2 -quality 92 "pic_$size.jpg"
done

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Peak memory of one run, in MB.
max_rss() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1 | awk '{ printf "%.0f", $1 / 1024 }'; }

# PSNR and SSIM of a result against the Lanczos reference made at the result's own size, kept at 16 bits
# (ImageMagick truncates to 8, which would move its reference half a level down).
quality() {
  local source=$1 result=$2 geometry ref
  geometry=$(identify -format '%wx%h' "$result")
  ref=ref16_${source%.jpg}_$geometry.png
  [ -s "$ref" ] || "$convert" "$source" -filter Lanczos -resize "$geometry!" -depth 16 "$ref"
  "$metrics" "$ref" "$result"
}

echo
echo "| picture | command | median ms | ratio to vipsthumbnail | peak MB | PSNR dB | SSIM |"
echo "|---|---|---:|---:|---:|---:|---:|"
for size in "${sizes[@]}"; do
  pic=pic_$size.jpg
  names=(whole_job vipsthumbnail convert)
  commands=(
    "$whole_job $pic ours_$size.jpg"
    "vipsthumbnail $pic -s 400x400 -o vips_$size.jpg[Q=90]"
    "$convert $pic -resize 400x400 -quality 90 im_$size.jpg"
  )
  rounds=3 runs=5 warmup=2
  if [ "$size" = 12000x8000 ]; then rounds=1 runs=3 warmup=1; fi
  rm -f times_*.txt
  for ((round = 0; round < rounds; round++)); do
    hyperfine -N --warmup "$warmup" --runs "$runs" --export-json round.json "${commands[@]}" >/dev/null 2>&1
    for i in 0 1 2; do jq -r ".results[$i].times[]" round.json >>"times_$i.txt"; done
  done
  declare -A ms=()
  for i in 0 1 2; do ms[$i]=$(median <"times_$i.txt" | awk '{ printf "%.0f", $1 * 1000 }'); done
  # Results before JPEG coding where each tool can give them, after it otherwise.
  "$whole_job" "$pic" ours_$size.jpg --png "ours_$size.png"
  vipsthumbnail "$pic" -s 400x400 -o "vips_$size.png"
  results=("ours_$size.png" "vips_$size.png" "im_$size.jpg")
  for i in 0 1 2; do
    read -r -a cmd <<<"${commands[$i]}"
    peak=$(max_rss "${cmd[@]}")
    read -r psnr ssim <<<"$(quality "$pic" "${results[$i]}")"
    ratio=$(awk -v a="${ms[$i]}" -v b="${ms[1]}" 'BEGIN { printf "%.2f", a / b }')
    echo "| $size | ${names[$i]} | ${ms[$i]} | $ratio | $peak | $psnr | $ssim |"
  done
done

echo
echo "The window's path (window_job: the main window offscreen, medians of 9):"
echo
echo "| picture | click-to-preview ms | shrink ms | write ms |"
echo "|---|---:|---:|---:|"
for size in 1024x768 6000x4000; do
  for _ in 1 2 3 4 5 6 7 8 9; do
    QT_QPA_PLATFORM=offscreen "$window_job" "pic_$size.jpg" ours_$size.jpg --timings 2>&1 | grep '^click-to-preview'
  done >timings.txt
  preview=$(awk '{ print $2 }' timings.txt | median)
  shrink=$(awk '{ print $5 }' timings.txt | median)
  write=$(awk '{ print $8 }' timings.txt | median)
  echo "| $size | $preview | $shrink | $write |"
done

# A picture kept at its own size comes out pixel for pixel as it went in (as a PNG without colour chunks,
# and as a JPEG against djpeg's full-size decode).
"$convert" -seed 4711 -size 300x200 plasma:fractal -depth 8 -strip own.png
"$convert" own.png -quality 95 own.jpg
djpeg -outfile own_ref.ppm own.jpg
"$whole_job" own.png own_png.jpg --png own_png_result.png
"$whole_job" own.jpg own_jpg.jpg --png own_jpg_result.png
echo
echo "Kept at its own size (300 x 200): PNG $(compare -metric AE own.png own_png_result.png null: 2>&1) pixels differ," \
  "JPEG $(compare -metric AE own_ref.ppm own_jpg_result.png null: 2>&1) pixels differ"
echo "(pictures and results in $work)"
