#!/usr/bin/env python3
"""Mutation run: puts small faults into a scratch copy of the tree one at a
time and runs the test suite against each, to show which faults the suite
catches.

    python3 scripts/mutants.py [--list scripts/mutants.list] [--only NAME,...]
                               [--scratch DIR] [--jobs N] [--timeout S]

The list holds one mutant per block:

    [name]
    file = path/relative/to/the/root
    from = exact text of the original (one line; \\n, \\t and \\\\ are escapes)
    to   = its replacement
    nth  = which occurrence to replace, 1-based (only when `from` occurs more than once)

Each mutant is applied to the scratch copy (never the working tree), the
build is brought up to date incrementally, and the whole suite runs with
`ctest --stop-on-failure`. A mutant is "killed" when a test fails, "survived"
when the suite passes, "no build" when it does not compile, and "missing"
when its text is no longer in the file (the list needs mending then).
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import time
from dataclasses import dataclass, field
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent


@dataclass
class Mutant:
    name: str
    file: str = ""
    old: str = ""
    new: str = ""
    nth: int = 0
    line: int = 0


@dataclass
class Outcome:
    mutant: Mutant
    status: str  # killed, survived, no build, missing, ambiguous
    detail: str = ""
    seconds: float = 0.0


def unescape(text: str) -> str:
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            nxt = text[i + 1]
            out.append({"n": "\n", "t": "\t", "\\": "\\"}.get(nxt, "\\" + nxt))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def read_list(path: Path) -> list[Mutant]:
    mutants: list[Mutant] = []
    current = None
    for number, raw in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        line = raw.rstrip("\n")
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        header = re.fullmatch(r"\[(.+)\]\s*", line)
        if header:
            current = Mutant(header.group(1), line=number)
            mutants.append(current)
            continue
        key, sep, value = line.partition("=")
        key = key.strip()
        if not sep or current is None or key not in ("file", "from", "to", "nth"):
            sys.exit(f"{path}:{number}: expected [name] or file/from/to/nth = value")
        value = value[1:] if value.startswith(" ") else value
        if key == "file":
            current.file = value.strip()
        elif key == "from":
            current.old = unescape(value)
        elif key == "to":
            current.new = unescape(value)
        else:
            current.nth = int(value)
    names = [m.name for m in mutants]
    duplicates = {n for n in names if names.count(n) > 1}
    if duplicates:
        sys.exit(f"{path}: mutant names used twice: {', '.join(sorted(duplicates))}")
    for m in mutants:
        if not m.file or not m.old or m.old == m.new:
            sys.exit(f"{path}:{m.line}: mutant [{m.name}] needs a file, a from text and a different to text")
    return mutants


def run(cmd: list[str], cwd: Path, timeout: int | None = None) -> subprocess.CompletedProcess:
    return subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                          errors="replace", timeout=timeout)


def make_scratch(scratch: Path) -> None:
    """Copies the working tree (tracked and new files, uncommitted changes
    included) into the scratch folder, keeping an earlier build there."""
    scratch.mkdir(parents=True, exist_ok=True)
    listed = run(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"], ROOT)
    wanted = {p for p in listed.stdout.split("\0") if p}
    for rel in sorted(wanted):
        src, dst = ROOT / rel, scratch / rel
        if not src.is_file():
            continue
        dst.parent.mkdir(parents=True, exist_ok=True)
        if not dst.exists() or dst.read_bytes() != src.read_bytes():
            shutil.copy2(src, dst)
    for path in scratch.rglob("*"):
        rel = path.relative_to(scratch).as_posix()
        if rel.startswith("build/") or rel == "build" or path.is_dir():
            continue
        if rel not in wanted:
            path.unlink()


def configure_and_build(scratch: Path, jobs: int) -> subprocess.CompletedProcess:
    build = scratch / "build"
    if not (build / "build.ninja").exists():
        args = ["cmake", "-S", str(scratch), "-B", str(build), "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo"]
        if shutil.which("ccache"):
            args += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
        configured = run(args, scratch)
        if configured.returncode != 0:
            return configured
    return run(["cmake", "--build", str(build), "-j", str(jobs)], scratch)


def first_failure(ctest_output: str) -> str:
    # A test program runs its cases in one process: name the case that failed.
    case = re.search(r"\[  FAILED  \] ([A-Za-z0-9_/.]+)", ctest_output)
    m = re.search(r"The following tests FAILED:\s*\n\s*\d+ - (\S+)", ctest_output)
    if m:
        return m.group(1) if not case or case.group(1) == m.group(1) else f"{m.group(1)}: {case.group(1)}"
    for line in ctest_output.splitlines():
        m = re.search(r"Test\s+#\d+:\s+(\S+)\s.*\*\*\*(Failed|Timeout|Exception)", line)
        if m:
            return m.group(1)
    return "(a test failed)"


def run_suite(scratch: Path, jobs: int, timeout: int) -> subprocess.CompletedProcess:
    return run(["ctest", "-j", str(jobs), "--timeout", str(timeout), "--stop-on-failure", "--output-on-failure"],
               scratch / "build")


def apply(m: Mutant, scratch: Path) -> tuple[str, str] | Outcome:
    target = scratch / m.file
    if not target.is_file():
        return Outcome(m, "missing", f"no file {m.file}")
    original = target.read_text(encoding="utf-8")
    count = original.count(m.old)
    if count == 0:
        return Outcome(m, "missing", "the text is no longer in the file")
    if count > 1 and not m.nth:
        return Outcome(m, "ambiguous", f"the text occurs {count} times; give nth")
    nth = m.nth or 1
    if nth > count:
        return Outcome(m, "missing", f"the text occurs {count} times, not {nth}")
    at = -1
    for _ in range(nth):
        at = original.index(m.old, at + 1)
    target.write_text(original[:at] + m.new + original[at + len(m.old):], encoding="utf-8")
    return original, str(target)


def evaluate(m: Mutant, scratch: Path, jobs: int, timeout: int) -> Outcome:
    started = time.monotonic()
    applied = apply(m, scratch)
    if isinstance(applied, Outcome):
        return applied
    original, target = applied
    try:
        built = configure_and_build(scratch, jobs)
        if built.returncode != 0:
            return Outcome(m, "no build", "the mutant does not compile", time.monotonic() - started)
        suite = run_suite(scratch, jobs, timeout)
        if suite.returncode == 0:
            return Outcome(m, "survived", "", time.monotonic() - started)
        return Outcome(m, "killed", first_failure(suite.stdout), time.monotonic() - started)
    finally:
        Path(target).write_text(original, encoding="utf-8")


def print_table(outcomes: list[Outcome]) -> None:
    print()
    print("| mutant | file | result | killed by |")
    print("|---|---|---|---|")
    for o in outcomes:
        print(f"| {o.mutant.name} | `{o.mutant.file}` | {o.status} | {o.detail} |")
    judged = [o for o in outcomes if o.status in ("killed", "survived")]
    killed = sum(1 for o in judged if o.status == "killed")
    print()
    if judged:
        print(f"Killed {killed} of {len(judged)} mutants ({100.0 * killed / len(judged):.0f}%).")
    others = [o for o in outcomes if o.status not in ("killed", "survived")]
    if others:
        print(f"Not judged: {len(others)} ({', '.join(o.mutant.name + ': ' + o.status for o in others)}).")


def check_texts(mutants: list[Mutant]) -> int:
    """Reports mutants whose text is missing from, or ambiguous in, the working tree."""
    bad = 0
    for m in mutants:
        target = ROOT / m.file
        count = target.read_text(encoding="utf-8").count(m.old) if target.is_file() else 0
        if count == 0 or (count > 1 and not m.nth) or m.nth > count:
            bad += 1
            print(f"{m.name} ({m.file}): the text occurs {count} times" + (f", nth = {m.nth}" if m.nth else ""))
    print(f"{len(mutants) - bad} of {len(mutants)} mutants apply.")
    return 1 if bad else 0


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--list", default=str(ROOT / "scripts" / "mutants.list"))
    parser.add_argument("--only", default="", help="comma-separated mutant names")
    parser.add_argument("--scratch", default=str(ROOT.parent / (ROOT.name + "-mutants")),
                        help="the scratch copy (default: beside the working tree)")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    parser.add_argument("--timeout", type=int, default=300, help="seconds per test")
    parser.add_argument("--check", action="store_true",
                        help="only tell whether each mutant's text is still in its file, without building")
    args = parser.parse_args()

    mutants = read_list(Path(args.list))
    if args.only:
        chosen = set(args.only.split(","))
        unknown = chosen - {m.name for m in mutants}
        if unknown:
            sys.exit(f"unknown mutants: {', '.join(sorted(unknown))}")
        mutants = [m for m in mutants if m.name in chosen]

    if args.check:
        return check_texts(mutants)

    scratch = Path(args.scratch).resolve()
    if scratch == ROOT or ROOT in scratch.parents or scratch in ROOT.parents:
        sys.exit("the scratch copy must lie outside the working tree")
    print(f"scratch copy: {scratch}", flush=True)
    make_scratch(scratch)
    baseline = configure_and_build(scratch, args.jobs)
    if baseline.returncode != 0:
        print(baseline.stdout[-4000:])
        sys.exit("the unchanged tree does not build")
    suite = run_suite(scratch, args.jobs, args.timeout)
    if suite.returncode != 0:
        print(suite.stdout[-4000:])
        sys.exit(f"the suite fails without any mutant ({first_failure(suite.stdout)}); mend that first")

    outcomes = []
    for number, m in enumerate(mutants, 1):
        print(f"[{number}/{len(mutants)}] {m.name} ({m.file}) ...", end=" ", flush=True)
        outcome = evaluate(m, scratch, args.jobs, args.timeout)
        print(f"{outcome.status} {outcome.detail} ({outcome.seconds:.0f} s)", flush=True)
        outcomes.append(outcome)
    # Leave the scratch build matching the unchanged tree for the next run.
    configure_and_build(scratch, args.jobs)
    print_table(outcomes)
    return 0 if all(o.status in ("killed", "survived") for o in outcomes) else 1


if __name__ == "__main__":
    sys.exit(main())
