#!/usr/bin/env python3
"""Times qmexport, natively and under Wine, over the same oci-lite schemas.

    bench/qmexport_bench.py [--native TREE] [--wine TREE] [objects...]

TREE is a build folder: --native a native Linux tree (runs TREE/bin/qmexport with
TREE/oci-lite-bin on LD_LIBRARY_PATH), --wine a Windows tree (runs TREE/bin/qmexport.exe under
wine with TREE/oci-lite-bin on WINEPATH, in the Wine prefix the environment names: source
scripts/env.sh, then qm_use_tree x86_64 and qm_wine_prefix). Without either option it times
build-linux natively, and build under Wine when that tree holds a qmexport.exe.

The schemas are folder_bench's: SCOTT with N procedures of 10 lines (5,000, 10,000 and 20,000
unless the command line names other sizes), written with Python's sqlite3. For each size and
each program: --file into one .sql file, then --dir into an empty folder (first run) and into
the same folder again (re-run, nothing changed); each figure the fastest of two rounds, with the
folder's ratio to the single file. Both programs' files are compared, and must be the same.
Prints the figures; never run as a test.
"""
import filecmp
import os
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import time

LINES_PER_OBJECT = 10
ROUNDS = 2
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def build_schema(path, objects):
    """bench<N>.sqlite: what bench/BenchSchema.h and folder_bench write."""
    if os.path.exists(path):
        os.remove(path)
    db = sqlite3.connect(path)
    db.executescript(
        "CREATE TABLE users(name TEXT PRIMARY KEY, password TEXT, sysdba INTEGER);"
        "CREATE TABLE objects(owner TEXT, object_name TEXT, object_type TEXT, status TEXT);"
        "CREATE TABLE source(owner TEXT, name TEXT, type TEXT, line INTEGER, text TEXT);"
        "CREATE INDEX source_key ON source(owner, name, type, line);"
        "INSERT INTO users VALUES('SCOTT', 'TIGER', 0);")
    rows = []
    for i in range(1, objects + 1):
        name = f"PROC_{i:06d}"
        db.execute("INSERT INTO objects VALUES('SCOTT', ?, 'PROCEDURE', 'VALID')", (name,))
        for line in range(1, LINES_PER_OBJECT + 1):
            if line == 1:
                text = f"PROCEDURE {name} IS\n"
            elif line == LINES_PER_OBJECT:
                text = "END;\n"
            else:
                text = f"  v_{line:06d} := {line}; -- object {i}\n"
            rows.append((name, line, text))
    db.executemany("INSERT INTO source VALUES('SCOTT', ?, 'PROCEDURE', ?, ?)", rows)
    db.commit()
    db.close()


