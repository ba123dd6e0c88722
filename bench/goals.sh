#!/bin/bash
# Every speed and memory goal for large fonts in one table, measured in one run:
#
#   font   `kestrix F font pop` / `ots-sanitize F OUT`     on the five fonts   goal <= 0.5
#   gen    `kestrix F font OUT gen` / `ots-sanitize F OUT` on the five fonts   goal <= 0.5
#   gen    `kestrix F font OUT gen` / `cp F OUT`           on the five fonts   goal <= 3
#   afm    `kestrix F font 3 1 afm > OUT` / FontForge's Generate of an AFM      goal <= 0.05
#   woff2  `kestrix F.woff2 font pop` / `woff2_decompress F.woff2` on ipag      goal <= 0.5
#   peak   each kestrix job's maximum resident set <= 4 x the file's size + 8 MB
#
# The five fonts are Vera, DejaVuSans, unifont_sample, DroidSansFallbackFull and ipag; afm
# runs on DejaVuSans, DroidSansFallbackFull and unifont.otf; the WOFF2 file is made from
# ipag.ttf with woff2_compress here. Each figure is the median of RUNS runs after a warm-up
# run (FontForge, which takes seconds, has no warm-up). Ratios are of processor time (perf
# stat's task-clock), which a machine shared with other work disturbs far less than wall
# time; peak memory comes from one more run under GNU time.
#
#   bench/goals.sh [-n RUNS] [-k KESTRIX]
#
# KESTRIX defaults to build-rel/src/kestrix, else build/src/kestrix: build it optimised.
set -euo pipefail

runs=7
here=$(cd "$(dirname "$0")/.." && pwd)
kestrix=$here/build-rel/src/kestrix
[ -x "$kestrix" ] || kestrix=$here/build/src/kestrix
while getopts "n:k:" opt; do
    case $opt in
        n) runs=$OPTARG ;;
        k) kestrix=$OPTARG ;;
        *) echo "usage: $0 [-n RUNS] [-k KESTRIX]" >&2; exit 2 ;;
    esac
done
[ -x "$kestrix" ] || { echo "no kestrix binary at $kestrix" >&2; exit 1; }
for tool in perf ots-sanitize fontforge woff2_compress woff2_decompress; do
    command -v $tool >/dev/null || { echo "$tool not installed" >&2; exit 1; }
done

exec python3 - "$runs" "$kestrix" <<'PY'
import os, shutil, statistics, subprocess, sys, tempfile

runs, kestrix = int(sys.argv[1]), sys.argv[2]
FONTS = {
    "Vera": "truetype/ttf-bitstream-vera/Vera.ttf",
    "DejaVuSans": "truetype/dejavu/DejaVuSans.ttf",
    "unifont_sample": "truetype/unifont/unifont_sample.ttf",
    "DroidSansFallbackFull": "truetype/droid/DroidSansFallbackFull.ttf",
    "ipag": "opentype/ipafont-gothic/ipag.ttf",
    "unifont.otf": "opentype/unifont/unifont.otf",
}
FONTS = {name: os.path.join("/usr/share/fonts", path) for name, path in FONTS.items()}
work = tempfile.mkdtemp(prefix="kestrix-goals-")
out = os.path.join(work, "out")
stat = os.path.join(work, "stat")


def run_once(argv, stdout_path=None):
    """Processor seconds of one run, counted by perf from the exec of the command on, so
    that neither this interpreter nor a launcher is charged to it."""
    if os.path.exists(out):
        os.remove(out)  # gen and ots-sanitize write a fresh file each run
    with open(stdout_path or os.devnull, "wb") as sink:
        done = subprocess.run(["perf", "stat", "-x,", "-e", "task-clock", "-o", stat] + argv,
                              stdout=sink, stderr=subprocess.DEVNULL)
    if done.returncode != 0:
        sys.exit(f"failed: {' '.join(argv)}")
    with open(stat) as f:
        for line in f:
            fields = line.split(",")
            if len(fields) > 2 and fields[2].startswith("task-clock"):
                return float(fields[0]) / 1e3
    sys.exit("no task-clock from perf stat")


def peak_kib(argv, stdout_path=None):
    """Maximum resident set of one run, from GNU time (a small process to fork from)."""
    if os.path.exists(out):
        os.remove(out)
    with open(stdout_path or os.devnull, "wb") as sink:
        subprocess.run(["/usr/bin/time", "-f", "%M", "-o", stat] + argv, stdout=sink,
                       stderr=subprocess.DEVNULL, check=True)
    with open(stat) as f:
        return int(f.read().split()[-1])


def measure(argv, stdout_path=None, warm=True):
    if warm:
        run_once(argv, stdout_path)  # warm the page cache
    cpu = statistics.median(run_once(argv, stdout_path) for _ in range(runs))
    return cpu, peak_kib(argv, stdout_path)


rows = []


def compare(job, font, ours, theirs, other, goal):
    (k_cpu, k_peak), (o_cpu, _) = ours, theirs
    size = os.path.getsize(FONTS[font] if font in FONTS else font)
    limit = 4 * size / 2**20 + 8
    ratio = k_cpu / o_cpu
    ok = ratio <= goal and k_peak / 1024 <= limit
    rows.append((job, os.path.basename(font), other, k_cpu * 1e3, o_cpu * 1e3, ratio, goal,
                 k_peak / 1024, limit, "yes" if ok else "NO"))


def ots(font):
    return measure(["ots-sanitize", FONTS[font], out])


try:
    five = ["Vera", "DejaVuSans", "unifont_sample", "DroidSansFallbackFull", "ipag"]
    for font in five:
        path = FONTS[font]
        o = ots(font)
        compare("font", font, measure([kestrix, path, "font", "pop"]), o, "ots-sanitize", 0.5)
        gen = measure([kestrix, path, "font", out, "gen"])
        compare("gen", font, gen, o, "ots-sanitize", 0.5)
        compare("gen", font, gen, measure(["cp", path, out]), "cp", 3)

    for font in ["DejaVuSans", "DroidSansFallbackFull", "unifont.otf"]:
        path = FONTS[font]
        ff = measure(["fontforge", "-quiet", "-lang=ff", "-c", "Open($1); Generate($2)", path,
                      out + ".afm"], warm=False)
        compare("afm", font, measure([kestrix, path, "font", "3", "1", "afm"], out), ff,
                "FontForge", 0.05)

    copy = os.path.join(work, "ipag.ttf")
    shutil.copyfile(FONTS["ipag"], copy)
    subprocess.run(["woff2_compress", copy], check=True, capture_output=True)
    woff2 = os.path.join(work, "ipag.woff2")
    FONTS[woff2] = woff2
    compare("font", woff2, measure([kestrix, woff2, "font", "pop"]),
            measure(["woff2_decompress", woff2]), "woff2_decompress", 0.5)
finally:
    shutil.rmtree(work, ignore_errors=True)

print(f"median of {runs} runs; ms = processor time (user + system) from perf stat's task-clock;"
      " peak = max resident MB (GNU time), limit = 4 x file + 8 MB")
print(f"{'job':5} {'font':22} {'against':16} {'kestrix':>8} {'other':>8} {'ratio':>6} "
      f"{'goal':>5} {'peak':>6} {'limit':>6} met")
for r in rows:
    print(f"{r[0]:5} {r[1]:22} {r[2]:16} {r[3]:8.2f} {r[4]:8.2f} {r[5]:6.3f} {r[6]:5.2f} "
          f"{r[7]:6.1f} {r[8]:6.1f} {r[9]}")
PY
