#!/usr/bin/env python3
"""Deterministic, seeded, self-contained fuzz driver for torvane and scrubnote.

Builds inputs from the seed corpus (the sources of tests/e2e, examples/ and fuzz/seeds) and from
generators for the inputs that break parsers (random bytes, long lines, deep nesting, bytes
0x80-0xFF, NUL bytes, unterminated strings, huge numbers, many errors, self-including files),
runs the built programs on them as subprocesses in a scratch folder, and checks every run:

torvane  exit status 0 or 1 (never a signal), nothing on standard error (so no sanitizer
         report), done within the time limit, every source file unchanged, no file written but
         the object file, and after status 0 an object file in the documented record format.
scrubnote exit status 0, nothing on standard error, the source unchanged, and the destination
         exactly its old content followed by the stripped copy of every source line; a source
         that is a directory is refused with "unable to open <name> \\n" and status 255 before
         the destination is created.

Case n of a run depends only on the seed and n, so a failure is reproduced with
--seed S --only n. Every failing case is saved under --findings as a folder holding its files,
the command line and the reason. The run stops after --count cases or --budget seconds,
whichever comes first, and exits 1 when any case failed.
"""

import argparse
import concurrent.futures
import hashlib
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# Option sets of torvane. -T600 leaves room for little more than one line of text, so most
# sources reach the "Ran out of text space" stop.
OPTION_SETS = [[], ["-l"], ["-s"], ["-S"], ["-l", "-n"], ["-t0"], ["-T600"], ["-l", "-s", "-S", "-t3"]]

# Words that steer mutations into the grammar: mnemonics of every operand shape, directives,
# registers, operators, comment and string forms.
DICTIONARY = [
    b"add", b"addi", b"li", b"mul", b"sll", b"beq", b"bltz", b"j", b"jal", b"jr", b"jalr", b"lw",
    b"sw", b"lui", b"nop", b"rfe", b"move", b"not", b"mfhi", b"mthi", b"mult", b"b", b"beqz",
    b".text", b".data", b".word", b".half", b".byte", b".string", b".blockw", b".blockb",
    b".equ", b".include", b".align", b".end", b".ent", b".set", b"gcc2_compiled",
    b"$0", b"$31", b"$sp", b"$fp", b"$", b"$32", b",", b"(", b")", b":", b"(#", b"@",
    b"**", b"<<", b">>", b"&&", b"||", b"==", b"!=", b"<=", b">=", b"~", b"!", b"/", b"*", b"-",
    b"0x", b"0xFFFFFFFF", b"4294967296", b"99999999999999999999", b"1_000", b"2147483648",
    b"true", b"false", b"null", b"#", b";", b"//", b"\"", b"\\", b"\\x", b"\\777", b"\n", b"\t",
    b"\r", b"\x00", b"\xff", b"label:", b"$l:", b".include(\"main.asm\")", b".include(\".\")",
]

OBJECT_FORMAT = re.compile(
    rb"(?:\n@[0-9A-F]{8} (?:[0-9A-F]{2}(?: [0-9A-F]{2}){3}(?:   \n )?"
    rb"| [0-9A-F]{2} [0-9A-F]{2}|(?:[0-9A-F]{2})+))*\n"
)

SANITIZER_REPORT = re.compile(rb"Sanitizer|runtime error")


def load_seeds():
    """Every source file of the end-to-end cases, the examples and fuzz/seeds, in name order."""
    seeds = []
    for top in ("tests/e2e", "examples", "fuzz/seeds"):
        for folder, dirs, files in os.walk(os.path.join(ROOT, top)):
            dirs[:] = sorted(d for d in dirs if d != "expected")
            for name in sorted(files):
                if name in ("cmd", "filter"):
                    continue
                with open(os.path.join(folder, name), "rb") as f:
                    seeds.append(f.read())
    return seeds or [b"\n"]


# ---------------------------------------------------------------------------------------------
# Input generators. Each takes a random.Random and the seeds and returns bytes.


