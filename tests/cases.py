#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
# Runs one case file of tests/cases: writes its input files into a fresh
# folder, runs its command there through the shell, and compares the exit
# status, the whole standard output and the files written with the case's.
#
# A case file is a list of directives, lines that begin with "@@ ", each
# followed by its block of content lines (a block ends with a newline unless
# the directive says noeol):
#
#   @@ requires posix|windows|pillow|native|root   skipped (exit 77) where that is missing
#                                     (native: no emulator and no sanitizer, for limits on
#                                     memory; root: for private mounts and other users' files)
#   @@ in NAME [hex] [noeol]          an input file (hex: bytes as hex pairs)
#   @@ append NAME COUNT TEXT         TEXT (a Python string literal) COUNT times more
#   @@ stdin [noeol]                  what the command reads on standard input
#   @@ limit SECONDS                  the time the whole case may take (20 by default), times
#                                     --scale (slow platforms: emulators, sanitizers); once it
#                                     is over, the running command's whole process group is
#                                     killed and the case fails; CMake gives ctest the same
#                                     limit and a margin
#   @@ run COMMAND                    a shell command; $TRAVORN, $PROBE, $CONSUMER run the
#                                     programs named on the command line, $PYTHON this one
#   @@ status N                       its exit status (0 by default)
#   @@ stdout                         its whole standard output; time stamps read
#                                     STAMP, the build line "Compiled on DATE at TIME."
#   @@ out NAME [hex] [noeol]         a file it must have written, whole
#   @@ absent NAME                    a file it must not have left
#   @@ pixels NAME                    the picture in NAME as Pillow decodes it: mode,
#                                     width, height, then one line of samples a row
#   @@ corpus                         probe bmp_read and bmp_print_test on every file of
#                                     the shared BMP corpus; good files that read match Pillow
#
# A case skipped for want of Pillow, the corpus or root fails instead where the environment
# variable TRAVORN_REQUIRE names it (pillow,corpus,root), as CI's machine has them all.
#
# Usage: cases.py [--emulator CMD] [--scale N] NAME=PROGRAM... CASE (Windows programs end in
# .exe)
import argparse, ast, datetime, difflib, importlib.util, os, re, shlex, signal, subprocess, sys, tempfile, time

CORPUS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "shared", "corpus",
                      "bmpsuite")
LIMIT = 20  # seconds for a whole case where it says no other
OUTPUT_CAP = 64 << 20  # bytes of standard output a command may print


def parse(path):
    case, block = [], None
    for line in open(path, encoding="utf-8"):
        if line.startswith("@@ "):
            block = []
            case.append((line[3:].split(), block))
        elif block is not None:
            block.append(line)
    return case


def content(words, block):
    text = "".join(block)[:-1 if "noeol" in words else None]
    return bytes.fromhex(text) if "hex" in words else text.encode("latin-1")


def skip(why, need=None):
    """Skips the case (exit 77), or fails it where TRAVORN_REQUIRE names what it lacks."""
    if need in os.environ.get("TRAVORN_REQUIRE", "").split(","):
        print("FAILED: this machine should have it:", why)
        sys.exit(1)
    print("skipped:", why)
    sys.exit(77)


def pixels(path):
    from PIL import Image
    with Image.open(path) as image:
        if image.mode not in ("L", "P", "RGB"):
            image = image.convert("RGB")
        width, height = image.size
        data = list(image.getdata())
    samples = [" ".join(map(str, p)) if isinstance(p, tuple) else str(p) for p in data]
    return "%s %d %d\n" % (image.mode, width, height) + "".join(
        " ".join(samples[row * width:(row + 1) * width]) + "\n" for row in range(height))


def run(command, env, cwd, stdin, deadline, limit):
    """Exit status and standard output of one shell command, in a process group of its own."""
    # The output goes to a file in the case's folder, not to memory, so that a command that
    # prints without end is killed once it has printed OUTPUT_CAP bytes.
    with tempfile.TemporaryFile(dir=cwd) as out:
        child = subprocess.Popen(["sh", "-c", command], cwd=cwd, env=env, stdin=subprocess.PIPE,
                                 stdout=out, start_new_session=True)
        try:
            while True:
                try:
                    child.communicate(stdin, timeout=1)
                    break
                except subprocess.TimeoutExpired:
                    stdin = None  # sent already: a second call may not send it again
                    late = time.monotonic() > deadline
                    if late or os.fstat(out.fileno()).st_size > OUTPUT_CAP:
                        why = "ran %d s" % limit if late else "printed %d bytes" % OUTPUT_CAP
                        raise AssertionError("%s, killed: %s" % (why, command))
        finally:  # nothing the command started outlives it, however the case ends
            try:
                os.killpg(child.pid, signal.SIGKILL)
            except (ProcessLookupError, PermissionError):
                pass
            child.wait()
        out.seek(0)  # Windows programs end their lines with CR LF
        return child.returncode, out.read(OUTPUT_CAP).decode("latin-1").replace("\r\n", "\n")


