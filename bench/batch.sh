#!/usr/bin/env bash
# Many pictures at once against the peers, in one run: our command line (--jobs left at its default), one
# vipsthumbnail call over the same files, and ImageMagick's mogrify, on 40 seeded camera-like 6000 x 4000
# JPEGs and on 200 of 1024 x 768, each fitted into 400 x 400 and written at quality 90. The three commands
# run in alternating rounds (hyperfine); prints wall-time medians, pictures per second, peak memory, and
# PSNR/SSIM of three results against a Lanczos reference made at each result's own size.
#   bench/batch.sh [BUILD_DIR]     (default: build, from the repository root)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
ours=$build/app/torv-image-resize
make_photos=$build/bench/make_photos
metrics=$build/bench/image_metrics
for tool in "$ours" "$make_photos" "$metrics"; do
  [ -x "$tool" ] || { echo "missing $tool: build the project first" >&2; exit 1; }
done

need=(libvips-tools hyperfine time imagemagick jq)
"$root/tools/install_packages.sh" "${need[@]}"
  "${SUDO[@]}" apt-get update -qq
  "${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

work=${TORV_BENCH_DIR:-$(mktemp -d)}
mkdir -p "$work"
cd "$work"
[ -s big/photo-040.jpg ] || "$make_photos" 40 6000x4000 big
[ -s small/photo-200.jpg ] || "$make_photos" 200 1024x768 small

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
max_rss() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1 | awk '{ printf "%.0f", $1 / 1024 }'; }

echo
echo "| pictures | command | median s | pictures/s | ratio to vipsthumbnail | peak MB | PSNR dB | SSIM |"
echo "|---|---|---:|---:|---:|---:|---:|---:|"
for set in big small; do
  count=$(ls "$set"/*.jpg | wc -l)
  names=(torv-image-resize vipsthumbnail mogrify)
  commands=(
    "$ours --box 400x400 --quality 90 --output out_ours $set"
    "vipsthumbnail -s 400x400 -o $work/out_vips/%s.jpg[Q=90] $set/*.jpg"
    "mogrify -path out_im -resize 400x400 -quality 90 $set/*.jpg"
  )
  rm -f times_*.txt
  for round in 1 2 3; do
    hyperfine --runs 1 --prepare 'rm -rf out_ours out_vips out_im; mkdir -p out_vips out_im' \
      --export-json round.json "${commands[@]}" >/dev/null 2>&1
    for i in 0 1 2; do jq -r ".results[$i].times[]" round.json >>"times_$i.txt"; done
  done
  declare -A s=()
  for i in 0 1 2; do s[$i]=$(median <"times_$i.txt"); done
  rm -rf out_ours out_vips out_im && mkdir -p out_vips out_im
  peaks=("$(max_rss sh -c "${commands[0]}")" "$(max_rss sh -c "${commands[1]}")" "$(max_rss sh -c "${commands[2]}")")
  outs=(out_ours/%s_kucuk.jpg out_vips/%s.jpg out_im/%s.jpg)
  for i in 0 1 2; do
    psnr_sum=0 ssim_sum=0
    for n in 001 017 033; do
      result=$(printf "${outs[$i]}" "photo-$n")
      geometry=$(identify -format '%wx%h' "$result")
      ref=ref_${set}_${n}_$geometry.png
      [ -s "$ref" ] || convert "$set/photo-$n.jpg" -filter Lanczos -resize "$geometry!" "$ref"
      read -r psnr ssim <<<"$("$metrics" "$ref" "$result")"
      psnr_sum=$(awk -v a="$psnr_sum" -v b="$psnr" 'BEGIN { print a + b }')
      ssim_sum=$(awk -v a="$ssim_sum" -v b="$ssim" 'BEGIN { print a + b }')
    done
    awk -v n="$set" -v c="$count" -v name="${names[$i]}" -v t="${s[$i]}" -v v="${s[1]}" -v peak="${peaks[$i]}" \
      -v p="$psnr_sum" -v q="$ssim_sum" 'BEGIN {
        label = (n == "big") ? c " x 6000x4000" : c " x 1024x768"
        printf "| %s | %s | %.2f | %.1f | %.2f | %s | %.2f | %.4f |\n", label, name, t, c / t, t / v, peak, p / 3, q / 3 }'
  done
done
echo
echo "(pictures and results in $work; $(nproc) cores)"
