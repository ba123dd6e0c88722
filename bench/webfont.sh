#!/bin/bash
# Times `gen` writing web fonts beside the tools made for them, and compares the sizes:
#   - WOFF2: `kestrix FONT font OUT.woff2 gen` beside woff2_compress and fontTools
#     (fontTools.ttLib.woff2.compress), all three Brotli at quality 11;
#   - WOFF 1.0: `kestrix FONT font OUT.woff gen` beside fontTools saving flavor "woff".
# Each time is the median of RUNS runs after one warm-up run, wall clock and CPU (user and
# system, which a busy machine disturbs less); sizes are in bytes and in % of the font.
#
#   bench/webfont.sh [-n RUNS] [-k KESTRIX] [FONT ...]
#
# The fonts default to Vera, DejaVu Sans, DejaVu Serif Bold, Nimbus Sans (CFF) and Droid
# Sans Fallback (4 MB). KESTRIX defaults to build/src/kestrix; build it optimised.
set -euo pipefail

runs=5
here=$(cd "$(dirname "$0")/.." && pwd)
kestrix=$here/build/src/kestrix
while getopts "n:k:" opt; do
    case $opt in
        n) runs=$OPTARG ;;
        k) kestrix=$OPTARG ;;
        *) echo "usage: $0 [-n RUNS] [-k KESTRIX] [FONT ...]" >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
[ -x "$kestrix" ] || { echo "no kestrix binary at $kestrix" >&2; exit 1; }
command -v woff2_compress >/dev/null || { echo "woff2_compress not installed (woff2)" >&2; exit 1; }
/usr/bin/python3 -c "import fontTools, brotli" 2>/dev/null ||
    { echo "fontTools with brotli needed (python3-fonttools python3-brotli)" >&2; exit 1; }
if [ $# -eq 0 ]; then
    set -- /usr/share/fonts/truetype/ttf-bitstream-vera/Vera.ttf \
        /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf \
        /usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf \
        /usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf \
        /usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf
fi

exec /usr/bin/python3 - "$runs" "$kestrix" "$@" <<'PY'
import os, resource, shutil, statistics, subprocess, sys, tempfile, time

runs, kestrix, fonts = int(sys.argv[1]), sys.argv[2], [f for f in sys.argv[3:] if os.path.exists(f)]
work = tempfile.mkdtemp(prefix="kestrix-bench-")
FONTTOOLS = ("from fontTools.ttLib import TTFont, woff2; import sys\n"
             "if sys.argv[1] == 'woff2': woff2.compress(sys.argv[2], sys.argv[3])\n"
             "else:\n f = TTFont(sys.argv[2]); f.flavor = 'woff'; f.save(sys.argv[3])")

def median_time(argv, out):
    """Median wall and CPU (user + system) times of argv, and the size of what it wrote;
    out is removed before each run. On a busy machine the CPU time is the steadier one."""
    def cpu():
        usage = resource.getrusage(resource.RUSAGE_CHILDREN)
        return usage.ru_utime + usage.ru_stime
    def once():
        if os.path.exists(out):
            os.remove(out)
        start, start_cpu = time.perf_counter(), cpu()
        subprocess.run(argv, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return time.perf_counter() - start, cpu() - start_cpu
    once()
    times = [once() for _ in range(runs)]
    return (statistics.median(t for t, _ in times), statistics.median(c for _, c in times),
            os.path.getsize(out))

def woff2_compress(font):
    """woff2_compress writes beside its input: a copy in the work directory."""
    copy = os.path.join(work, "wc" + os.path.splitext(font)[1])
    shutil.copyfile(font, copy)
    return ["woff2_compress", copy], os.path.join(work, "wc.woff2")

print("%-26s %-5s %9s  %-38s %-38s %-38s" % ("font", "kind", "sfnt", "kestrix gen", "woff2_compress", "fontTools"))
for font in fonts:
    name, size = os.path.basename(font), os.path.getsize(font)
    for kind in ("woff2", "woff"):
        out = os.path.join(work, "k." + kind)
        row = [median_time([kestrix, font, "font", out, "gen"], out)]
        if kind == "woff2":
            argv, wc_out = woff2_compress(font)
            row.append(median_time(argv, wc_out))
        else:
            row.append(None)
        ft_out = os.path.join(work, "f." + kind)
        row.append(median_time(["/usr/bin/python3", "-c", FONTTOOLS, kind, font, ft_out], ft_out))
        cells = ["-" if r is None else "%7.2f s (cpu %6.2f s) %9d B %5.1f%%"
                 % (r[0], r[1], r[2], 100.0 * r[2] / size) for r in row]
        print("%-26s %-5s %9d  %-38s %-38s %-38s" % (name, kind, size, *cells))
        sys.stdout.flush()
shutil.rmtree(work)
PY
