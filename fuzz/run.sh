#!/usr/bin/env bash
# Builds the libFuzzer harnesses and runs each for its share of the given time.
#   fuzz/run.sh [seconds]     60 by default, split between the loader and the writer harness
#   TORV_FUZZ_RUNS=N fuzz/run.sh
#                             instead of a time, N inputs a harness from a fixed random seed and the seeds
#                             alone, so that a build that passed once passes again (CI's way; timed runs
#                             with fresh seeds are the ones that look for new faults)
# Seeds: the hostile corpus and a few good pictures. New inputs, and any input that crashes, go to a
# scratch folder (TORV_FUZZ_WORK, by default build-fuzz/work), which grows from run to run and is never
# part of the repository. A crash, sanitizer report, timeout or memory overrun fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
work=$(realpath -m "${TORV_FUZZ_WORK:-build-fuzz/work}")

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 --target fuzz_loader fuzz_writer

mkdir -p "$work/seeds" "$work/artifacts"
# Small seeds only: the fuzzer's inputs grow to its largest seed, and the corpus's costly files (a 6000 x 4000
# JPEG of hundreds of scans, PNGs of 65 megapixels) are refused from their headers, which small seeds reach.
rm -rf "$work/seeds" && mkdir -p "$work/seeds"
find tests/data/hostile -maxdepth 1 -type f ! -name '*.sh' ! -name '*.tsv' -size -64k -exec cp {} "$work/seeds/" \;
# Good pictures: any the tests keep elsewhere under tests/data, and a few photo-like ones made here.
find tests/data -path tests/data/hostile -prune -o -type f \
  \( -iname '*.jpg' -o -iname '*.jpeg' -o -iname '*.png' -o -iname '*.bmp' -o -iname '*.gif' -o -iname '*.heic' \
     -o -iname '*.avif' -o -iname '*.webp' -o -iname '*.tif' \) \
  -size -512k -exec cp {} "$work/seeds/" \;
if command -v convert >/dev/null; then
  convert -size 320x240 -seed 7 plasma:fractal -strip "$work/photo.png"
  for kind in jpg png bmp gif webp tif; do
    [ -e "$work/seeds/photo.$kind" ] || convert "$work/photo.png" -quality 85 "$work/seeds/photo.$kind"
  done
  # Small ones: the fuzzer's inputs grow to the largest seed.
  [ -e "$work/seeds/photo.heic" ] || heif-enc -q 50 "$work/photo.png" -o "$work/seeds/photo.heic" >/dev/null
  [ -e "$work/seeds/photo.avif" ] || avifenc -s 9 --min 30 --max 40 "$work/photo.png" "$work/seeds/photo.avif" >/dev/null
  [ -e "$work/seeds/photo-progressive.jpg" ] ||
    convert "$work/photo.png" -interlace JPEG -quality 85 "$work/seeds/photo-progressive.jpg"
  # Restart markers, which the preview's own parse splits its work at: every two MCUs in a small photo, and
  # every MCU row in a flat 4800 x 3600 grey one (200 KB), large enough for the preview to take that parse.
  if command -v cjpeg >/dev/null; then
    convert "$work/photo.png" "$work/photo.ppm" && cjpeg -quality 85 -restart 2B "$work/photo.ppm" >"$work/seeds/photo-restarts.jpg"
    convert -size 4800x3600 xc:gray50 "$work/flat.pgm" &&
      cjpeg -quality 50 -restart 1 "$work/flat.pgm" >"$work/seeds/flat-4800x3600-restarts.jpg"
  fi
  # Small kin of the corpus's costly JPEGs: a stray byte before each scan, and a progressive frame of
  # 16384 x 16384 whose scan is cut short.
  python3 - "$work/seeds" <<'PY'
