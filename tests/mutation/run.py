#!/usr/bin/env python3
"""Plants the faults of mutants.txt one at a time into a copy of the tree and
reports which of them the plain unit and GUI tests catch.

    tests/mutation/run.py                 # every mutant
    tests/mutation/run.py -k fill -k undo # those whose file or name has a word
    tests/mutation/run.py --list          # check that every mutant applies
    tests/mutation/run.py -f tests/mutation/independent.txt   # another list

A mutant is found by its text, which must occur exactly once in its file, so
the list survives edits elsewhere. The copy lives in build-mutation/ and is
built incrementally: each mutant costs one object file and the links; the tests
stop at the first failure, which is enough to catch it. It
starts an Xvfb of its own; runs from separate clones can go side by side.
"""
import argparse
import atexit
import os
import random
import shutil
import signal
import string
import subprocess
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
WORK = os.path.join(ROOT, "build-mutation")
TARGETS = ["koma_unit_tests", "koma_gui_tests"]
FOLDERS = ["base", "canvas", "files", "tools", "palette", "preview", "app", "cli"]


def parse(path):
    """One mutant a line: 'file :: name :: text :: replacement', where a ⏎
    stands for a line break; blank lines and lines from # on are skipped."""
    mutants = []
    for number, line in enumerate(open(path, encoding="utf-8"), 1):
        if line.strip() and not line.startswith("#"):
            parts = [p.replace("⏎", "\n") for p in line.rstrip("\n").split(" :: ")]
            if len(parts) != 4:
                sys.exit(f"{path}:{number}: expected 'file :: name :: text :: replacement'")
            mutants.append(dict(zip(["file", "name", "old", "new"], parts), line=number))
    return mutants


def start(cmd, out=subprocess.DEVNULL, **kw):
    return subprocess.Popen(cmd, start_new_session=True, stdout=out, stderr=subprocess.DEVNULL, **kw)


def finish(p, deadline):
    """p's exit status, or None when it ran out of time (its process group is killed then)."""
    try:
        return p.wait(timeout=max(0, deadline - time.monotonic()))
    except subprocess.TimeoutExpired:
        os.killpg(p.pid, signal.SIGKILL)
        p.wait()
        return None


