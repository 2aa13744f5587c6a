"""The `rename` part of reliability.py: naming files from their tags, killed at random, cut short
by a file-size limit (a full disk) and kept from one file that cannot be renamed. After each trial
and the next start, every file must hold its bytes under its old name or its new one, never both
or neither; the catalogue must list every file where it is; and undo must give every old name
back.
"""

import os
import random
import re
import resource
import shutil
import signal
import subprocess
import time

import reliability as rel

PATTERN = "%album%/%artist% - %title%"


class RenameRun:
    def __init__(self, cli, work, shipped_base, seed, trials, files=3000):
        self.cli, self.trials = cli, trials
        self.rng = random.Random(seed)
        self.base = os.path.join(work, "rename-base")
        self.music = os.path.join(work, "rename-music")
        self.figures, self.issues = {}, []
        shutil.copytree(shipped_base, self.base)
        self.old = {}
        for i in range(files):
            path = os.path.join(self.music, "cd%d" % (i % 7), "track %04d.mp3" % i)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            # Every ninth file has no tag: it keeps its name.
            data = (rel.mpeg_frames(2, i) if i % 9 == 0 else
                    rel.tagged_mp3("Song %d" % i, "Artist %d" % (i % 13), "Album %d" % (i % 3), i))
            with open(path, "wb") as out:
                out.write(data)
            self.old[data] = path
        self.cli_run(["add", "Music", self.music])
        planned = self.cli_run(["rename-from-tags", self.music, "--pattern", PATTERN, "--dry-run"])
        self.new = dict(line.split("\t") for line in planned.stdout.decode().splitlines()[1:])
        if len(self.new) != files - (files + 8) // 9:
            raise rel.Failure("rename: the dry run plans %d renames" % len(self.new))

    def cli_run(self, args, **kwargs):
        result = rel.run_cli(self.cli, ["--base", self.base] + args, **kwargs)
        if result.returncode < 0 and result.returncode != -signal.SIGXFSZ:
            raise rel.Failure("rename: %s died of signal %d" % (args[0], -result.returncode))
        return result

    def count(self, key, n=1):
        self.figures[key] = self.figures.get(key, 0) + n

    def problem(self, text):
        self.issues.append("rename: " + text)

    def on_disk(self):
        found = {}
        for folder, _, names in os.walk(self.music):
            for name in names:
                path = os.path.join(folder, name)
                with open(path, "rb") as f:
                    found.setdefault(f.read(), []).append(path)
        return found

    def catalogued(self):
        paths = set()
        for entry, _, _ in rel.collection_files(self.base):
            with open(os.path.join(self.base, "system", entry), "rb") as f:
                for m in re.finditer(rb"<\?>(.*?)<\|>(.*?)<:>(.*?)</>", f.read()):
                    paths.add("%s/%s.%s" % (m.group(2).decode(), m.group(1).decode(),
                                            m.group(3).decode()))
        return paths

    def check(self, label, listed_there=True):
        """Each file once, under its old or its new name, and listed there; how many are new."""
        found, renamed = self.on_disk(), 0
        for data, old in self.old.items():
            where = found.get(data, [])
            if len(where) != 1 or where[0] not in (old, self.new.get(old, old)):
                self.problem("%s: %s is at %s" % (label, old, where or "no name"))
                continue
            renamed += where[0] != old
        listed = set(p for paths in found.values() for p in paths)
        if listed_there and self.catalogued() != listed:
            self.problem("%s: the catalogue lists %d files that are not where it says" %
                         (label, len(self.catalogued() ^ listed)))
        return renamed

    def back_to_old(self, label):
        if self.check(label) and self.cli_run(["tags", "undo"]).returncode != 0:
            self.problem(label + ": undo fails")
        if self.check(label + ", undone"):
            self.problem(label + ": undo leaves new names")
        if [d for d in os.listdir(self.music) if not d.startswith("cd")]:
            self.problem(label + ": undo leaves the folders it made")

    def run_all(self):
        # Uninterrupted: when the first new folder appears, and when the run ends.
        first = os.path.dirname(self.new[next(iter(self.new))])
        began, starts = time.monotonic(), None
        proc = subprocess.Popen([self.cli, "--base", self.base, "rename-from-tags", self.music,
                                 "--pattern", PATTERN], stdout=subprocess.DEVNULL,
                                stderr=subprocess.PIPE)
        while proc.poll() is None:
            if starts is None and os.path.exists(first):
                starts = time.monotonic() - began
            time.sleep(0.0002)
        took = time.monotonic() - began
        if proc.returncode != 0 or self.check("uninterrupted") != len(self.new):
            raise rel.Failure("rename: an uninterrupted run fails: " + proc.stderr.read().decode())
        starts = took / 2 if starts is None else starts
        self.figures["uninterrupted ms"] = round(took * 1000, 1)
        self.figures["renames begin at ms"] = round(starts * 1000, 1)
        self.back_to_old("uninterrupted")
        for index in range(self.trials):
            # Most kills fall while files are renamed, where the journal matters.
            self.kill_trial(index, self.rng.uniform(starts * 0.8, took * 1.05))
        for index in range(max(1, self.trials // 2)):
            self.fsize_trial(index)
        self.immutable_trial()

    def kill_trial(self, index, after):
        proc = subprocess.Popen([self.cli, "--base", self.base, "rename-from-tags", self.music,
                                 "--pattern", PATTERN], stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        time.sleep(after)
        proc.send_signal(signal.SIGKILL)
        proc.wait()
        at_kill = self.check("kill %d before the start" % index, False)
        self.cli_run(["collections"])  # the start takes back what the kill cut short
        after = self.check("kill %d" % index)
        self.count("kills: all new" if after == len(self.new) else
                   "kills: all old" if after == 0 else "kills: some new")
        self.count("kills caught mid-batch", 0 < at_kill < len(self.new))
        self.back_to_old("kill %d" % index)

    def fsize_trial(self, index):
        limit = self.rng.choice([64, 4096, 65536, 262144, 1 << 20])

        def limit_child():
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))

        result = self.cli_run(["rename-from-tags", self.music, "--pattern", PATTERN],
                              preexec_fn=limit_child)
        renamed = self.check("fsize %d, before the start" % index, False)
        self.cli_run(["collections"])
        after = self.check("fsize %d" % index)
        self.count("fsize: exit %d, %s" % (result.returncode, "all new" if after == len(self.new)
                                           else "all old" if after == 0 else "some new"))
        self.figures.setdefault("fsize messages", set()).add(
            re.sub(r"/tmp/\S+", "FOLDER", result.stderr.decode())[:200])
        if (result.returncode == 0) != (renamed == len(self.new)):
            self.problem("fsize %d: success reported with %d of %d renamed" %
                         (index, renamed, len(self.new)))
        self.back_to_old("fsize %d" % index)

    def immutable_trial(self):
        stuck = next(iter(self.new))
        if subprocess.run(["chattr", "+i", stuck], capture_output=True).returncode != 0:
            self.figures["immutable skipped"] = "chattr +i is refused here"
            return
        try:
            result = self.cli_run(["rename-from-tags", self.music, "--pattern", PATTERN])
            told = result.stderr.decode()
            if result.returncode != 3 or stuck not in told:
                self.problem("an immutable file is not named as failed: " + told[-300:])
            if self.check("immutable") != len(self.new) - 1:
                self.problem("an immutable file keeps the others from being renamed")
            self.count("immutable: others renamed, it named")
        finally:
            subprocess.run(["chattr", "-i", stuck], capture_output=True)
        self.back_to_old("immutable")

    def table(self):
        self.figures["fsize messages"] = sorted(self.figures.get("fsize messages", []))
        return "\n".join("rename %-40s %s" % (k, v) for k, v in sorted(self.figures.items()))

    def problems(self):
        return self.issues