import sys
seeds = sys.argv[1]
jpeg = open(f"{seeds}/photo-progressive.jpg", "rb").read()
open(f"{seeds}/photo-progressive-stray-bytes.jpg", "wb").write(jpeg.replace(b"\xff\xda", b"\x00\xff\xda"))
big = open("tests/data/hostile/jpeg-progressive-dc-only-16384x16384.jpg", "rb").read()
open(f"{seeds}/progressive-16384x16384-cut.jpg", "wb").write(big[:4096] + b"\xff\xd9")
PY
fi

# The harnesses' scratch files; libFuzzer ends without running exit handlers, so clear them here. In memory
# where there is a tmpfs: the writer harness syncs every file it saves, which on a disk costs more than
# the fuzzing.
scratch=$work/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && scratch=/dev/shm/torv-fuzz-$$
rm -rf "$scratch" && mkdir -p "$scratch"
trap 'rm -rf "$scratch"' EXIT
export TMPDIR=$scratch
export QT_QPA_PLATFORM=offscreen
# Decoders warn on every damaged input; at thousands of inputs a second that is only noise.
export QT_LOGGING_RULES=${QT_LOGGING_RULES:-"qt.*=false;default.warning=false"}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# Qt's own known leaks, the same list the sanitizer test run uses.
if [ -z "${LSAN_OPTIONS:-}" ] && [ -f tests/lsan.supp ]; then
  export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
fi

share=$((seconds / 2))
failed=()
for harness in fuzz_loader fuzz_writer; do
  if [ "$harness" = fuzz_loader ]; then time=$share; else time=$((seconds - share)); fi
  [ "$time" -ge 1 ] || time=1  # 0 would mean no limit to libFuzzer
  if [ -n "${TORV_FUZZ_RUNS:-}" ]; then
    # From the seeds alone, not from what earlier runs here found.
    corpus=$work/fixed-$harness
    rm -rf "$corpus"
    limit=(-runs="$TORV_FUZZ_RUNS" -seed=1)
    echo "== $harness for $TORV_FUZZ_RUNS inputs"
  else
    corpus=$work/corpus-$harness
    limit=(-max_total_time="$time")
    echo "== $harness for ${time} s"
  fi
  mkdir -p "$corpus"
  # No single allocation over 2 GB, and 4 GB in all: the loader admits up to 1 GiB of pixels, a GIF of a
  # few kilobytes may claim a quarter of that, and it is decoded while loading, before a harness can skip
  # it; under the sanitizers that decode and its copies pass 2 GB.
  # The whole output goes to a log; the screen gets it without the progress lines, the suggested dictionary
  # and the decoders' own complaints about damaged inputs, so that a fault's report ends what CI shows.
  log=$work/logs/$harness.log
  mkdir -p "$work/logs"
  if "build-fuzz/fuzz/$harness" "${limit[@]}" -timeout=10 -rss_limit_mb=4096 -malloc_limit_mb=2048 \
    -artifact_prefix="$work/artifacts/$harness-" -print_final_stats=1 "$corpus" "$work/seeds" >"$log" 2>&1; then
    grep -E '^(Done|stat::|INFO: (Seed|Loaded|-max_len))' "$log" || true
  else
    failed+=("$harness")
    echo "-- $harness: the fault, from $log"
    # From the first line of a sanitizer's or libFuzzer's report on.
    awk '/^==[0-9]+==|ERROR: libFuzzer|deadly signal|^ALARM|out-of-memory|runtime error:|^fuzz invariant broken/ { on = 1 }
         on && n < 120 { print; n++ }' "$log"
    unit=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -1)
    if [ -n "$unit" ] && [ -f "$unit" ]; then
      echo "-- $harness: the input again, alone (does it fail by itself?)"
      "build-fuzz/fuzz/$harness" -timeout=10 -rss_limit_mb=4096 -malloc_limit_mb=2048 -runs=3 "$unit" 2>&1 |
        grep -v -E '^(libpng error|TIFF)' | tail -40 || true
      echo "-- $harness: the input's first bytes"
      od -A d -t x1 "$unit" | head -8
    fi
  fi
done
if ((${#failed[@]})); then
  echo "fuzzing found a fault in: ${failed[*]}; the input is in $work/artifacts" >&2
  exit 1
fi
