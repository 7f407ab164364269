#!/usr/bin/env python3
"""Benchmark of travorn against the general tools, with a Markdown report.

Makes its own inputs (photo-like pictures of 1, 12 and 48 megapixels, maxval
255 and 65535: a binary picture from make_photo, turned into plain P3 text by
netpbm's plain writer), then runs, alternating, several times each:

  travorn        travorn IN.ppm OUT.bmp (end to end, one thread)
  ppmtobmp       netpbm's ppmtobmp -bpp=24 on the same file
  bare parse     a chunked integer parser that only sums the samples
  ppma_write     the library's writer, timed inside library_bench
  pnmtoplainpnm  netpbm's plain writer on the same picture
  bmp_read       the library's reader on travorn's BMP, timed inside library_bench
  bmptopnm       netpbm's BMP reader on the same BMP

Every travorn output is compared with the plain per-item design
(travorn_oracle, kept in the tests); a difference stops the benchmark.

Usage: bench/run.py [--build build] [--work /tmp/travorn-bench] [--runs 5]
                    [--sizes 1,12,48] [--out bench]
Needs netpbm, time (GNU /usr/bin/time), taskset (util-linux) and python3-matplotlib.
"""
import argparse
import os
import statistics
import subprocess
import sys
import time

SHAPES = {1: (1155, 866), 12: (4000, 3000), 48: (8000, 6000)}
TOOLS = ("travorn", "travorn, one core", "ppmtobmp", "bare parse", "ppma_write", "pnmtoplainpnm",
         "bmp_read", "bmptopnm")


def timed(command, stdout=None):
    """Runs a command under /usr/bin/time -v: (wall seconds, peak RSS in KB, stdout text).
    The seconds are measured here, more finely than time's own 10 ms steps."""
    start = time.perf_counter()
    result = subprocess.run(["/usr/bin/time", "-v"] + command, stdout=stdout or subprocess.PIPE,
                            stderr=subprocess.PIPE, text=True, check=False)
    seconds = time.perf_counter() - start
    if result.returncode != 0:
        sys.exit("failed: %s\n%s" % (" ".join(command), result.stderr[-2000:]))
    rss = None
    for line in result.stderr.splitlines():
        line = line.strip()
        if line.startswith("Maximum resident set size"):
            rss = int(line.split(": ", 1)[1])
    return seconds, rss, result.stdout if stdout is None else ""