def mutate(rng, seeds):
    data = bytearray(rng.choice(seeds))
    for _ in range(rng.randint(1, 8)):
        op = rng.randrange(8)
        pos = rng.randint(0, len(data))
        if op == 0 and data:
            i = rng.randrange(len(data))
            data[i] ^= 1 << rng.randrange(8)
        elif op == 1 and data:
            data[rng.randrange(len(data))] = rng.randrange(256)
        elif op == 2:
            data[pos:pos] = bytes(rng.randrange(256) for _ in range(rng.randint(1, 8)))
        elif op == 3 and data:
            end = min(len(data), pos + rng.randint(1, 64))
            del data[pos:end]
        elif op == 4 and data:
            start = rng.randrange(len(data))
            piece = data[start:start + rng.randint(1, 256)]
            data[pos:pos] = piece * rng.randint(1, 4)
        elif op == 5:
            data[pos:pos] = rng.choice(DICTIONARY)
        elif op == 6:
            other = rng.choice(seeds)
            cut = rng.randint(0, len(other))
            data = data[:pos] + other[cut:]
        else:
            data[pos:pos] = b" " + rng.choice(DICTIONARY) + b" "
    return bytes(data)


def random_bytes(rng, seeds):
    return bytes(rng.randrange(256) for _ in range(rng.randint(0, 2048)))


def long_line(rng, seeds):
    n = rng.choice([999, 1000, 4096, 20000, 40000])
    kind = rng.randrange(5)
    if kind == 0:
        return b"\n.word " + b"1" * n + b"\n"
    if kind == 1:
        return b"l" * n + b": nop\n"
    if kind == 2:
        return b"\n.string \"" + b"a" * n + b"\"\n"
    if kind == 3:
        return b"nop # " + b"x" * n
    return b"\t" * n + b"nop\n"


