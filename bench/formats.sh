#!/bin/bash
# Times kestrix on the other font formats beside the tools made for them:
#   - `afm` of the largest CFF-flavoured OpenType font installed, beside FontForge
#     writing an AFM of the same file (goal: kestrix <= 1/4 of FontForge's time);
#   - `font` of a WOFF2 file made from the largest TrueType font installed, beside
#     woff2_decompress on it (goal: kestrix <= 2 x woff2_decompress);
#   - `gen` of the second font of the wqy-microhei collection, beside ots-sanitize of
#     that font (gen refuses fonts whose OS/2 is version 2 or later until those are
#     written, and ots-sanitize refuses this file for its misaligned FFTM table: both
#     exit statuses are shown).
# Each time is the median of RUNS runs after one warm-up run.
#
#   bench/formats.sh [-n RUNS] [-k KESTRIX]
#
# KESTRIX defaults to build/src/kestrix; build it optimised (RelWithDebInfo or Release).
set -euo pipefail

runs=5
here=$(cd "$(dirname "$0")/.." && pwd)
kestrix=$here/build/src/kestrix
while getopts "n:k:" opt; do
    case $opt in
        n) runs=$OPTARG ;;
        k) kestrix=$OPTARG ;;
        *) echo "usage: $0 [-n RUNS] [-k KESTRIX]" >&2; exit 2 ;;
    esac
done
[ -x "$kestrix" ] || { echo "no kestrix binary at $kestrix" >&2; exit 1; }
for tool in fontforge woff2_compress woff2_decompress ots-sanitize; do
    command -v $tool >/dev/null || { echo "$tool not installed" >&2; exit 1; }
done

exec python3 - "$runs" "$kestrix" <<'PY'
import os, shutil, statistics, subprocess, sys, tempfile, time

runs, kestrix = int(sys.argv[1]), sys.argv[2]
work = tempfile.mkdtemp(prefix="kestrix-bench-")

def fonts_with(magic, suffix):
    found = []
    for root, _, files in os.walk("/usr/share/fonts"):
        for name in files:
            path = os.path.join(root, name)
            if name.lower().endswith(suffix) and not os.path.islink(path):
                with open(path, "rb") as f:
                    if f.read(4) in magic:
                        found.append(path)
    return sorted(found, key=os.path.getsize)

def median_time(argv, fresh=()):
    """Median wall time of argv; the files in `fresh` are removed before each run."""
    def once():
        for f in fresh:
            if os.path.exists(f):
                os.remove(f)
        start = time.perf_counter()
        done = subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return time.perf_counter() - start, done.returncode
    once()
    results = [once() for _ in range(runs)]
    return statistics.median(t for t, _ in results), results[-1][1]

def report(what, ours, theirs, other, goal):
    (t1, s1), (t2, s2) = ours, theirs
    print("%-52s kestrix %7.3f s (exit %d)  %-16s %7.3f s (exit %d)  ratio %.3f (goal %s)"
          % (what, t1, s1, other, t2, s2, t1 / t2, goal))

cff = fonts_with((b"OTTO",), ".otf")[-1]
afm_out = os.path.join(work, "out.afm")
report("afm 3 1 of " + os.path.basename(cff),
       median_time(["sh", "-c", '"$0" "$1" font 3 1 afm > "$2"', kestrix, cff, afm_out], [afm_out]),
       median_time(["fontforge", "-lang=ff", "-c", "Open($1); Generate($2)", cff, afm_out], [afm_out]),
       "FontForge", "<= 0.25")

ttf = fonts_with((b"\0\1\0\0", b"true"), ".ttf")[-1]
copy = os.path.join(work, "web.ttf")
shutil.copyfile(ttf, copy)
subprocess.run(["woff2_compress", copy], check=True, capture_output=True)
woff2 = os.path.join(work, "web.woff2")
report("font of %s as WOFF2" % os.path.basename(ttf),
       median_time([kestrix, woff2, "font", "pop"]),
       median_time(["woff2_decompress", woff2], [copy]),
       "woff2_decompress", "<= 2")

ttc = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
if os.path.exists(ttc):
    gen_out, ots_out = os.path.join(work, "gen.ttf"), os.path.join(work, "ots.ttf")
    report("gen of font 1 of " + os.path.basename(ttc),
           median_time([kestrix, ttc, "1", "face", gen_out, "gen"], [gen_out]),
           median_time(["ots-sanitize", ttc, ots_out, "1"], [ots_out]),
           "ots-sanitize", "-")
shutil.rmtree(work)
PY
