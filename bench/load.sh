#!/bin/bash
# Times loading large real fonts (`kestrix F font pop`: every table parsed, every glyph
# read) against `ots-sanitize F out.ttf`, which also parses every table and glyph, and
# reports peak memory against the file size.
#
#   bench/load.sh [-n RUNS] [-k KESTRIX] [FONT...]
#
# Without fonts it takes the large fonts it finds installed (unifont_sample.ttf,
# DroidSansFallbackFull.ttf, ipag.ttf). KESTRIX defaults to build/src/kestrix; build it
# optimised (the default RelWithDebInfo or Release) before measuring.
# Goals: time ratio kestrix/ots <= 1, kestrix peak memory < 10 x file size.
set -euo pipefail

runs=9
here=$(cd "$(dirname "$0")/.." && pwd)
kestrix=$here/build/src/kestrix
while getopts "n:k:" opt; do
    case $opt in
        n) runs=$OPTARG ;;
        k) kestrix=$OPTARG ;;
        *) echo "usage: $0 [-n RUNS] [-k KESTRIX] [FONT...]" >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))

fonts=("$@")
if [ ${#fonts[@]} -eq 0 ]; then
    while IFS= read -r f; do fonts+=("$f"); done < <(
        find /usr/share/fonts \( -name 'unifont_sample*.ttf' -o -name DroidSansFallbackFull.ttf \
            -o -name ipag.ttf \) 2>/dev/null | sort)
fi
[ ${#fonts[@]} -gt 0 ] || { echo "no fonts to measure" >&2; exit 1; }
[ -x "$kestrix" ] || { echo "no kestrix binary at $kestrix" >&2; exit 1; }
command -v ots-sanitize >/dev/null || { echo "ots-sanitize not installed" >&2; exit 1; }

exec python3 - "$runs" "$kestrix" "${fonts[@]}" <<'PY'
import os, resource, shutil, statistics, subprocess, sys, tempfile, time

runs, kestrix, fonts = int(sys.argv[1]), sys.argv[2], sys.argv[3:]
gnu_time = "/usr/bin/time" if os.access("/usr/bin/time", os.X_OK) else None
work = tempfile.mkdtemp(prefix="kestrix-bench-")
out = os.path.join(work, "out.ttf")

def command(tool, font):
    if tool == "kestrix":
        return [kestrix, font, "font", "pop"]
    return ["ots-sanitize", font, out]

def run_once(argv):
    if os.path.exists(out):
        os.remove(out)  # ots-sanitize writes a fresh copy each run
    start = time.perf_counter()
    done = subprocess.run(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start, done.returncode

def median_time(argv):
    run_once(argv)  # warm the page cache
    times = []
    for _ in range(runs):
        t, status = run_once(argv)
        if status != 0:
            sys.exit(f"{argv[0]} failed with status {status}")
        times.append(t)
    return statistics.median(times)

def peak_kib(argv):
    if os.path.exists(out):
        os.remove(out)
    if gnu_time:
        done = subprocess.run([gnu_time, "-v"] + argv, stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE, text=True)
        for line in done.stderr.splitlines():
            if "Maximum resident set size" in line:
                return int(line.split(":")[1])
    # A fresh interpreter so that its children's peak is this program's alone.
    probe = ("import resource, subprocess, sys; subprocess.run(sys.argv[1:], "
             "stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL); "
             "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)")
    return int(subprocess.run([sys.executable, "-c", probe] + argv, capture_output=True,
                              text=True).stdout)

print(f"{runs} runs each, median wall time; peak = maximum resident set size")
print(f"{'font':28} {'size':>9} {'kestrix':>9} {'ots':>9} {'ratio':>6} "
      f"{'k.peak':>9} {'x size':>6} {'o.peak':>9}")
worst_time = worst_mem = 0.0
try:
    for font in fonts:
        size = os.path.getsize(font)
        k_time = median_time(command("kestrix", font))
        o_time = median_time(command("ots", font))
        k_peak = peak_kib(command("kestrix", font))
        o_peak = peak_kib(command("ots", font))
        ratio, mem = k_time / o_time, k_peak * 1024 / size
        worst_time, worst_mem = max(worst_time, ratio), max(worst_mem, mem)
        print(f"{os.path.basename(font):28} {size / 1e6:8.2f}M {k_time * 1e3:7.1f}ms "
              f"{o_time * 1e3:7.1f}ms {ratio:6.2f} {k_peak / 1024:8.1f}M {mem:6.2f} "
              f"{o_peak / 1024:8.1f}M")
finally:
    shutil.rmtree(work, ignore_errors=True)
print(f"worst: time ratio {worst_time:.2f} (goal <= 1), peak {worst_mem:.2f} x file size "
      f"(goal < 10)")
PY