class Program:
    """One qmexport and how it is started: its command's head, its environment, and how it
    names a path of this machine."""

    def __init__(self, label, command, environment, path_of):
        self.label = label
        self.command = command
        self.environment = environment
        self.path_of = path_of

    def run(self, objects, target):
        command = self.command + ["--user", "SCOTT", "--database", f"BENCH{objects}",
                                  "--quiet"] + target
        started = time.perf_counter()
        done = subprocess.run(command, env=self.environment, stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        seconds = time.perf_counter() - started
        if done.returncode != 0:
            print(f"{self.label}: exit {done.returncode}: "
                  f"{done.stderr.decode(errors='replace').strip()}")
            return None
        return seconds


def native_program(tree, work):
    environment = dict(os.environ, QUILLMARK_PASSWORD="TIGER", OCI_LITE_HOME=work,
                       LD_LIBRARY_PATH=os.path.join(tree, "oci-lite-bin"))
    return Program("native", [os.path.join(tree, "bin", "qmexport")], environment,
                   lambda path: path)


def wine_program(tree, work):
    environment = dict(os.environ, QUILLMARK_PASSWORD="TIGER", OCI_LITE_HOME="Z:" + work,
                       WINEPATH="Z:" + os.path.join(tree, "oci-lite-bin"), WINEDEBUG="-all")
    return Program("Wine", ["wine", os.path.join(tree, "bin", "qmexport.exe")], environment,
                   lambda path: "Z:" + path)


def fastest(times):
    return None if any(t is None for t in times) else min(times)


def time_program(program, objects, work):
    """(--file, --dir first run, --dir re-run) seconds, and the folder the last run wrote."""
    single = os.path.join(work, f"{program.label}.sql")
    folder = os.path.join(work, f"{program.label}-src")
    files, firsts, agains = [], [], []
    for _ in range(ROUNDS):
        files.append(program.run(objects, ["--file", program.path_of(single)]))
        shutil.rmtree(folder, ignore_errors=True)
        firsts.append(program.run(objects, ["--dir", program.path_of(folder)]))
        agains.append(program.run(objects, ["--dir", program.path_of(folder)]))
    return (fastest(files), fastest(firsts), fastest(agains)), single, folder


def same_files(left, right):
    if os.path.isfile(left):
        return filecmp.cmp(left, right, shallow=False)
    names = sorted(os.listdir(left))
    if names != sorted(os.listdir(right)):
        return False
    match, mismatch, errors = filecmp.cmpfiles(left, right, names, shallow=False)
    return not mismatch and not errors


def ratio(part, whole):
    return f"{part / whole:.2f}x" if part is not None and whole else "-"


def seconds(value):
    return f"{value:.2f}" if value is not None else "failed"


def main():
    arguments = sys.argv[1:]
    trees = {}
    while arguments and arguments[0] in ("--native", "--wine"):
        if len(arguments) < 2:
            print("usage: qmexport_bench.py [--native TREE] [--wine TREE] [objects...]",
                  file=sys.stderr)
            return 2
        trees[arguments[0][2:]] = os.path.abspath(arguments[1])
        arguments = arguments[2:]
    if not trees:
        trees["native"] = os.path.join(ROOT, "build-linux")
        if os.path.isfile(os.path.join(ROOT, "build", "bin", "qmexport.exe")):
            trees["wine"] = os.path.join(ROOT, "build")
    sizes = [int(a) for a in arguments] or [5000, 10000, 20000]

    work = tempfile.mkdtemp(prefix="qm-qmexport-bench-")
    programs = []
    if "native" in trees:
        programs.append(native_program(trees["native"], work))
    if "wine" in trees:
        programs.append(wine_program(trees["wine"], work))
    print(f"qmexport over oci-lite, procedures of {LINES_PER_OBJECT} lines; fastest of "
          f"{ROUNDS} rounds; " + ", ".join(f"{p.label}: {p.command[-1]}" for p in programs))
    print(f"{'objects':>8} {'program':>8} {'--file s':>10} {'--dir first':>12} {'ratio':>7} "
          f"{'--dir again':>12} {'ratio':>7}")
    try:
        for objects in sizes:
            build_schema(os.path.join(work, f"bench{objects}.sqlite"), objects)
            written = []
            for program in programs:
                (single, first, again), file_path, folder = time_program(program, objects, work)
                print(f"{objects:>8} {program.label:>8} {seconds(single):>10} "
                      f"{seconds(first):>12} {ratio(first, single):>7} {seconds(again):>12} "
                      f"{ratio(again, single):>7}", flush=True)
                written.append((file_path, folder))
            if len(written) == 2:
                for left, right in zip(written[0], written[1]):
                    if os.path.exists(left) and os.path.exists(right) and \
                            not same_files(left, right):
                        print(f"{objects:>8} the programs wrote different files: {left}, {right}")
            for file_path, folder in written:
                shutil.rmtree(folder, ignore_errors=True)
                if os.path.exists(file_path):
                    os.remove(file_path)
            os.remove(os.path.join(work, f"bench{objects}.sqlite"))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("target: --dir within 3x of --file, first run and re-run")
    return 0


if __name__ == "__main__":
    sys.exit(main())
