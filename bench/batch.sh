#!/usr/bin/env bash
# Many pictures at once against the peers: our command line (--jobs left at its default), one vipsthumbnail
# call over the same files, and ImageMagick's mogrify, on seeded 6000 x 4000 JPEGs of two kinds (smooth,
# and noisy like a camera's, about 7 MB each at quality 92), fitted into boxes of 400, 1280, 1920 and 3000
# and written at quality 85; then the noisy ones written as WebP (libwebp method 4, which vipsthumbnail also
# uses) into 1920, one noisy picture with -j 1 against vipsthumbnail on it, 12-megapixel HEIC photos
# (noisy 4000 x 3000 JPEGs through heif-enc -q 85), 8 smooth 3000 x 2000 PNGs and 8 noisy 4000 x 3000 WebPs
# (quality 80) into 1920. Each JPEG-to-JPEG row has a floor beside it: libjpeg-turbo's own decode at the
# smallest M/8 scale that covers the box (djpeg -scale M/8) and its encode of a picture of the result's size
# at quality 85 (cjpeg), for each picture, the time divided by the cores: no resizer that decodes and
# encodes with libjpeg-turbo gets under it. Within a round the commands run one after another, rounds
# alternate. Prints, for each row, the median wall time, pictures per second, the ratio to vipsthumbnail,
# the median CPU time (user + system) and its ratio, the peak memory and PSNR/SSIM of one result against
# ImageMagick's Lanczos made at the result's own size. On a shared machine the CPU times are the figures to
# compare.
#   bench/batch.sh [BUILD_DIR]     (default: build, from the repository root)
#   TORV_BENCH_COUNT (12), TORV_BENCH_ROUNDS (3), TORV_BENCH_BOXES ("400 1280 1920 3000"),
#   TORV_BENCH_SETS ("noisy smooth"; without noisy, the WebP and single-picture rows are left out too),
#   TORV_BENCH_MOGRIFY (yes; no leaves the slow peer out), TORV_BENCH_DIR,
#   TORV_BENCH_HEIC (4 HEIC photos; 0 leaves the row out; 40 measures a long batch's memory:
#   TORV_BENCH_SETS= TORV_BENCH_HEIC=40 gives that row alone),
#   TORV_BENCH_PNG (8 PNG originals; 0 leaves the row out), TORV_BENCH_WEBP (8 WebP originals; 0: no row)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
ours=$build/app/torv-image-resize
make_photos=$build/bench/make_photos
metrics=$build/bench/image_metrics
for tool in "$ours" "$make_photos" "$metrics"; do
  [ -x "$tool" ] || { echo "missing $tool: build the project first" >&2; exit 1; }
done
"$root/tools/install_packages.sh" libvips-tools time imagemagick webp libheif-examples libjpeg-turbo-progs

count=${TORV_BENCH_COUNT:-12}
rounds=${TORV_BENCH_ROUNDS:-3}
boxes=${TORV_BENCH_BOXES:-400 1280 1920 3000}
sets=${TORV_BENCH_SETS-noisy smooth}
mogrify=${TORV_BENCH_MOGRIFY:-yes}
work=${TORV_BENCH_DIR:-$(mktemp -d)}
mkdir -p "$work"
cd "$work"
last=$(printf '%03d' "$count")
noisy=no; [[ " $sets " == *" noisy "* ]] && noisy=yes
[[ " $sets " != *" smooth "* ]] || [ -s smooth/photo-$last.jpg ] || "$make_photos" "$count" 6000x4000 smooth 3
if [ $noisy = yes ]; then
  [ -s noisy/photo-$last.jpg ] || "$make_photos" "$count" 6000x4000 noisy 10
  mkdir -p one && cp noisy/photo-001.jpg one/
