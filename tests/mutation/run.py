#!/usr/bin/env python3
"""Plants the faults of mutants.txt one at a time into a copy of the tree and
reports which of them the plain unit and GUI tests catch.

    tests/mutation/run.py                 # every mutant
    tests/mutation/run.py -k fill -k undo # those whose name contains a word
    tests/mutation/run.py --list          # check that every mutant applies

A mutant is found by its text, which must occur exactly once in its file, so
the list survives edits elsewhere. The copy lives in build-mutation/ and is
built incrementally: each mutant costs one object file and the links.
"""
import argparse
import os
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
TARGETS = ["koma_unit_tests", "koma_gui_tests"]
FOLDERS = ["app", "canvas", "tools", "files", "palette", "preview"]


def parse(path):
    """One mutant a line: 'file :: name :: text :: replacement', where a ⏎
    stands for a line break; blank lines and lines from # on are skipped."""
    mutants = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            parts = line.split(" :: ")
            if len(parts) != 4:
                sys.exit(f"{path}:{number}: expected 'file :: name :: text :: replacement'")
            file, name, old, new = (p.replace("⏎", "\n") for p in parts)
            mutants.append({"file": file.strip(), "name": name.strip(), "old": old, "new": new,
                            "line": number})
    return mutants


def check(mutants, tree):
    bad = []
    for m in mutants:
        text = open(os.path.join(tree, m["file"]), encoding="utf-8").read()
        n = text.count(m["old"])
        if n != 1 or m["old"] == m["new"]:
            bad.append(f"line {m['line']}: {m['file']}: {m['name']}: found {n} times")
    return bad


def copy_tree(work):
    src = os.path.join(work, "src")
    ignore = shutil.ignore_patterns(".git", "build*", "*.o")
    if os.path.isdir(src):
        shutil.rmtree(src)
    # Fresh times, so that objects built from an earlier copy are rebuilt.
    shutil.copytree(ROOT, src, ignore=ignore, symlinks=True, copy_function=shutil.copy)
    return src


def start(cmd, output=None, **kw):
    return subprocess.Popen(cmd, start_new_session=True, stdout=output or subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, **kw)


def finish(p, deadline):
    """Waits for p until `deadline`; returns its exit status, or None when it
    ran out of time (and was killed with its process group)."""
    try:
        return p.wait(timeout=max(0, deadline - time.monotonic()))
    except subprocess.TimeoutExpired:
        os.killpg(p.pid, signal.SIGKILL)
        p.wait()
        return None


def run(cmd, timeout, output=None, **kw):
    return finish(start(cmd, output, **kw), time.monotonic() + timeout)


def build(src, bld):
    return run(["cmake", "--build", bld, "-j", str(os.cpu_count() or 2), "--target", *TARGETS],
               timeout=900) == 0


def failing_tests(bld, timeout):
    """The names of the tests that fail (a program that crashes or runs out
    of time counts as one failure of its own). Both programs run at once."""
    outs = {t: open(os.path.join(bld, t + ".out"), "w+") for t in TARGETS}
    procs = {t: start([os.path.join(bld, "tests", t), "--gtest_brief=1"], outs[t],
                      cwd=os.path.join(bld, "tests")) for t in TARGETS}
    deadline = time.monotonic() + timeout
    failed = []
    for t in TARGETS:
        status = finish(procs[t], deadline)
        with outs[t] as out:
            out.seek(0)
            names = [l.split("]", 1)[1].split()[0] for l in out
                     if l.startswith("[  FAILED  ]") and "listed below" not in l]
        if status is None:
            names.append(t + " (out of time)")
        elif status != 0 and not names:
            names.append(t + f" (exit {status})")
        failed += names
    return sorted(set(failed))


def ensure_display():
    if os.environ.get("DISPLAY") and run(["xdpyinfo"], timeout=10) == 0:
        return None
    for n in range(90, 130):
        if os.path.exists(f"/tmp/.X11-unix/X{n}") or os.path.exists(f"/tmp/.X{n}-lock"):
            continue
        xvfb = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "1280x1024x24", "-noreset",
                                 "-nolisten", "tcp"], stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        os.environ["DISPLAY"] = f":{n}"
        for _ in range(50):
            if run(["xdpyinfo"], timeout=10) == 0:
                return xvfb
            time.sleep(0.1)
        return xvfb
    sys.exit("no free display number for Xvfb")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--mutants", default=os.path.join(ROOT, "tests", "mutation", "mutants.txt"))
    ap.add_argument("--work", default=os.path.join(ROOT, "build-mutation"))
    ap.add_argument("-k", action="append", default=[], help="only mutants whose name has this")
    ap.add_argument("--list", action="store_true", help="only check that every mutant applies")
    ap.add_argument("--timeout", type=int, default=90, help="seconds per test program")
    args = ap.parse_args()

    mutants = parse(args.mutants)
    bad = check(mutants, ROOT)
    for line in bad:
        print("does not apply:", line)
    if args.list or bad:
        print(f"{len(mutants)} mutants, {len(bad)} that do not apply")
        for folder in FOLDERS:
            n = sum(m["file"].startswith(folder + "/") for m in mutants)
            print(f"  {folder:8} {n}")
        return 1 if bad else 0
    if args.k:
        mutants = [m for m in mutants if any(k in m["name"] or k in m["file"] for k in args.k)]

    os.makedirs(args.work, exist_ok=True)
    src = copy_tree(args.work)
    bld = os.path.join(args.work, "build")
    os.environ.update(NO_AT_BRIDGE="1")
    xvfb = ensure_display()
    try:
        if subprocess.run(["cmake", "-S", src, "-B", bld, "-DCMAKE_BUILD_TYPE=Release"],
                          stdout=subprocess.DEVNULL).returncode != 0 or not build(src, bld):
            sys.exit("the unchanged tree does not build")
        if failing_tests(bld, args.timeout):
            sys.exit("the tests fail on the unchanged tree")
        results = []
        for i, m in enumerate(mutants, 1):
            path = os.path.join(src, m["file"])
            original = open(path, encoding="utf-8").read()
            with open(path, "w", encoding="utf-8") as f:
                f.write(original.replace(m["old"], m["new"], 1))
            t0 = time.time()
            failed = []
            if not build(src, bld):
                verdict = "invalid"  # does not compile: no fault a test could meet
            else:
                failed = failing_tests(bld, args.timeout)
                verdict = "caught" if failed else "missed"
            with open(path, "w", encoding="utf-8") as f:
                f.write(original)
            results.append((m, verdict))
            print(f"[{i}/{len(mutants)}] {verdict:7} {m['file']}: {m['name']}"
                  f"  ({time.time() - t0:.0f} s)" + (f"  by {' '.join(failed)}" if failed else ""),
                  flush=True)
        build(src, bld)  # leave the copy unmutated
    finally:
        if xvfb:
            xvfb.terminate()

    print("\nfolder    caught / mutants")
    total_c = total_n = 0
    for folder in FOLDERS:
        rs = [v for m, v in results if m["file"].startswith(folder + "/") and v != "invalid"]
        c = sum(v == "caught" for v in rs)
        total_c += c
        total_n += len(rs)
        if rs:
            print(f"  {folder:8} {c:3} / {len(rs):3}")
    if total_n:
        print(f"  {'all':8} {total_c:3} / {total_n:3}  score {100.0 * total_c / total_n:.1f} %")
    for m, v in results:
        if v != "caught":
            print(f"{v}: {m['file']}: {m['name']}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
