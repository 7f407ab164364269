#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Benchmark of travorn against the general tools, with a Markdown report.

Makes its own inputs (photo-like pictures of 1, 12 and 48 megapixels, maxval
255 and 65535: a binary picture from make_photo, turned into plain P3 text by
netpbm's plain writer), then runs every tool pinned to one core, alternating,
several times each, each run after a sync (so that no tool waits on the
writeback of another's output):

  travorn        travorn IN.ppm OUT.bmp (end to end)
  ppmtobmp       netpbm's ppmtobmp -bpp=24 on the same file
  convert        ImageMagick's convert IN.ppm BMP3:OUT.bmp
  bare parse     a chunked integer parser that only sums the samples
  ppma_read      the library's reader into integer planes, timed inside library_bench
  pamtopnm       netpbm reading the same file (and writing it as binary PPM)
  ppma_write     the library's writer, timed inside library_bench
  pnmtoplainpnm  netpbm's plain writer on the same picture
  bmp_read       the library's reader on travorn's BMP, timed inside library_bench
  bmptopnm       netpbm's BMP reader on the same BMP
  ppma_read, SSE2 kernel / portable kernel
                 the library's reader with the parser's other kernels
  read alone     cat IN.ppm > /dev/null: the floor of reading the input
  write alone    a file of the BMP's size written from /dev/zero (head -c)

Then the peak memory of travorn converting a 20000 x 20000 picture that a
generator (yes | head) writes into a pipe, so that no 2 GB input file is
needed, at both maxvals. Then the start-up cost: the bundled 21 x 15 example (1000 runs of each
tool, alternated, pinned), and a batch of 1000 pictures of 64 x 64 pixels
converted one process each, by travorn and by ppmtobmp (with hyperfine); and a picture whose samples stand between
stretches of 64 KiB of blanks, which must take no longer than its length
says. Every travorn output is compared with the plain per-item design
(travorn_oracle, kept in the tests); a difference stops the benchmark.
strace -f counts the threads that travorn and the library reader start.

Usage: bench/run.py [--build build/test] [--work /tmp/travorn-bench] [--runs 5]
                    [--sizes 1,12,48] [--out bench]
Needs netpbm, imagemagick, hyperfine, strace, time (GNU /usr/bin/time),
taskset (util-linux) and python3-matplotlib.
"""
import argparse
import glob
import json
import os
import statistics
import subprocess
import sys
import time

SHAPES = {1: (1155, 866), 12: (4000, 3000), 48: (8000, 6000)}
TOOLS = ("travorn", "ppmtobmp", "convert", "bare parse", "ppma_read", "pamtopnm", "ppma_write",
         "pnmtoplainpnm", "bmp_read", "bmptopnm", "ppma_read, SSE2 kernel",
         "ppma_read, portable kernel", "read alone", "write alone")
LIBRARY_TIMED = ("ppma_read", "ppma_write", "bmp_read", "ppma_read, SSE2 kernel",
                 "ppma_read, portable kernel")
PIN = ["taskset", "-c", "0"]
KEPT = "## Measured by hand"  # the report's section that a run keeps as it was
CONVERT = "/usr/bin/convert"  # ImageMagick's own, not a stand-in earlier on the PATH


def timed(command, stdout=None):
    """Runs a command pinned to one core under /usr/bin/time -v: (wall seconds,
    peak RSS in KB, stdout text). The seconds are measured here, more finely
    than time's own 10 ms steps."""
    start = time.perf_counter()
    result = subprocess.run(PIN + ["/usr/bin/time", "-v"] + command,
                            stdout=stdout or subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                            check=False)
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


def med(values):
    return statistics.median(values)


def same_as_oracle(exe, plain, out_bmp, work):
    oracle_bmp = os.path.join(work, "oracle.bmp")
    subprocess.run([exe["travorn_oracle"], plain, oracle_bmp], check=True)
    with open(out_bmp, "rb") as a, open(oracle_bmp, "rb") as b:
        if a.read() != b.read():
            sys.exit("travorn and the plain design differ on %s" % plain)


def large_pictures(args, exe, sizes):
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
            inputs[(mp, maxval)] = (plain, w * h)
            out_bmp = os.path.join(args.work, "out.bmp")
            work = lambda name: os.path.join(args.work, name)
            tools = [
                ("travorn", lambda: timed([exe["travorn"], plain, out_bmp])),
                ("ppmtobmp", lambda: run_to_file(["ppmtobmp", "-bpp=24", plain], work("netpbm.bmp"))),
                ("convert", lambda: timed([CONVERT, plain, "BMP3:" + work("magick.bmp")])),
                ("bare parse", lambda: timed([exe["bare_parse"], plain])),
                ("ppma_read", lambda: timed([exe["library_bench"], "read-ppma", plain])),
                ("pamtopnm", lambda: run_to_file(["pamtopnm", plain], "/dev/null")),
                ("ppma_write", lambda: timed([exe["library_bench"], "write-ppma", plain,
                                              work("written.ppm")])),
                ("pnmtoplainpnm", lambda: run_to_file(["pnmtoplainpnm", raw], work("plain-out.ppm"))),
                ("bmp_read", lambda: timed([exe["library_bench"], "read-bmp", out_bmp])),
                ("bmptopnm", lambda: run_to_file(["bmptopnm", out_bmp], work("from-bmp.ppm"))),
                ("ppma_read, SSE2 kernel",
                 lambda: timed([exe["library_bench"], "--kernel=sse2", "read-ppma", plain])),
                ("ppma_read, portable kernel",
                 lambda: timed([exe["library_bench"], "--kernel=portable", "read-ppma", plain])),
                ("read alone", lambda: run_to_file(["cat", plain], "/dev/null")),
                ("write alone", lambda: run_to_file(
                    ["head", "-c", str(os.path.getsize(out_bmp)), "/dev/zero"], work("zeros.bmp"))),
            ]
            timed([exe["travorn"], plain, out_bmp])  # warm the page cache, make the BMP
            for _ in range(args.runs):
                for name, run in tools:
                    # Every tool starts with the files of the others on disk:
                    # else the one that follows the large writers (travorn, at
                    # the start of each round) waits on their writeback.
                    os.sync()
                    wall, rss, text = run()
                    if name in LIBRARY_TIMED:
                        wall = float(text.split()[-1])  # the operation alone
                    else:
                        wall = max(0.0, wall - args.launch)
                    results.setdefault((mp, maxval, name), []).append((wall, rss))
            same_as_oracle(exe, plain, out_bmp, args.work)
            print("%d MP maxval %d: done, output equals the plain design's" % (mp, maxval))
    return results, inputs


def hyperfine(commands, runs, warmup):
    """Mean and median seconds of each shell-free command, pinned to one core."""
    export = os.path.join("/tmp", "travorn-hyperfine.json")
    subprocess.run(["hyperfine", "-N", "--style", "none", "-w", str(warmup), "-r", str(runs),
                    "--export-json", export] + [" ".join(PIN + c) for c in commands], check=True,
                   stdout=subprocess.DEVNULL)
    with open(export) as f:
        return [(r["mean"], r["median"]) for r in json.load(f)["results"]]


def spawned(argv, out_path):
    """Wall seconds of one run of argv, spawned straight from this process,
    standard output to out_path."""
    out = os.open(out_path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    null = os.open(os.devnull, os.O_WRONLY)
    start = time.perf_counter()
    pid = os.posix_spawnp(argv[0], argv, os.environ, file_actions=[
        (os.POSIX_SPAWN_DUP2, out, 1), (os.POSIX_SPAWN_DUP2, null, 2)])
    _, status = os.waitpid(pid, 0)
    seconds = time.perf_counter() - start
    os.close(out)
    os.close(null)
    if status != 0:
        sys.exit("failed: %s" % " ".join(argv))
    return seconds


def alternated(commands, runs):
    """Median seconds of each command over `runs` runs, the commands taken in
    turn, this process and so every run pinned to one core."""
    before = os.sched_getaffinity(0)
    os.sched_setaffinity(0, {0})
    times = [[] for _ in commands]
    for _ in range(runs):
        for i, (argv, out) in enumerate(commands):
            times[i].append(spawned(argv, out))
    os.sched_setaffinity(0, before)
    return [med(t) for t in times]


def small_pictures(args, exe):
    """The bundled example alone, and a batch of 1000 small pictures."""
    example = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples",
                           "example.ppm")
    out_bmp = os.path.join(args.work, "example.bmp")
    one = alternated([([exe["travorn"], example, out_bmp], os.devnull),
                      (["ppmtobmp", "-bpp=24", example], os.path.join(args.work, "example-nb.bmp"))],
                     1000)
    same_as_oracle(exe, example, out_bmp, args.work)
    batch = os.path.join(args.work, "batch")
    os.makedirs(batch, exist_ok=True)
    files = sorted(glob.glob(os.path.join(batch, "*.ppm")))
    if len(files) < 1000:
        raw = os.path.join(args.work, "small.raw.ppm")
        for i in range(1000):
            subprocess.run([exe["make_photo"], "64", "64", "255", raw], check=True)
            with open(os.path.join(batch, "p%04d.ppm" % i), "w") as out:
                subprocess.run(["pnmtoplainpnm", raw], stdout=out, check=True)
        files = sorted(glob.glob(os.path.join(batch, "*.ppm")))
    loops = {}
    for name, body in (("travorn", '"%s" "$f" "$f.bmp" >/dev/null' % exe["travorn"]),
                       ("ppmtobmp", 'ppmtobmp -bpp=24 "$f" >"$f.netpbm.bmp" 2>/dev/null')):
        script = 'for f in %s/p*.ppm; do %s; done' % (batch, body)
        loops[name] = hyperfine([["bash", "-c", "'%s'" % script]], 3, 1)[0]
    same_as_oracle(exe, files[0], files[0] + ".bmp", args.work)
    return one, loops


def blank_stretches(args, exe):
    """A picture whose samples stand between long stretches of blanks: the
    parser must cross them in time that follows their length (travorn and
    ppmtobmp, medians). Returns (MB of text, travorn s, ppmtobmp s)."""
    plain = os.path.join(args.work, "blank-stretches.ppm")
    if not os.path.exists(plain):
        with open(plain, "wb") as f:
            f.write(b"P3\n666 1\n255\n")
            for i in range(3 * 666):
                f.write(b"%d" % (i % 256) + b" " * 65500)
            f.write(b"\n")
    out_bmp = os.path.join(args.work, "blank-stretches.bmp")
    t = med([max(0.0, timed([exe["travorn"], plain, out_bmp])[0] - args.launch)
             for _ in range(args.runs)])
    same_as_oracle(exe, plain, out_bmp, args.work)
    p = med([max(0.0, run_to_file(["ppmtobmp", "-bpp=24", plain], "/dev/null")[0] - args.launch)
             for _ in range(args.runs)])
    return os.path.getsize(plain) / 1e6, t, p


def huge_from_pipe(args, exe):
    """travorn on a 20000 x 20000 picture fed through a pipe by a generator, at
    both maxvals: (maxval, seconds, peak RSS in KB, bytes of the BMP file)."""
    rows = []
    out_bmp = os.path.join(args.work, "huge.bmp")
    for maxval, pixel in ((255, "255 0 128"), (65535, "65535 0 32768")):
        generator = subprocess.Popen(
            "printf 'P3\\n20000 20000\\n%d\\n'; yes '%s' | head -n 400000000" % (maxval, pixel),
            shell=True, stdout=subprocess.PIPE)
        start = time.perf_counter()
        result = subprocess.run(PIN + ["/usr/bin/time", "-v", exe["travorn"], "/dev/stdin", out_bmp],
                                stdin=generator.stdout, stdout=subprocess.DEVNULL,
                                stderr=subprocess.PIPE, text=True, check=False)
        seconds = time.perf_counter() - start
        generator.stdout.close()
        generator.wait()
        if result.returncode != 0:
            sys.exit("travorn failed on the 20000 x 20000 picture:\n" + result.stderr[-2000:])
        rss = [int(line.split(": ", 1)[1]) for line in result.stderr.splitlines()
               if line.strip().startswith("Maximum resident set size")][0]
        rows.append((maxval, seconds, rss, os.path.getsize(out_bmp)))
        os.remove(out_bmp)
        print("20000 x 20000 from a pipe, maxval %d: done" % maxval)
    return rows


def threads_started(exe, plain):
    """Processes and threads that travorn and ppma_read start (clone calls), by strace -f."""
    counts = {}
    for name, command in (("travorn", [exe["travorn"], plain, "/tmp/travorn-strace.bmp"]),
                          ("ppma_read", [exe["library_bench"], "read-ppma", plain])):
        log = "/tmp/travorn-strace.log"
        subprocess.run(["strace", "-f", "-e", "trace=clone,clone3,fork,vfork", "-o", log] + command,
                       check=True, stdout=subprocess.DEVNULL)
        with open(log) as f:
            counts[name] = sum(1 for line in f if "clone" in line or "fork" in line)
    return counts


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build/test")
    parser.add_argument("--work", default="/tmp/travorn-bench")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--sizes", default="1,12,48")
    parser.add_argument("--out", default="bench")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    exe = {name: os.path.join(build, sub, name) for name, sub in
           [("travorn", ""), ("library_bench", "bench"), ("bare_parse", "bench"),
            ("make_photo", "bench"), ("travorn_oracle", "bench")]}
    os.makedirs(args.work, exist_ok=True)
    sizes = [int(s) for s in args.sizes.split(",")]
    # What starting a process through Python, taskset and GNU time costs by
    # itself; it is taken off every whole-process figure below.
    args.launch = med([timed(["true"])[0] for _ in range(20)])
    results, inputs = large_pictures(args, exe, sizes)
    one, loops = small_pictures(args, exe)
    threads = threads_started(exe, inputs[(sizes[0], 255)][0])
    blanks = blank_stretches(args, exe)
    huge = huge_from_pipe(args, exe)
    write_report(args, sizes, results, inputs, one, loops, threads, blanks, huge)


def machine():
    """The processor's name and the memory, as Linux tells them."""
    model, memory = "an unnamed processor", 0
    try:
        with open("/proc/cpuinfo") as f:
            model = next(line.split(":", 1)[1].strip() for line in f if line.startswith("model name"))
        with open("/proc/meminfo") as f:
            memory = int(f.readline().split()[1]) / 2 ** 20
    except (OSError, StopIteration):
        pass
    return "%s, %d cores, %.0f GiB" % (model, os.cpu_count(), memory)


def write_report(args, sizes, results, inputs, one, loops, threads, blanks, huge):
    seconds = lambda mp, maxval, tool: med([s for s, _ in results[(mp, maxval, tool)]])
    peak = lambda mp, maxval, tool: max(r for _, r in results[(mp, maxval, tool)]) * 1024
    lines = ["# travorn benchmark", "",
             "Made by `bench/run.py --runs %d --sizes %s` on %s (%s); every tool pinned to "
             "one core (`taskset -c 0`); medians of %d runs, tools alternated within each run, "
             "each run after a `sync`. "
             "Inputs: photo-like pictures written by netpbm's plain writer. Seconds are "
             "wall-clock for whole processes (started from Python, through GNU time, which also "
             "gives the peak RSS), less the %.1f ms that starting `true` the same way takes; "
             "ppma_read, ppma_write and bmp_read are timed around the library call. travorn "
             "and the libraries run on one thread." % (
                 args.runs, args.sizes, os.uname().nodename, machine(), args.runs,
                 args.launch * 1000), "", "## Headline", ""]
    for maxval in (255, 65535):
        mp = 12 if 12 in sizes else sizes[-1]
        peer = min(seconds(mp, maxval, "ppmtobmp"), seconds(mp, maxval, "convert"))
        t = seconds(mp, maxval, "travorn")
        floor = seconds(mp, maxval, "read alone") + seconds(mp, maxval, "write alone")
        lines += ["- %d MP, maxval %d: the faster peer / travorn = **%.2f** (goal: at least 8); "
                  "travorn / (read alone + write alone) = **%.2f** (%.3f s + %.3f s); "
                  "travorn / bare parse = **%.2f**; netpbm reading (pamtopnm) / ppma_read = "
                  "**%.2f** (goal: at least 3); ppma_read takes %.2f times as long with the "
                  "SSE2 kernel as with the fastest here, %.2f with the portable one" % (
                      mp, maxval, peer / t, t / floor, seconds(mp, maxval, "read alone"),
                      seconds(mp, maxval, "write alone"), t / seconds(mp, maxval, "bare parse"),
                      seconds(mp, maxval, "pamtopnm") / seconds(mp, maxval, "ppma_read"),
                      seconds(mp, maxval, "ppma_read, SSE2 kernel") / seconds(mp, maxval, "ppma_read"),
                      seconds(mp, maxval, "ppma_read, portable kernel") /
                      seconds(mp, maxval, "ppma_read"))]
    for maxval in (255, 65535):
        rows = ["%d MP: %.2f MiB" % (mp, peak(mp, maxval, "travorn") / 2 ** 20) for mp in sizes]
        rows += ["20000 x 20000 (400 MP) from a pipe: %.2f MiB (%.1f s, a BMP file of %.2f GB)" % (
            rss / 1024, secs, size / 1e9) for m, secs, rss, size in huge if m == maxval]
        lines.append("- travorn peak RSS, maxval %d (goal: at most 8 MiB, whatever the size): %s" % (
            maxval, "; ".join(rows)))
        if 12 in sizes and 48 in sizes:
            a, b = seconds(12, maxval, "travorn") / 12, seconds(48, maxval, "travorn") / 48
            lines.append("- travorn seconds per megapixel, maxval %d: %.4f at 12 MP, %.4f at 48 MP, "
                         "%.1f%% apart (goal: within 15%%)" % (maxval, a, b,
                                                               abs(b - a) / min(a, b) * 100))
    lines += ["- the 21 x 15 example, whole process (1000 runs each, alternated, median): travorn "
              "%.2f ms, ppmtobmp %.2f ms: travorn / ppmtobmp = **%.2f** (goal: at most 1)" % (
                  one[0] * 1e3, one[1] * 1e3, one[0] / one[1]),
              "- 1000 pictures of 64 x 64, one process each (a shell loop, hyperfine, 3 runs, "
              "mean): travorn %.2f s, ppmtobmp %.2f s: ppmtobmp / travorn = %.2f" % (
                  loops["travorn"][0], loops["ppmtobmp"][0],
                  loops["ppmtobmp"][0] / loops["travorn"][0]),
              "- samples between stretches of 65500 blanks (%.1f MB of text): travorn %.3f s "
              "(%.0f MB/s), ppmtobmp %.3f s" % (blanks[0], blanks[1], blanks[0] / blanks[1],
                                              blanks[2]),
              "- threads and processes started (strace -f, clone and fork calls): travorn %d, "
              "ppma_read %d" % (threads["travorn"], threads["ppma_read"]),
              "- every travorn output equals the plain design's (travorn_oracle)", ""]
    for (mp, maxval), (plain, pixels) in sorted(inputs.items()):
        mb = os.path.getsize(plain) / 1e6
        lines += ["## %d megapixels, maxval %d (%.1f MB of text)" % (mp, maxval, mb), "",
                  "| tool | median s | min s | max s | MB/s of P3 text | peak RSS MB | bytes/pixel |",
                  "|---|---:|---:|---:|---:|---:|---:|"]
        for name in TOOLS:
            secs = [s for s, _ in results[(mp, maxval, name)]]
            rss = peak(mp, maxval, name)
            lines.append("| %s | %.3f | %.3f | %.3f | %.0f | %.1f | %.2f |" % (
                name, med(secs), min(secs), max(secs), mb / med(secs), rss / 1e6, rss / pixels))
        lines.append("")
    lines += ["![seconds against megapixels](scaling.png)", ""]
    # Figures measured by hand (A/B pairs of versions, steps tried) are kept
    # from the report as it stood, after their heading.
    path = os.path.join(args.out, "REPORT.md")
    kept = ""
    if os.path.exists(path):
        with open(path) as f:
            old = f.read()
        kept = old[old.index(KEPT):] if KEPT in old else ""
    with open(path, "w") as f:
        f.write("\n".join(lines) + kept)
    plot(args, sizes, results)
    print("\n".join(lines))


def plot(args, sizes, results):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    fig, ax = plt.subplots(figsize=(7, 4.5))
    for name in ("travorn", "ppmtobmp", "convert", "bare parse", "ppma_read", "pamtopnm"):
        ax.plot(sizes, [med([s for s, _ in results[(mp, 255, name)]]) for mp in sizes], marker="o",
                label=name)
    ax.set_xlabel("megapixels (maxval 255)")
    ax.set_ylabel("median seconds, one core")
    ax.set_title("Seconds against megapixels")
    ax.grid(True, alpha=0.3)
    ax.legend()
    fig.tight_layout()
    fig.savefig(os.path.join(args.out, "scaling.png"), dpi=100)


if __name__ == "__main__":
    main()