def run_to_file(command, path):
    with open(path, "w") as out:
        return timed(command, stdout=out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build")
    parser.add_argument("--work", default="/tmp/travorn-bench")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--sizes", default="1,12,48")
    parser.add_argument("--out", default="bench")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    exe = {name: os.path.join(build, sub, name) for name, sub in
           [("travorn", ""), ("library_bench", "bench"), ("bare_parse", "bench"),
            ("make_photo", "bench"), ("travorn_oracle", "tests")]}
    os.makedirs(args.work, exist_ok=True)
    sizes = [int(s) for s in args.sizes.split(",")]
    # What starting a process through Python and GNU time costs by itself; it
    # is taken off every whole-process figure below.
    args.launch = med([timed(["true"])[0] for _ in range(20)])
    results = {}  # (megapixels, maxval, tool) -> list of (seconds, rss KB)
    inputs = {}
    for mp in sizes:
        for maxval in (255, 65535):
            w, h = SHAPES[mp]
            raw = os.path.join(args.work, "photo-%d-%d.raw.ppm" % (mp, maxval))
            plain = os.path.join(args.work, "photo-%d-%d.ppm" % (mp, maxval))
            if not os.path.exists(plain):
                subprocess.run([exe["make_photo"], str(w), str(h), str(maxval), raw], check=True)
                with open(plain, "w") as out:
                    subprocess.run(["pnmtoplainpnm", raw], stdout=out, check=True)
            inputs[(mp, maxval)] = (raw, plain, w * h)
            out_bmp = os.path.join(args.work, "out.bmp")
            tools = [
                ("travorn", lambda: timed([exe["travorn"], plain, out_bmp])),
                ("travorn, one core", lambda: timed(["taskset", "-c", "0", exe["travorn"], plain,
                                                     out_bmp])),
                ("ppmtobmp", lambda: run_to_file(["ppmtobmp", "-bpp=24", plain],
                                                 os.path.join(args.work, "netpbm.bmp"))),
                ("bare parse", lambda: timed([exe["bare_parse"], plain])),
                ("ppma_write", lambda: timed([exe["library_bench"], "write-ppma", plain,
                                              os.path.join(args.work, "written.ppm")])),
                ("pnmtoplainpnm", lambda: run_to_file(["pnmtoplainpnm", raw],
                                                      os.path.join(args.work, "plain-out.ppm"))),
                ("bmp_read", lambda: timed([exe["library_bench"], "read-bmp", out_bmp])),
                ("bmptopnm", lambda: run_to_file(["bmptopnm", out_bmp],
                                                 os.path.join(args.work, "from-bmp.ppm"))),
            ]
            timed([exe["travorn"], plain, out_bmp])  # warm the page cache, make the BMP
            for _ in range(args.runs):
                for name, run in tools:
                    wall, rss, text = run()
                    if name in ("ppma_write", "bmp_read"):
                        wall = float(text.split()[-1])  # the operation alone
                    else:
                        wall = max(0.0, wall - args.launch)
                    results.setdefault((mp, maxval, name), []).append((wall, rss))
            oracle_bmp = os.path.join(args.work, "oracle.bmp")
            subprocess.run([exe["travorn_oracle"], plain, oracle_bmp], check=True)
            timed([exe["travorn"], plain, out_bmp])
            with open(out_bmp, "rb") as a, open(oracle_bmp, "rb") as b:
                if a.read() != b.read():
                    sys.exit("travorn and the plain design differ on %s" % plain)
            print("%d MP maxval %d: done, output equals the plain design's" % (mp, maxval))
    write_report(args, sizes, results, inputs)


def med(values):
    return statistics.median(values)


def write_report(args, sizes, results, inputs):
    lines = ["# travorn benchmark", "",
             "Made by `bench/run.py --runs %d --sizes %s` on %s (%d cores); medians of %d runs, "
             "tools alternated within each run. Inputs: photo-like pictures written by netpbm's "
             "plain writer. Seconds are wall-clock for whole processes (started from Python, "
             "through GNU time, which also gives the peak RSS), less the %.1f ms that starting "
             "`true` the same way takes; ppma_write and bmp_read are timed around the library "
             "call. travorn reads large files on two threads; \"travorn, one core\" is the same "
             "run pinned to one core with taskset, the single-thread figure." % (
                 args.runs, args.sizes, os.uname().nodename, os.cpu_count(), args.runs,
                 args.launch * 1000), ""]
    for (mp, maxval), (raw, plain, pixels) in sorted(inputs.items()):
        mb = os.path.getsize(plain) / 1e6
        lines += ["## %d megapixels, maxval %d (%.1f MB of text)" % (mp, maxval, mb), "",
                  "| tool | median s | min s | max s | MB/s of P3 text | peak RSS MB | bytes/pixel |",
                  "|---|---:|---:|---:|---:|---:|---:|"]
        for name in TOOLS:
            runs = results[(mp, maxval, name)]
            secs = [s for s, _ in runs]
            rss = max(r for _, r in runs) * 1024
            lines.append("| %s | %.3f | %.3f | %.3f | %.0f | %.1f | %.2f |" % (
                name, med(secs), min(secs), max(secs), mb / med(secs), rss / 1e6, rss / pixels))
        t = med([s for s, _ in results[(mp, maxval, "travorn")]])
        ratio = lambda a, b: med([s for s, _ in results[(mp, maxval, a)]]) / med(
            [s for s, _ in results[(mp, maxval, b)]])
        rss = max(r for _, r in results[(mp, maxval, "travorn")]) * 1024
        lines += ["", "- ppmtobmp / travorn: **%.2f** (goal: at least 4); on one core: %.2f" % (
                      ratio("ppmtobmp", "travorn"), ratio("ppmtobmp", "travorn, one core")),
                  "- travorn / bare parse: **%.2f** (goal: at most 2); on one core: %.2f" % (
                      ratio("travorn", "bare parse"), ratio("travorn, one core", "bare parse")),
                  "- pnmtoplainpnm / ppma_write: **%.2f** (goal: at least 3)" % ratio("pnmtoplainpnm", "ppma_write"),
                  "- bmptopnm / bmp_read: **%.2f** (goal: at least 3)" % ratio("bmptopnm", "bmp_read"),
                  "- travorn peak RSS: %.1f MB = %.2f bytes/pixel + %.1f MiB (goal: at most 13 bytes/pixel + 16 MiB)" % (
                      rss / 1e6, 12.0, (rss - 12 * pixels) / 2 ** 20),
                  "- travorn: %.4f s per megapixel" % (t / mp), ""]
    for maxval in (255, 65535):
        per_mp = [med([s for s, _ in results[(mp, maxval, "travorn")]]) / mp for mp in sizes]
        if len(per_mp) > 1:
            spread = (max(per_mp) - min(per_mp)) / min(per_mp) * 100
            lines.append("Linearity, maxval %d: travorn takes %s s per megapixel at %s MP; the largest "
                         "differs from the smallest by %.1f%% (goal: within 15%%)." % (
                             maxval, ", ".join("%.4f" % v for v in per_mp),
                             ", ".join(str(s) for s in sizes), spread))
    lines += ["", "![seconds against megapixels](scaling.png)", ""]
    with open(os.path.join(args.out, "REPORT.md"), "w") as f:
        f.write("\n".join(lines))
    plot(args, sizes, results)
    print("\n".join(lines))


def plot(args, sizes, results):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    fig, ax = plt.subplots(figsize=(7, 4.5))
    for name in TOOLS:
        ax.plot(sizes, [med([s for s, _ in results[(mp, 255, name)]]) for mp in sizes], marker="o",
                label=name)
    ax.set_xlabel("megapixels (maxval 255)")
    ax.set_ylabel("median seconds")
    ax.set_title("Seconds against megapixels")
    ax.grid(True, alpha=0.3)
    ax.legend()
    fig.tight_layout()
    fig.savefig(os.path.join(args.out, "scaling.png"), dpi=100)


if __name__ == "__main__":
    main()
