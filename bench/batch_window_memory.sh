#!/bin/bash
# What the window program holds before, during and after a batch from the batch window, as a user runs it:
# the program on a virtual X screen with openbox, the batch window over FOLDER, Enter pressed, its resident
# memory (VmRSS) sampled until every picture has a result, then 2 s and 20 s after.
#   bench/batch_window_memory.sh build/app/torv-image-resize-window FOLDER
# (FOLDER: e.g. 40 HEICs, made with bench/make_photos and heif-enc; its *_kucuk.jpg are removed first.)
set -u
program=$1
folder=$2
n=171
while [ -e /tmp/.X$n-lock ]; do n=$((n + 1)); done
display=:$n
rm -f "$folder"/*_kucuk.jpg
pictures=$(ls "$folder" | wc -l)
Xvfb $display -screen 0 1280x800x24 >/dev/null 2>&1 &
xvfb=$!
sleep 1
DISPLAY=$display openbox >/dev/null 2>&1 &
openbox=$!
config=$(mktemp -d)
XDG_CONFIG_HOME=$config DISPLAY=$display "$program" --batch-window "$folder" >/dev/null 2>&1 &
pid=$!
trap 'kill $pid $openbox $xvfb 2>/dev/null; rm -rf "$config"' EXIT
sleep 4
rss() { awk '/VmRSS/ {printf "%.0f MB", $2 / 1024}' /proc/$pid/status; }
echo "before the batch: $(rss)"
DISPLAY=$display xdotool search --name "Resimleri küçült" windowactivate --sync key Return
start=$(date +%s%N)
peak=0
while [ "$(ls "$folder"/*_kucuk.jpg 2>/dev/null | wc -l)" -lt "$pictures" ]; do
    kib=$(awk '/VmRSS/ {print $2}' /proc/$pid/status)
    [ "$kib" -gt "$peak" ] && peak=$kib
    sleep 0.2
    [ $(( ($(date +%s%N) - start) / 1000000000 )) -gt 900 ] && break
done
echo "$pictures pictures in $(( ($(date +%s%N) - start) / 1000000 )) ms; peak $((peak / 1024)) MB"
sleep 2
echo "2 s after: $(rss)"
sleep 18
echo "20 s after: $(rss)"