fi
# A folder for each count, so that the row has exactly that many.
heic=${TORV_BENCH_HEIC:-4}
if ((heic > 0)); then
  [ -s "heic-$heic/photo-$(printf '%03d' "$heic").heic" ] || "$make_photos" "$heic" 4000x3000 "heic-$heic" 10
  for jpeg in "heic-$heic"/*.jpg; do
    [ -e "$jpeg" ] || continue
    [ -s "${jpeg%.jpg}.heic" ] || heif-enc -q 85 "$jpeg" -o "${jpeg%.jpg}.heic" >/dev/null
    rm "$jpeg"
  done
fi
pngs=${TORV_BENCH_PNG:-8}
((pngs == 0)) || [ -s "png-$pngs/photo-$(printf '%03d' "$pngs").png" ] || "$make_photos" "$pngs" 3000x2000 "png-$pngs" 3 png
webps=${TORV_BENCH_WEBP:-8}
((webps == 0)) || [ -s "webp-$webps/photo-$(printf '%03d' "$webps").webp" ] ||
  "$make_photos" "$webps" 4000x3000 "webp-$webps" 10 webp

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# Runs a command, appending "seconds peak-MB cpu-seconds" to the file named first.
timed() {
  local out=$1; shift
  /usr/bin/time -f '%e %M %U %S' -o "$out.last" "$@" >/dev/null 2>&1
  awk '{ printf "%s %.0f %.2f\n", $1, $2 / 1024, $3 + $4 }' "$out.last" >>"$out"
}

echo
echo "| pictures | box | command | median s | pictures/s | ratio to vipsthumbnail | CPU s | CPU ratio | peak MB | PSNR dB | SSIM |"
echo "|---|---:|---|---:|---:|---:|---:|---:|---:|---:|---:|"
row() {  # row SET BOX JOBS_OPTION WITH_MOGRIFY [RESULT: jpg (default) or webp] [ORIGINALS: jpg (default), heic, png, webp]
  local set=$1 box=$2 jobs=$3 im=$4 ext=${5:-jpg} in=${6:-jpg} n
  n=$(ls "$set"/*."$in" | wc -l)
  local names=(torv-image-resize vipsthumbnail mogrify "floor: djpeg + cjpeg ÷ $(nproc) cores")
  [ "$ext" = jpg ] || names[0]="torv-image-resize --format $ext"
  local commands=(
    "$ours --box ${box}x$box --quality 85 --format $ext $jobs --output $work/out_0 $set"
    "vipsthumbnail -s ${box}x$box -o $work/out_1/%s.$ext[Q=85] $set/*.$in"
    "mogrify -path $work/out_2 -format jpg -resize ${box}x$box -quality 85 $set/*.$in"
  )
  local used=(0 1); [ "$im" = yes ] && used+=(2)
  if [ "$ext$in" = jpgjpg ]; then
    # The smallest M/8 whose scale of the first picture covers the box, and a picture of the result's size.
    local scale
    scale=$(identify -format '%w %h' "$set/photo-001.jpg" | awk -v b="$box" '{ f = b / $1; if (b / $2 < f) f = b / $2
      if (f > 1) f = 1; m = int(8 * f); if (m < 8 * f) m++; print (m < 1 ? 1 : m) }')
    local sized=floor_${set}_$box.ppm
    [ -s "$sized" ] || convert "$set/photo-001.jpg" -resize "${box}x$box" "$sized"
    commands[3]="for f in $set/*.jpg; do djpeg -scale $scale/8 \$f >/dev/null; cjpeg -quality 85 $sized >/dev/null; done"
    names[3]="floor: djpeg -scale $scale/8 + cjpeg, ÷ $(nproc) cores"
    used+=(3)
  fi
  rm -f stats_*
  for ((r = 0; r < rounds; r++)); do
    for i in "${used[@]}"; do
      rm -rf "out_$i" && mkdir -p "out_$i"
      timed "stats_$i" sh -c "${commands[$i]}"
    done
  done
  local vips vipsCpu; vips=$(awk '{ print $1 }' stats_1 | median); vipsCpu=$(awk '{ print $3 }' stats_1 | median)
  local outs=(out_0/photo-001_kucuk.$ext out_1/photo-001.$ext out_2/photo-001.jpg)
  for i in "${used[@]}"; do
    local t cpu peak quality geometry ref cores=1
    if ((i == 3)); then
      # The floor writes nothing to measure; it runs one picture at a time, so its wall time is shared out.
      cores=$(nproc)
      quality="nan nan"
    else
      # The metrics read what Qt reads: a WebP result is measured as its lossless PNG.
      [ "$ext" = jpg ] || { dwebp -quiet "${outs[$i]}" -o "${outs[$i]}.png"; outs[$i]=${outs[$i]}.png; }
      geometry=$(identify -format '%wx%h' "${outs[$i]}")
      # At 16 bits: ImageMagick truncates to 8, which would move its reference half a level down.
      ref=ref16_${set}_$geometry.png
      [ -s "$ref" ] || convert "$set/photo-001.$in" -filter Lanczos -resize "$geometry!" -depth 16 "$ref"
      quality=$("$metrics" "$ref" "${outs[$i]}")
    fi
    t=$(awk -v c=$cores '{ print $1 / c }' "stats_$i" | median)
    cpu=$(awk '{ print $3 }' "stats_$i" | median)
    peak=$(awk '{ print $2 }' "stats_$i" | sort -n | tail -1)
    awk -v set="$n $set${jobs:+ $jobs}" -v box="$box" -v name="${names[$i]}" -v t="$t" -v v="$vips" -v n="$n" \
      -v cpu="$cpu" -v vc="$vipsCpu" -v peak="$peak" -v q="$quality" 'BEGIN { split(q, m, " ")
        printf "| %s | %s | %s | %.2f | %.1f | %.2f | %.2f | %.2f | %s | %.2f | %.4f |\n", set, box, name, t, n / t, t / v,
               cpu, cpu / vc, peak, m[1], m[2] }'
  done
}
for set in $sets; do
  for box in $boxes; do row "$set" "$box" "" "$mogrify"; done
done
if [ $noisy = yes ]; then
  row noisy 1920 "" no webp
  row one 1920 "-j 1" no
fi
((heic == 0)) || row "heic-$heic" 1920 "" no jpg heic
((pngs == 0)) || row "png-$pngs" 1920 "" no jpg png
((webps == 0)) || row "webp-$webps" 1920 "" no jpg webp
echo
echo "(pictures and results in $work; $(nproc) cores; load average at the end: $(cut -d' ' -f1-3 /proc/loadavg))"