def deep_nesting(rng, seeds):
    n = rng.choice([10, 999, 1000, 1001, 1500, 20000])
    kind = rng.randrange(6)
    if kind == 0:
        body = b"(" * n + b"1" + b")" * n
    elif kind == 1:
        body = b"-" * n + b"1"
    elif kind == 2:
        body = b"2**" * n + b"1"
    elif kind == 3:
        body = b"!~" * (n // 2) + b"1"
    elif kind == 4:
        body = b"(" * n + b"1"
    else:
        body = b"1" + b")" * n
    head = rng.choice([b".word ", b"addi $1, $0, ", b"x: .equ ", b"beq $1, $2, ", b"lw $1, "])
    return b"\n" + head + body + b"\n"


def high_bytes(rng, seeds):
    base = bytearray(rng.choice(seeds))
    for _ in range(rng.randint(1, 32)):
        base.insert(rng.randint(0, len(base)), rng.randrange(0x80, 0x100))
    return bytes(base)


def nul_bytes(rng, seeds):
    base = bytearray(rng.choice(seeds))
    for _ in range(rng.randint(1, 8)):
        base.insert(rng.randint(0, len(base)), 0)
    return bytes(base)


def unterminated_string(rng, seeds):
    text = rng.choice([b"abc", b"a\\", b"\\x", b"\\777", b"a\\\nb", b"", b"\\\n\\\n"])
    head = rng.choice([b".string \"", b".include(\"", b"\"", b".word \""])
    tail = rng.choice([b"", b"\n", b"\nnop\n", b"\\"])
    return b"\n" + head + text + tail


def huge_numbers(rng, seeds):
    digits = rng.randint(10, 300)
    number = rng.choice([
        b"".join(b"%d" % rng.randrange(10) for _ in range(digits)),
        b"0x" + b"".join(b"%X" % rng.randrange(16) for _ in range(digits)),
        b"0x", b"0X_", b"4294967295", b"4294967296", b"2147483647", b"-2147483648",
        b"1" + b"_" * digits, b"\"\\x" + b"F" * digits + b"\"", b"\"\\" + b"7" * digits + b"\"",
    ])
    head = rng.choice([b".word ", b".half ", b".byte ", b".string ", b".blockw ", b".data ",
                       b".text ", b"li $1, ", b"sll $1, $2, ", b"addi $1, $0, 1 / ",
                       b"addi $1, $0, 2 ** ", b"lui $1, (# 1) @ ", b".align "])
    return b"\n" + head + number + b"\n" + rng.choice([b"", b"nop\n", b".word 1 << " + number])


def many_errors(rng, seeds):
    lines = rng.randint(26, 60)
    bad = [b"add $1", b"`", b"lw $1, 4($2", b"1 2 3", b"beq", b".word", b"$99:", b".equ 3",
           b"x: .string 5", b".string \"\\777\"", b"addi $1, $0, 1/0", b"j undefined_label"]
    return b"\n" + b"\n".join(rng.choice(bad) for _ in range(lines)) + b"\n"


def many_labels(rng, seeds):
    count = rng.choice([200, 2000, 6000])
    lines = [b"l%d: .word l%d" % (i, rng.randrange(count)) for i in range(count)]
    return b"\n" + b"\n".join(lines) + b"\n"


def many_warnings(rng, seeds):
    # Every octal escape above 255 warns; a file may collect at most 100 warnings.
    return b"\n" + b".string \"\\777\"\n" * rng.randint(30, 120)


def crlf_lines(rng, seeds):
    return rng.choice(seeds).replace(b"\n", rng.choice([b"\r\n", b"\r", b"\n\r"]))


def self_including(rng, seeds):
    kind = rng.randrange(3)
    if kind == 0:
        return b"\n.include(\"main.asm\")\n"
    if kind == 1:
        return b"# loops\nnop\n.include(\"main.asm\")\nnop\n"
    return b"\n.include(\"main.asm\")\n" + mutate(rng, seeds)


GENERATORS = [
    (mutate, 40), (random_bytes, 6), (long_line, 6), (deep_nesting, 8), (high_bytes, 6),
    (nul_bytes, 6), (unterminated_string, 6), (huge_numbers, 8), (many_errors, 6),
    (self_including, 4), (many_labels, 3), (many_warnings, 3), (crlf_lines, 3),
]


def pick_generator(rng):
    total = sum(weight for _, weight in GENERATORS)
    roll = rng.randrange(total)
    for generator, weight in GENERATORS:
        if roll < weight:
            return generator
        roll -= weight
    return mutate


# ---------------------------------------------------------------------------------------------
# Cases. A case is a dict: kind (file, filter, include, scrubnote, scrubnote_dir), files (name ->
# bytes), args, stdin.


def make_case(seed, n, seeds):
    rng = random.Random(seed * 1_000_003 + n)
    roll = rng.randrange(100)
    content = pick_generator(rng)(rng, seeds)
    options = rng.choice(OPTION_SETS)
    if roll < 50:
        return {"kind": "file", "files": {"main.asm": content},
                "args": options + ["-oout.hex", "main.asm"], "stdin": b""}
    if roll < 63:
        # Filter mode: the source arrives on standard input, the object text leaves on stdout.
        return {"kind": "filter", "files": {}, "args": ["-f"] + options, "stdin": content}
    if roll < 76:
        # A small include tree: main.asm includes a.inc, which includes b.inc; the fuzzed text
        # takes the place of one of the three.
        files = {
            "main.asm": b"start: nop\n.include (\"a.inc\")\nafter: j start\n",
            "a.inc": b"# a\naddi $1, $0, 1\n.include (\"b.inc\")\n.word after\n",
            "b.inc": b"; b\nlast: .string \"b\"\n",
        }
        files[rng.choice(sorted(files))] = content
        return {"kind": "include", "files": files, "args": options + ["-oout.hex", "main.asm"],
                "stdin": b""}
    if roll < 88:
        return make_include_chain_case(rng, content, options)
    return make_scrubnote_case(rng, content)


def make_include_chain_case(rng, content, options):
    """A chain of distinct files, each including the next, around the nesting limit; the fuzzed
    text ends the chain, or a file that includes the main file closes a loop."""
    depth = rng.choice([3, 255, 256, 257, 300])
    files = {}
    for i in range(depth):
        files["f%d.inc" % i] = b"# level %d\nnop\n.include(\"f%d.inc\")\nnop\n" % (i, i + 1)
    files["f%d.inc" % depth] = rng.choice([b"# last\n" + content,
                                           b"# loop\n.include(\"main.asm\")\n"])
    files["main.asm"] = b"\n.include(\"f0.inc\")\n.word 1\n"
    return {"kind": "include", "files": files, "args": options + ["-oout.hex", "main.asm"],
            "stdin": b""}


def make_scrubnote_case(rng, content):
    kind = rng.randrange(10)
    if kind < 3:
        # Arbitrary line lengths, some of them past the program's read size.
        pieces = []
        for _ in range(rng.randint(0, 6)):
            length = rng.choice([0, 1, 998, 999, 1000, 1999, 70000])
            pieces.append(bytes(rng.choice(b"ab ;\t\x00\xff\r") for _ in range(length)))
        content = b"\n".join(pieces) + rng.choice([b"", b"\n"])
    files = {"src.s": content}
    if rng.randrange(2):
        files["dst.asm"] = rng.choice([b"", b"kept\n", b"no line end", b"x;y\n" * 3])
    if kind == 9:
        # The source is a folder: refused before the destination is touched.
        return {"kind": "scrubnote_dir", "files": files, "args": ["srcdir", "dst.asm"],
                "stdin": b""}
    return {"kind": "scrubnote", "files": files, "args": ["src.s", "dst.asm"], "stdin": b""}


def stripped(source):
    """The text scrubnote appends for `source`: every line cut at its first ';', then a line end."""
    if not source:
        return b""
    lines = source.split(b"\n")
    if source.endswith(b"\n"):
        lines.pop()
    return b"".join(line.split(b";", 1)[0] + b"\n" for line in lines)


def snapshot(folder):
    found = {}
    for name in os.listdir(folder):
        path = os.path.join(folder, name)
        if os.path.isfile(path):
            with open(path, "rb") as f:
                found[name] = f.read()
        else:
            found[name] = None
    return found


def run_case(case, torvane, scrubnote, timeout):
    """Runs one case; returns the reason it failed (None when every check holds) and the seconds
    the program ran."""
    work = tempfile.mkdtemp(prefix="fuzz_")
    try:
        for name, data in case["files"].items():
            with open(os.path.join(work, name), "wb") as f:
                f.write(data)
        if case["kind"] == "scrubnote_dir":
            os.mkdir(os.path.join(work, "srcdir"))
        program = scrubnote if case["kind"].startswith("scrubnote") else torvane
        env = dict(os.environ)
        env["ASAN_OPTIONS"] = "detect_leaks=0:abort_on_error=1"
        env["UBSAN_OPTIONS"] = "halt_on_error=1:abort_on_error=1:print_stacktrace=1"
        began = time.monotonic()
        try:
            done = subprocess.run([program] + case["args"], cwd=work, input=case["stdin"],
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                  timeout=timeout, env=env)
        except subprocess.TimeoutExpired:
            return "no result within %g seconds" % timeout, timeout
        seconds = time.monotonic() - began
        return check(case, done, snapshot(work)), seconds
    finally:
        shutil.rmtree(work, ignore_errors=True)


def check(case, done, after):
    status, out, err = done.returncode, done.stdout, done.stderr
    if status < 0:
        return "ended by signal %d%s" % (-status, report_of(err))
    if SANITIZER_REPORT.search(err):
        return "sanitizer report" + report_of(err)
    kind = case["kind"]
    files = case["files"]

    if kind == "scrubnote_dir":
        if status != 255 or err != b"unable to open srcdir \n":
            return "directory source: status %d, stderr %r" % (status, err[:200])
        expected = dict(files, srcdir=None)
        if after != expected:
            return "directory source: files changed"
        return None

    if kind == "scrubnote":
        if status != 0 or err:
            return "status %d, stderr %r" % (status, err[:200])
        expected = dict(files, **{"dst.asm": files.get("dst.asm", b"") + stripped(files["src.s"])})
        if set(after) != set(expected):
            return "files: expected %s, found %s" % (sorted(expected), sorted(after))
        if after["src.s"] != files["src.s"]:
            return "source changed"
        if after["dst.asm"] != expected["dst.asm"]:
            return "destination is not its old content plus the stripped source"
        return None

    if status not in (0, 1):
        return "exit status %d" % status
    if err:
        return "standard error not empty: %r" % err[:300]
    for name, data in files.items():
        if after.get(name) != data:
            return "source file %s changed" % name
    extra = set(after) - set(files) - {"out.hex"}
    if extra:
        return "unexpected files %s" % sorted(extra)
    if status == 0:
        if kind == "filter":
            # The object text is all of standard output unless a listing, the token echo, the
            # statistics or messages (all of which begin with "//") share it.
            shared = {"-l", "-s", "-S"} & set(case["args"]) or b"//" in out
            if not shared and not OBJECT_FORMAT.fullmatch(out):
                return "object text on standard output does not parse: %r" % out[:200]
        elif "out.hex" not in after or not OBJECT_FORMAT.fullmatch(after["out.hex"] or b""):
            return "object file does not parse: %r" % (after.get("out.hex") or b"")[:200]
    return None


def report_of(err):
    text = err.decode("latin-1").strip()
    return (":\n" + text[:2000]) if text else ""


def save_finding(folder, seed, n, case, reason):
    target = os.path.join(folder, "seed%d_case%d" % (seed, n))
    os.makedirs(target, exist_ok=True)
    for name, data in case["files"].items():
        with open(os.path.join(target, name), "wb") as f:
            f.write(data)
    if case["stdin"]:
        with open(os.path.join(target, "stdin"), "wb") as f:
            f.write(case["stdin"])
    program = "scrubnote" if case["kind"].startswith("scrubnote") else "torvane"
    with open(os.path.join(target, "cmd"), "w") as f:
        f.write(" ".join([program] + case["args"]) + "\n")
    with open(os.path.join(target, "reason"), "w") as f:
        f.write(reason + "\n")
    return target


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--torvane", required=True)
    parser.add_argument("--scrubnote", required=True)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--count", type=int, default=3000, help="cases to run (0: no limit)")
    parser.add_argument("--budget", type=float, default=240, help="seconds before stopping")
    parser.add_argument("--timeout", type=float, default=5, help="seconds allowed per run")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    parser.add_argument("--only", type=int, help="run just this case number")
    parser.add_argument("--findings", default=os.path.join(ROOT, "fuzz", "findings"))
    args = parser.parse_args()

    torvane = os.path.abspath(args.torvane)
    scrubnote = os.path.abspath(args.scrubnote)
    seeds = load_seeds()
    start = time.monotonic()
    numbers = [args.only] if args.only is not None else None

    def cases():
        n = 0
        while args.count == 0 or n < args.count:
            yield n
            n += 1

    ran = failed = 0
    slowest = 0.0
    kinds = {}
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
        pending = {}
        source = iter(numbers if numbers is not None else cases())
        while True:
            while len(pending) < 2 * args.jobs and time.monotonic() - start < args.budget:
                n = next(source, None)
                if n is None:
                    break
                case = make_case(args.seed, n, seeds)
                pending[pool.submit(run_case, case, torvane, scrubnote, args.timeout)] = (n, case)
            if not pending:
                break
            finished, _ = concurrent.futures.wait(
                pending, return_when=concurrent.futures.FIRST_COMPLETED)
            for future in finished:
                n, case = pending.pop(future)
                reason, seconds = future.result()
                slowest = max(slowest, seconds)
                ran += 1
                kinds[case["kind"]] = kinds.get(case["kind"], 0) + 1
                if reason:
                    failed += 1
                    where = save_finding(args.findings, args.seed, n, case, reason)
                    print("FAIL case %d (%s): %s\n  saved in %s" % (n, case["kind"], reason, where),
                          flush=True)
    elapsed = time.monotonic() - start
    print("fuzz: %d cases in %.0f s (%s), slowest run %.2f s, %d failed" % (
        ran, elapsed, ", ".join("%s %d" % kv for kv in sorted(kinds.items())), slowest, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