def own_x_server():
    """An Xvfb of the run's own at a display number it picks itself, so that
    runners side by side never share a screen; as ./test.sh starts one,
    without an authority file, so that a test's child that became another
    user can still open the display."""
    for _ in range(5):  # two servers starting at once can both be told one number; one then dies
        read, write = os.pipe()
        server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24", "-noreset",
                                   "-nolisten", "tcp"], pass_fds=[write], stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
        os.close(write)
        number = os.read(read, 16).decode().strip()
        os.close(read)
        time.sleep(1)
        if number and server.poll() is None and subprocess.call(
                ["xdpyinfo", "-display", f":{number}"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL) == 0:
            atexit.register(server.kill)
            os.environ["DISPLAY"] = f":{number}"
            return
        server.kill()
    sys.exit("Xvfb did not start")


def golden_files():
    """A folder for the golden sessions' files, its path as long as the one
    they show, /tmp/koma-golden: some traces give the length."""
    while True:
        path = "/tmp/koma-" + "".join(random.choices(string.ascii_lowercase, k=6))
        try:
            os.mkdir(path)
            atexit.register(shutil.rmtree, path, True)
            return path
        except FileExistsError:
            pass


def build(bld):
    cmd = ["cmake", "--build", bld, "-j", str(os.cpu_count() or 2), "--target", *TARGETS]
    return finish(start(cmd), time.monotonic() + 900) == 0


def failing_tests(bld, timeout):
    """The names of the tests that fail, both programs run at once; a program
    that crashes or runs out of time counts as a failure of its own. The first
    failure is enough: each program stops at its first failed test, and the
    other one is stopped then too."""
    outs = {t: open(os.path.join(bld, t + ".out"), "w+") for t in TARGETS}
    procs = {t: start([os.path.join(bld, "tests", t), "--gtest_brief=1", "--gtest_fail_fast"], outs[t],
                      cwd=os.path.join(bld, "tests")) for t in TARGETS}
    deadline, status = time.monotonic() + timeout, {}
    while len(status) < len(procs) and time.monotonic() < deadline:
        status.update({t: p.poll() for t, p in procs.items() if t not in status and p.poll() is not None})
        if any(status.values()):
            break
        time.sleep(0.1)
    failed = []
    for t, p in procs.items():
        if t not in status:  # out of time, or stopped after the other's failure
            os.killpg(p.pid, signal.SIGKILL)
            p.wait()
        outs[t].seek(0)
        names = [l.split("]", 1)[1].split()[0] for l in outs[t]
                 if l.startswith("[  FAILED  ]") and "listed below" not in l]
        outs[t].close()
        if t not in status and not any(status.values()):
            names.append(f"{t}(out of time)")
        elif status.get(t) and not names:
            names.append(f"{t}(exit {status[t]})")
        failed += names
    return sorted(set(failed))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("-k", action="append", default=[], help="only mutants whose file or name has this")
    ap.add_argument("--list", action="store_true", help="only check that every mutant applies")
    ap.add_argument("--timeout", type=int, default=90, help="seconds for both test programs")
    ap.add_argument("-f", "--file", default=os.path.join(ROOT, "tests", "mutation", "mutants.txt"),
                    help="the list of mutants")
    args = ap.parse_args()

    mutants = parse(os.path.abspath(args.file))
    def text(file):
        path = os.path.join(ROOT, file)
        return open(path, encoding="utf-8").read() if os.path.isfile(path) else ""
    bad = [f"line {m['line']}: {m['file']}: {m['name']}" for m in mutants if text(m["file"]).count(m["old"]) != 1]
    if args.list or bad:
        print("".join(f"does not apply: {b}\n" for b in bad) + f"{len(mutants)} mutants, {len(bad)} that do not apply")
        for folder in FOLDERS:
            print(f"  {folder:8} {sum(m['file'].startswith(folder + '/') for m in mutants)}")
        return 1 if bad else 0
    own_x_server()
    mutants = [m for m in mutants if not args.k or any(k in m["name"] or k in m["file"] for k in args.k)]

    # A fresh copy (new times, so that objects of an earlier copy are rebuilt).
    src, bld = os.path.join(WORK, "src"), os.path.join(WORK, "build")
    shutil.rmtree(src, ignore_errors=True)
    shutil.copytree(ROOT, src, ignore=shutil.ignore_patterns(".git", "build*"), symlinks=True,
                    copy_function=shutil.copy)
    os.environ["NO_AT_BRIDGE"] = "1"
    # Recovery snapshots and the golden sessions' files of this run alone.
    os.environ["XDG_STATE_HOME"] = os.path.join(WORK, "state")
    os.environ["KOMA_GOLDEN_FILES"] = golden_files()
    configure = start(["cmake", "-S", src, "-B", bld, "-DCMAKE_BUILD_TYPE=Release"])
    if finish(configure, time.monotonic() + 600) != 0 or not build(bld):
        sys.exit("the unchanged tree does not build")
    if failed := failing_tests(bld, args.timeout):
        sys.exit("the tests fail on the unchanged tree: " + " ".join(failed))
    results = []
    for i, m in enumerate(mutants, 1):
        path, t0 = os.path.join(src, m["file"]), time.time()
        original = open(path, encoding="utf-8").read()
        open(path, "w", encoding="utf-8").write(original.replace(m["old"], m["new"], 1))
        failed = failing_tests(bld, args.timeout) if build(bld) else None
        verdict = "invalid" if failed is None else "caught" if failed else "missed"  # invalid: does not compile
        open(path, "w", encoding="utf-8").write(original)
        results.append((m, verdict))
        print(f"[{i}/{len(mutants)}] {verdict:7} {m['file']}: {m['name']}  ({time.time() - t0:.0f} s)"
              + (f"  by {' '.join(failed)}" if failed else ""), flush=True)
    build(bld)  # leave the copy unmutated

    print("\nfolder    caught / mutants")
    counted = [(m["file"].split("/")[0], v == "caught") for m, v in results if v != "invalid"]
    for folder in FOLDERS + ["all"]:
        hits = [c for f, c in counted if folder in (f, "all")]
        if hits:
            print(f"  {folder:8} {sum(hits):3} / {len(hits):3}"
                  + (f"  score {100.0 * sum(hits) / len(hits):.1f} %" if folder == "all" else ""))
    for m, v in results:
        if v != "caught":
            print(f"{v}: {m['file']}: {m['name']}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