def masked(text, args):
    # The driver's stamps use the 12-hour clock; the case runs at 3 PM local time.
    stamp = r"\d\d [A-Z][a-z]+ \d{4} (0[1-9]|1[0-2]):\d\d:\d\d [AP]M" if args.windows else \
        r"\d\d [A-Z][a-z]+ \d{4} 03:\d\d:\d\d PM"
    text = re.sub(r"(?m)^" + stamp + "$", "STAMP", text)
    return re.sub(r"Compiled on [A-Z][a-z][a-z] [ 123]\d \d{4} at \d\d:\d\d:\d\d\.",
                  "Compiled on DATE at TIME.", text)


def corpus(env, work, deadline, limit):
    if not os.path.isdir(CORPUS):
        skip("no BMP corpus at " + CORPUS, "corpus")
    decoded = 0
    for folder, _, files in sorted(os.walk(CORPUS)):
        for path in sorted(os.path.join(folder, f) for f in files):
            status, out = run("$PROBE bmp_read {0} && $PROBE bmp_print_test {0} > /dev/null"
                              .format(shlex.quote(path)), env, work, b"", deadline, limit)
            assert status == 0, "probe crashed on " + path
            if "= 0\n" not in out or os.path.basename(folder) != "g":
                continue
            w, h = map(int, re.search(r"size: (\d+) (-?\d+)", out).groups())
            planes = [[int(v) for v in re.findall(r"\d+", line[2:])]
                      for line in out.splitlines() if re.match(r"[RGB]: \d", line)]
            first = [(r if h < 0 else abs(h) - 1 - r) * w for r in range(abs(h))]  # top row first
            rows = [" ".join(str(p[f + j]) for j in range(w) for p in planes) for f in first]
            assert rows == pixels(path).split("\n")[1:-1], "Pillow sees other pixels in " + path
            decoded += 1
    assert decoded >= 10, "only %d corpus files decoded" % decoded


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("programs", nargs="+")
    parser.add_argument("--emulator", default="")
    parser.add_argument("--scale", type=float, default=1)
    args = parser.parse_args()
    path = args.programs.pop()
    args.windows = args.programs[0].endswith(".exe")
    case = parse(path)
    for words, _ in case:
        if words[0] == "requires":
            if "posix" in words and args.windows:
                skip("needs a POSIX platform")
            if "windows" in words and not args.windows:
                skip("needs Windows")
            if "pillow" in words and not importlib.util.find_spec("PIL"):
                skip("needs Pillow", "pillow")
            if "native" in words and (args.emulator or "ASAN_OPTIONS" in os.environ):
                skip("needs a native run without sanitizers")
            if "root" in words and (args.windows or os.geteuid() != 0):
                skip("needs to run as root", "root")
    local = (15 - datetime.datetime.utcnow().hour) % 24
    env = dict(os.environ, TZ="TRV%+d" % -(local if local <= 12 else local - 24), PYTHON=sys.executable)
    if args.emulator:  # the emulator's own memory counts in a program's peak
        env["PROBE_PEAK_SLACK"] = "24"
    for program in args.programs:
        name, exe = program.split("=", 1)
        env[name] = (args.emulator + " " + shlex.quote(exe)).strip()
    with tempfile.TemporaryDirectory(prefix="travorn-case-") as work:
        check(case, args, env, work)
    print("passed:", os.path.basename(path))


def check(case, args, env, work):
    limits = [int(words[1]) for words, _ in case if words[0] == "limit"]
    limit = (limits[0] if limits else LIMIT) * args.scale
    stdin, status, deadline = b"", 0, time.monotonic() + limit
    for words, block in case:
        what = words[0]
        if what == "in":
            with open(os.path.join(work, words[1]), "wb") as f:
                f.write(content(words, block))
        elif what == "append":
            with open(os.path.join(work, words[1]), "ab") as f:
                f.write(ast.literal_eval(" ".join(words[3:])).encode("latin-1") * int(words[2]))
        elif what == "stdin":
            stdin = content(words, block)
        elif what == "status":
            status = int(words[1])
        elif what == "corpus":
            corpus(env, work, deadline, limit)
        elif what == "run":
            got, out = run(" ".join(words[1:]), env, work, stdin, deadline, limit)
            assert got == status, "status %d, expected %d\n%s" % (got, status, out)
        elif what == "stdout":
            got, want = masked(out, args), "".join(block)
            assert got == want, "standard output differs:\n" + "".join(difflib.unified_diff(
                want.splitlines(True), got.splitlines(True), "expected", "got"))
        elif what == "out":
            got = open(os.path.join(work, words[1]), "rb").read()
            assert got == content(words, block), "%s differs: %s" % (words[1], got.hex(" "))
        elif what == "absent":
            assert not os.path.exists(os.path.join(work, words[1])), words[1] + " was left"
        elif what == "pixels":
            got = pixels(os.path.join(work, words[1]))
            assert got == "".join(block), "Pillow sees other pixels:\n" + got


if __name__ == "__main__":
    try:
        main()
    except AssertionError as failure:
        print("FAILED:", failure)
        sys.exit(1)
