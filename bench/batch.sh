#!/usr/bin/env bash
# Many pictures at once against the peers: our command line (--jobs left at its default), one vipsthumbnail
# call over the same files, and ImageMagick's mogrify, on seeded 6000 x 4000 JPEGs of two kinds (smooth,
# and noisy like a camera's, about 7 MB each at quality 92), fitted into boxes of 400, 1280, 1920 and 3000
# and written at quality 85; then the noisy ones written as WebP (libwebp method 4, which vipsthumbnail also
# uses) into 1920, one noisy picture with -j 1 against vipsthumbnail on it, and 12-megapixel HEIC photos
# (noisy 4000 x 3000 JPEGs through heif-enc -q 85) into 1920. Within a round
# the commands run one after another, rounds alternate. Prints, for each row, the median wall time,
# pictures per second, the ratio to vipsthumbnail, the median CPU time (user + system) and its ratio, the
# peak memory and PSNR/SSIM of one result against ImageMagick's Lanczos made at the result's own size. On a
# shared machine the CPU times are the figures to compare.
#   bench/batch.sh [BUILD_DIR]     (default: build, from the repository root)
#   TORV_BENCH_COUNT (12), TORV_BENCH_ROUNDS (3), TORV_BENCH_BOXES ("400 1280 1920 3000"),
#   TORV_BENCH_SETS ("noisy smooth"; without noisy, the WebP and single-picture rows are left out too),
#   TORV_BENCH_MOGRIFY (yes; no leaves the slow peer out), TORV_BENCH_DIR,
#   TORV_BENCH_HEIC (4 HEIC photos; 0 leaves the row out; 40 measures a long batch's memory:
#   TORV_BENCH_SETS= TORV_BENCH_HEIC=40 gives that row alone)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
ours=$build/app/torv-image-resize
make_photos=$build/bench/make_photos
metrics=$build/bench/image_metrics
for tool in "$ours" "$make_photos" "$metrics"; do
  [ -x "$tool" ] || { echo "missing $tool: build the project first" >&2; exit 1; }
done
"$root/tools/install_packages.sh" libvips-tools time imagemagick webp libheif-examples

count=${TORV_BENCH_COUNT:-12}
rounds=${TORV_BENCH_ROUNDS:-3}
boxes=${TORV_BENCH_BOXES:-400 1280 1920 3000}
sets=${TORV_BENCH_SETS:-noisy smooth}
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
row() {  # row SET BOX JOBS_OPTION WITH_MOGRIFY [RESULT: jpg (default) or webp] [ORIGINALS: jpg (default) or heic]
  local set=$1 box=$2 jobs=$3 im=$4 ext=${5:-jpg} in=${6:-jpg} n
  n=$(ls "$set"/*."$in" | wc -l)
  local names=(torv-image-resize vipsthumbnail mogrify)
  [ "$ext" = jpg ] || names[0]="torv-image-resize --format $ext"
  local commands=(
    "$ours --box ${box}x$box --quality 85 --format $ext $jobs --output $work/out_0 $set"
    "vipsthumbnail -s ${box}x$box -o $work/out_1/%s.$ext[Q=85] $set/*.$in"
    "mogrify -path $work/out_2 -format jpg -resize ${box}x$box -quality 85 $set/*.$in"
  )
  local used=2; [ "$im" = yes ] && used=3
  rm -f stats_*
  for ((r = 0; r < rounds; r++)); do
    for ((i = 0; i < used; i++)); do
      rm -rf "out_$i" && mkdir -p "out_$i"
      timed "stats_$i" sh -c "${commands[$i]}"
    done
  done
  local vips vipsCpu; vips=$(awk '{ print $1 }' stats_1 | median); vipsCpu=$(awk '{ print $3 }' stats_1 | median)
  local outs=(out_0/photo-001_kucuk.$ext out_1/photo-001.$ext out_2/photo-001.jpg)
  for ((i = 0; i < used; i++)); do
    local t cpu peak quality geometry ref
    # The metrics read what Qt reads: a WebP result is measured as its lossless PNG.
    [ "$ext" = jpg ] || { dwebp -quiet "${outs[$i]}" -o "${outs[$i]}.png"; outs[$i]=${outs[$i]}.png; }
    geometry=$(identify -format '%wx%h' "${outs[$i]}")
    # At 16 bits: ImageMagick truncates to 8, which would move its reference half a level down.
    ref=ref16_${set}_$geometry.png
    [ -s "$ref" ] || convert "$set/photo-001.$in" -filter Lanczos -resize "$geometry!" -depth 16 "$ref"
    t=$(awk '{ print $1 }' "stats_$i" | median)
    cpu=$(awk '{ print $3 }' "stats_$i" | median)
    peak=$(awk '{ print $2 }' "stats_$i" | sort -n | tail -1)
    quality=$("$metrics" "$ref" "${outs[$i]}")
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
echo
echo "(pictures and results in $work; $(nproc) cores; load average at the end: $(cut -d' ' -f1-3 /proc/loadavg))"
