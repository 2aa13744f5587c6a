"""The `journal` part of reliability.py: the write journal where music lives. Files away, replaced
or copied when the next start comes; two names of one file; two writers at once; flipped bytes in
records; journals of another user; kills on ext4 through a loop device and on ntfs-3g; a 66 MiB
picture. No file may end neither old nor new, and no record may go while its file can come back.
"""

import contextlib
import os
import re
import shutil
import struct
import subprocess
import tempfile
import time

import reliability as rel

RESTORED = "Tunex - Files Restored: "
DONE = b"TXJDONE\n"
GROWS = "Someone Else - And A Rather Long Title Too.mp3"  # no padding: the audio moves
SHORT = "Al - Xy.mp3"
ALBUM = "Reliability Album With A Longer Name"
NEITHER = "files neither old nor new"
DROPPED = "backups dropped while their file could still come back"


def extents(path):
    """The physical blocks of a file, by filefrag."""
    out = subprocess.run(["filefrag", "-v", path], capture_output=True, text=True).stdout
    blocks = set()
    for line in out.splitlines():
        fields = line.replace(":", " ").replace("..", " ").split()
        if len(fields) >= 5 and fields[0].isdigit() and fields[3].isdigit() and fields[4].isdigit():
            blocks.update(range(int(fields[3]), int(fields[4]) + 1))
    return blocks


def groups(journal):
    return [os.path.join(folder, name) for folder, _, names in os.walk(journal)
            for name in names if name.startswith("group-")]


class Skip(Exception):
    pass


def read(path):
    with open(path, "rb") as f:
        return f.read()


def sh(*args):
    # A tool or mount that is missing or fails is this machine's limit, not the journal's fault.
    try:
        result = subprocess.run(args, capture_output=True, timeout=120)
    except FileNotFoundError:
        raise Skip("no " + args[0])
    if result.returncode:
        raise Skip("%s: %s" % (" ".join(args), result.stderr.decode(errors="replace").strip()))
    return result.stdout.decode().strip()


def holds(journal, path):
    return any(path.encode() in read(os.path.join(d, f)) for d, _, fs in os.walk(journal)
               for f in fs)


def newest_group(journal, cut=False):
    """The newest group file; with `cut`, without its done mark, as a kill before it leaves it."""
    group = max((os.path.join(d, f) for d, _, fs in os.walk(journal) for f in fs
                 if f.startswith("group-")),
                key=lambda p: [int(x.rsplit("-", 1)[1]) for x in p.split(os.sep)[-2:]])
    data = read(group)
    if cut and data.endswith(DONE):  # older journals end with the bare mark
        os.truncate(group, len(data) - (24 if data[-24:-16] == DONE else 8))
    return group


def flip_in_record(group, index):
    """Flips the middle byte of record `index`; returns that record and how many there are."""
    data = read(group)
    starts = [m.start() for m in re.finditer(b"TXJR", data)] + [len(data)]
    at = (starts[index] + starts[index + 1]) // 2
    with open(group, "r+b") as f:
        f.seek(at)
        f.write(bytes([data[at] ^ 0xFF]))
    return data[starts[index]:starts[index + 1]], len(starts) - 1


def id3_text(path):
    from mutagen.id3 import ID3
    try:
        tag = ID3(path)
    except Exception:
        return {}
    return {k: str(tag[k].text[0]) for k in ("TIT2", "TPE1", "TALB") if k in tag}


def grown_mp3(rng, frames, picture=0):
    tag = [rel.text_frame23("TIT2", "t"), rel.text_frame23("TALB", "Old album")]
    if picture:
        body = b"\x00image/jpeg\x00\x03\x00" + rng.randbytes(picture)
        tag.append(b"APIC" + struct.pack(">I", len(body)) + b"\x00\x00" + body)
    return rel.id3v23(tag) + rel.quick_audio(rng, frames) + rel.id3v1("t")


@contextlib.contextmanager
def mounted(work, kind):
    """An image mounted at a folder, ext4 or XFS (with shared blocks) through a loop device or
    NTFS through ntfs-3g; yields the folder and what mounts it there again from another loop
    device."""
    image, mnt, loops = os.path.join(work, kind + ".img"), os.path.join(work, kind), []
    os.makedirs(mnt)
    with open(image, "wb") as out:
        out.truncate({"ext4": 256, "xfs": 1024}.get(kind, 64) << 20)

    def attach():
        loops.append(sh("losetup", "-f", "--show", image))
        sh("mount", loops[-1], mnt)

    def remount():
        sh("umount", mnt)
        attach()  # while the old device is still taken, so another one
        sh("losetup", "-d", loops.pop(0))

    try:
        if kind == "ntfs":
            sh("mkntfs", "-Q", "-F", image)
            sh("ntfs-3g", image, mnt)
        else:
            sh(*(["mkfs.ext4", "-q", "-F"] if kind == "ext4" else
                 ["mkfs.xfs", "-q", "-f", "-m", "reflink=1"]), image)
            attach()
        yield mnt, remount
    finally:
        subprocess.run(["umount", mnt], capture_output=True)
        for loop in loops:
            subprocess.run(["losetup", "-d", loop], capture_output=True)
        os.unlink(image)


class Place:
    """One trial's base folder, music folder and XDG_STATE_HOME."""

    def __init__(self, run, name, music=None, trial=True, under=None):
        self.run, self.name = run, name
        self.root = tempfile.mkdtemp(prefix="journal-%s-" % name, dir=under or run.work)
        os.chmod(self.root, 0o755)
        self.base, self.state = os.path.join(self.root, "base"), os.path.join(self.root, "state")
        shutil.copytree(run.shipped_base, self.base)
        os.makedirs(self.state)
        self.music = music or os.path.join(self.root, "music")
        self.env = dict(os.environ, HOME=self.root + "/home", XDG_STATE_HOME=self.state)
        run.count(name, "trials" if trial else "reference runs")

    def put(self, rel_path, data):
        path = os.path.join(self.music, rel_path)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(data)
        return path

    def journal(self, state):
        return self.state + "/tunex/journal" if state else self.base + "/system/journal"

    def args(self, args, state=False):
        return [self.run.cli] + (args if state else ["--base", self.base] + args)

    def tunex(self, args, state=False, **kwargs):
        return subprocess.run(self.args(args, state), capture_output=True, timeout=rel.TIMEOUT,
                              env=self.env, **kwargs)

    def set(self, path, state=False, album=ALBUM):
        return subprocess.Popen(self.args(["tags", "set", path, "v2.album=" + album], state),
                                env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    def start(self, state=False, show=None):
        """The next start: any command that opens the journal."""
        result = self.tunex(["tags", "show", show] if state else ["collections"], state)
        self.run.expect(self.name, result.returncode >= 0, "a start dies of a signal")
        return result.stderr.decode(errors="replace")

    def waiting(self, state=False):
        result = self.tunex(["tags", "waiting"], state)
        self.run.expect(self.name, result.returncode == 0, "tags waiting fails", result.stderr)
        return dict(line.split("\t", 1) for line in result.stdout.decode().splitlines()
                    if "\t" in line and result.returncode == 0)


class JournalRun:
    def __init__(self, cli, work, shipped_base, seed, trials):
        self.cli, self.work, self.shipped_base, self.seed = cli, work, shipped_base, seed
        self.trials, self.figures, self.kinds, self.dropped = trials, {}, {}, set()
        os.chmod(work, 0o755)  # nobody writes in the owner trial

    def count(self, name, what, amount=1):
        row = self.figures.setdefault(name, {})
        row[what] = row.get(what, 0) + amount

    def expect(self, name, ok, kind, detail=""):
        """Problems are gathered by kind, with the first one's detail."""
        if not ok:
            detail = detail.decode(errors="replace") if isinstance(detail, bytes) else detail
            self.kinds.setdefault((name, kind), [0, detail[-300:]])[0] += 1
        return ok

    def problems(self):
        return ["journal %s: %s (%dx)%s" % (name, kind, n, ", first: " + d if d else "")
                for (name, kind), (n, d) in sorted(self.kinds.items())]

    def run_all(self):
        for name in ("away", "links", "writers", "damaged", "owner", "ext4", "xfs", "ntfs",
                     "picture"):
            self.figures.setdefault(name, {})
            try:
                getattr(self, name)(name, rel.trial_rng(self.seed, "journal", name, 0))
            except Skip as skip:
                print("journal %s skipped: %s" % (name, skip), flush=True)
                self.count(name, "skipped")
            except Exception as failure:  # the next trial still runs
                self.expect(name, False, "trial could not run", str(failure))

    def table(self):
        rows = ["| trial | trials | outcomes | %s | %s |" % (NEITHER, DROPPED), "|---" * 5 + "|"]
        for name, row in self.figures.items():
            rest = ", ".join("%s %d" % item for item in sorted(row.items())
                             if item[0] not in ("trials", NEITHER, DROPPED))
            rows.append("| %s | %d | %s | **%d** | **%d** |" % (
                name, row.get("trials", 0), rest or "-", row.get(NEITHER, 0), row.get(DROPPED, 0)))
        return "\n".join(rows)

    def settle(self, name, path, allowed, what, whole=()):
        """The file must end as one of `allowed`; one of `whole` is wrong, yet not damaged."""
        data = read(path)
        self.count(name, what if data in allowed else "not " + what if data in whole else NEITHER)
        return self.expect(name, data in allowed, NEITHER if data not in whole else
                           "a file not " + what, path)

    def still_kept(self, p, state, path):
        if holds(p.journal(state), path):
            self.count(p.name, "kept")
        elif (p.root, path) not in self.dropped:  # once a record
            self.dropped.add((p.root, path))
            self.count(p.name, DROPPED)
            self.expect(p.name, False, DROPPED, path)

    def kept(self, p, state, path, stderr, reasons=("unreachable",)):
        """After a start that could not put `path` back: it says so, and the record stays."""
        self.expect(p.name, RESTORED in stderr and path in stderr and
                    "will be put back when they are reachable again" in stderr,
                    "the start does not say the file will be put back later", stderr)
        self.still_kept(p, state, path)
        self.expect(p.name, p.waiting(state).get(path) in reasons,
                    "tags waiting does not list the kept record", path)

    def back(self, p, state, path, allowed):
        """The next start puts the file back and lists it no more; the one after does nothing."""
        p.start(state, path)
        if not self.settle(p.name, path, allowed, "put back"):
            self.still_kept(p, state, path)
        self.expect(p.name, path not in p.waiting(state), "tags waiting lists a file put back")
        now = read(path)
        self.expect(p.name, RESTORED not in p.start(state, path) and read(path) == now,
                    "a third start has something to do", path)

    def cut_short(self, p, path, state, rng):
        """tags set without its done mark and the file half moved, as a kill in the move leaves
        them. Returns the old and the half-written bytes."""
        old = read(path)
        if p.set(path, state).wait() or read(path) == old:
            raise rel.Failure("tags set fails on " + path)
        newest_group(p.journal(state), cut=True)
        at = rng.randrange(len(old) // 4, 3 * len(old) // 4)
        half = read(path)[:at] + old[at:]
        with open(path, "r+b") as f:
            f.write(half)
            f.truncate()
        return old, half

    def kill(self, proc, delay, watch=None):
        """Kills after `delay`, counted from the first write to `watch` when given."""
        stamp = watch and os.stat(watch).st_mtime_ns
        while watch and proc.poll() is None and os.stat(watch).st_mtime_ns == stamp:
            time.sleep(0.0002)
        time.sleep(delay)
        proc.kill()
        proc.communicate()

    def away(self, name, rng):
        p = Place(self, name)
        path = p.put("Album/" + GROWS, rel.tagwrite_bytes("tight", rng, 1))
        old, half = self.cut_short(p, path, False, rng)
        os.rename(p.music, p.music + ".away")
        self.kept(p, False, path, p.start())
        self.expect(name, read(os.path.join(p.music + ".away", "Album", GROWS)) == half,
                    "the start changes a file in a folder renamed away")
        os.rename(p.music + ".away", p.music)
        self.back(p, False, path, [old])

        # Another file at its path is left, and the record goes when the user says so.
        p = Place(self, name)
        path = p.put("Album/" + GROWS, rel.tagwrite_bytes("tight", rng, 2))
        self.cut_short(p, path, True, rng)
        os.rename(path, os.path.join(p.root, "aside.mp3"))
        other = read(p.put("Album/" + GROWS, b"another file by that name\n" * 400))
        self.kept(p, True, path, p.start(True, path), ("unreachable", "could not be written"))
        forget = p.tunex(["tags", "forget", path], True)
        self.expect(name, forget.returncode == 0 and path in forget.stdout.decode(errors="replace")
                    and path not in p.waiting(True), "tags forget does not drop the record",
                    forget.stderr)
        again = p.tunex(["tags", "forget", path], True)
        self.expect(name, again.returncode == 2 and again.stderr.strip(),
                    "tags forget with nothing kept: exit %d" % again.returncode)
        self.expect(name, RESTORED not in p.start(True, path) and read(path) == other,
                    "a start after tags forget changes something")

        # A copy of the half-written file, a new inode, holds only old and new bytes.
        p = Place(self, name)
        path = p.put("Album/" + GROWS, rel.tagwrite_bytes("tight", rng, 3))
        old, half = self.cut_short(p, path, False, rng)
        os.rename(p.put("copy", half), path)
        self.back(p, False, path, [old])

    def links(self, name, rng):
        old, same = rel.tagwrite_bytes("tight", rng, 4), rel.tagwrite_bytes("roomy", rng, 5)
        pair = ["Same/Duo Ensemble - Pair Of Names.mp3", "Same/Duo Ensemble -Pair Of Names.mp3"]
        ref = Place(self, name, trial=False)  # what each name writes alone
        alone = [ref.put("A/" + GROWS, old), ref.put("B/" + SHORT, old), ref.put(pair[0], same)]
        ref.tunex(["easytag", ref.music])
        for path, values in ((alone[0], [GROWS[15:-4], "Someone Else"]), (alone[1], ["Xy", "Al"])):
            if [id3_text(path).get(k) for k in ("TIT2", "TPE1")] != values or \
                    rel.audio_bytes(read(path)) != rel.audio_bytes(old):
                raise rel.Failure("easytag alone does not write its name into " + path)
        result = {GROWS: read(alone[0]), SHORT: read(alone[1])}
        p = Place(self, name)
        for folder, link in (("Linked", os.link), ("Symlinked", os.symlink)):
            first = p.put(folder + "/" + GROWS, old)
            link(first if link is os.link else GROWS, os.path.join(p.music, folder, SHORT))
        os.link(p.put(pair[0], same), os.path.join(p.music, pair[1]))
        run = p.tunex(["easytag", p.music])
        err = run.stderr.decode(errors="replace")
        self.expect(name, run.returncode == 3, "easytag exit %d, not 3" % run.returncode)
        for folder in ("Linked", "Symlinked"):
            names = {n: os.path.join(p.music, folder, n) for n in (GROWS, SHORT)}
            second = [n for n, other in ((GROWS, SHORT), (SHORT, GROWS))
                      if "%s (the same file as %s)" % (names[n], names[other]) in err]
            self.expect(name, len(second) == 1, "the second name is not named", folder)
            self.settle(name, names[GROWS], [result[n] for n in names if n not in second],
                        "written as its first name", result.values())
        self.expect(name, not any(os.path.join(p.music, n) in err for n in pair),
                    "two names asking the same change are not both written", err)
        self.settle(name, os.path.join(p.music, pair[0]), [read(alone[2])], "written")
        p.tunex(["tags", "undo"])
        for rel_path, data in (("Linked/" + GROWS, old), ("Symlinked/" + GROWS, old),
                               (pair[0], same)):
            self.settle(name, os.path.join(p.music, rel_path), [data], "undone",
                        list(result.values()) + [read(alone[2])])

    def writers(self, name, rng):
        old = grown_mp3(rng, 20000)  # 8 MB to move
        albums = ["Album Of The Base Folder", "A Far Longer Album Name, Through The State Journal"]
        ref = Place(self, name, trial=False)
        path, ends, took = ref.put("x.mp3", old), {(): old}, []
        for order in ((0,), (1,), (0, 1), (1, 0)):  # each alone, and each over the other
            ref.put("x.mp3", old)
            for w in order:
                took.append(time.monotonic())
                if ref.set(path, w == 1, albums[w]).wait():
                    raise rel.Failure("tags set fails on " + path)
                took[-1] = time.monotonic() - took[-1]
            ends[order] = read(path)
        for index in range(self.trials):
            p = Place(self, name)
            path, order, procs = p.put("Album/Artist - Grows.mp3", old), rng.sample([0, 1], 2), []
            for w in order:
                procs.append(p.set(path, w == 1, albums[w]))
                time.sleep(rng.uniform(0, sorted(took)[3] / 2))
            for proc in procs:
                err = proc.communicate(timeout=rel.TIMEOUT)[1]
                self.expect(name, proc.returncode == 0 or proc.returncode == 3 and err.strip(),
                            "a writer exits %d" % proc.returncode, err)
            done = tuple(w for w, proc in zip(order, procs) if proc.returncode == 0)
            tags = id3_text(path)
            self.expect(name, rel.audio_bytes(read(path)) == rel.audio_bytes(old) and
                        tags.get("TALB") in albums + ["Old album"], "audio or album wrong",
                        "%r after exits %r" % (tags, [proc.returncode for proc in procs]))
            p.start(False)
            p.start(True, path)
            # Exit 0: that writer's value was there right after it.
            self.settle(name, path, [ends[(0, 1)], ends[(1, 0)]] if len(done) == 2 else
                        [ends[done]], "%d of 2 written" % len(done), ends.values())
            shutil.rmtree(p.root)

    def damaged(self, name, rng):
        # In a finished group: the start leaves it, undo takes back every record that is whole.
        p = Place(self, name)
        paths = [p.put("Album/Artist %d - A Much Longer Song Title %d.mp3" % (i, i),
                       rel.tagwrite_bytes("tight", rng, 10 + i)) for i in range(4)]
        old = [read(x) for x in paths]
        p.tunex(["easytag", p.music])
        new = [read(x) for x in paths]
        record, records = flip_in_record(newest_group(p.journal(False)), 2)
        if records != 4 or old == new:
            raise rel.Failure("easytag wrote %d records for 4 files" % records)
        hit = next((x for x in paths if x.encode() in record), "")
        p.start()
        self.expect(name, [read(x) for x in paths] == new, "a start changes a finished group")
        undo = p.tunex(["tags", "undo"])
        self.expect(name, hit in undo.stderr.decode(errors="replace"),
                    "undo does not name the file of the damaged record")
        for x, o, n in zip(paths, old, new):
            self.settle(name, x, [n if x == hit else o], "left" if x == hit else "undone", [o, n])

        # An unfinished group's only record: the file stays as it is and so does the record.
        p = Place(self, name)
        path = p.put("Album/" + GROWS, rel.tagwrite_bytes("tight", rng, 20))
        p.set(path, True).wait()
        flip_in_record(newest_group(p.journal(True), cut=True), 0)
        new = read(path)
        self.expect(name, path in p.start(True, path), "the start does not name the file")
        self.still_kept(p, True, path)
        self.expect(name, p.waiting(True).get(path) == "damaged record",
                    "tags waiting does not list the damaged record")
        self.settle(name, path, [new], "left")

    def owner(self, name, rng):
        cases = ["open to its group", "of user nobody"][:2 if os.geteuid() == 0 else 1]
        if len(cases) == 1:
            print("journal owner: not root, so no journal of another user", flush=True)
        for case in cases:
            p = Place(self, name)
            path = p.put("Album/" + GROWS, rel.tagwrite_bytes("tight", rng, 30))
            other = p.put("Other/Artist - Other.mp3", rel.tagwrite_bytes("roomy", rng, 31))
            journal, nobody = p.journal(True), case == "of user nobody"
            if nobody:  # its own folder in a state folder it may not write
                os.makedirs(os.path.dirname(journal))
                for owned in (os.path.dirname(journal), path):
                    os.chown(owned, rel.NOBODY, rel.NOBODY)
            run = p.tunex(["tags", "set", path, "v2.album=" + ALBUM], True, preexec_fn=(
                lambda: (os.setgroups([]), os.setgid(rel.NOBODY), os.setuid(rel.NOBODY)))
                if nobody else None)
            if run.returncode:
                raise rel.Failure("tags set fails for a journal %s: %s" % (case, run.stderr))
            newest_group(journal, cut=True)
            if not nobody:
                os.chmod(journal, os.stat(journal).st_mode | 0o020)
            before = read(path)
            err = p.start(True, other)
            self.expect(name, journal in err and "not applied" in err,
                        "a journal %s: no word that it was not applied" % case, err)
            self.still_kept(p, True, path)
            self.expect(name, read(path) == before, "a journal %s is applied" % case)

    def ext4(self, name, rng):
        self.moves(name, rng, "ext4", grown_mp3(rng, 150000))  # 60 MB

    def xfs(self, name, rng):
        """The journal on the music's own XFS: the moved audio's old blocks are cloned into it."""
        if not shutil.which("mkfs.xfs"):
            raise Skip("no mkfs.xfs (xfsprogs)")
        self.moves(name, rng, "xfs", grown_mp3(rng, 50000))  # 20 MB

    def moves(self, name, rng, kind, old):
        """Kills while a grown tag moves a large file's audio, put back at the next start from
        the same or another loop device, or with the folder renamed away and back."""
        with mounted(self.work, kind) as (mnt, remount):
            music, under = os.path.join(mnt, "music"), mnt if kind == "xfs" else None
            p = Place(self, name, music, trial=False, under=under)
            path, began = p.put(GROWS, old), None
            os.sync()  # blocks are given out when the data is written, not before
            before = extents(path)
            proc, stamp = p.set(path), os.stat(path).st_mtime_ns
            # How long the move takes: from the first write to the file to its new size.
            while proc.poll() is None and os.stat(path).st_size <= len(old):
                if began is None and os.stat(path).st_mtime_ns != stamp:
                    began = time.monotonic()
                time.sleep(0.0002)
            move = time.monotonic() - (began or time.monotonic())
            if proc.wait() or id3_text(path).get("TALB") != ALBUM:
                raise rel.Failure("tags set on %s exits %d" % (kind, proc.returncode))
            new = read(path)
            self.figures[name]["move ms"] = round(move * 1000)
            if kind == "xfs":
                shared = before & set().union(*(extents(g) for g in groups(p.journal(False))))
                self.count(name, "old blocks kept as clones %", round(100 * len(shared) /
                                                                     max(1, len(before))))
                self.expect(name, len(shared) >= 0.9 * len(before),
                            "the journal copied the moved audio rather than cloning it")
            for index in range(max(1, self.trials // 4) * 2):
                shutil.rmtree(music)
                if under:
                    shutil.rmtree(p.root)
                p = Place(self, name, music, under=under)
                path = p.put(GROWS, old)
                self.kill(p.set(path), rng.uniform(0, move * 0.6), path)
                at_kill = read(path)
                half = at_kill not in (old, new)
                self.count(name, "caught half-written" if half else "killed with the file whole")
                if index % 2 == 0:
                    remount()
                else:
                    os.rename(music, music + ".away")
                    err = p.start()
                    self.expect(name, read(os.path.join(music + ".away", GROWS)) == at_kill,
                                "the start changes a file in a folder renamed away")
                    if half:
                        self.kept(p, False, path, err)
                    os.rename(music + ".away", music)
                self.back(p, False, path, [old] if half else [old, new])

    def ntfs(self, name, rng):
        tree = [("Album/" + rel.TAGWRITE_NAMES[kind] % (i, i), rel.tagwrite_bytes(kind, rng, i))
                for i, kind in enumerate(rel.TAGWRITE_KINDS * 2)]
        with mounted(self.work, "ntfs") as (mnt, _):
            music, took = os.path.join(mnt, "music"), None
            for index in range(self.trials + 1):
                shutil.rmtree(music, ignore_errors=True)
                p = Place(self, name, music, trial=took is not None)
                paths = [p.put(rel_path, data) for rel_path, data in tree]
                began, proc = time.monotonic(), subprocess.Popen(
                    p.args(["easytag", music]), env=p.env, stdout=subprocess.DEVNULL,
                    stderr=subprocess.DEVNULL)
                if took is None:  # uninterrupted: the new bytes, when writing starts and ends
                    stamps, writes = [os.stat(x).st_mtime_ns for x in paths], None
                    while proc.poll() is None:
                        if writes is None and any(os.stat(x).st_mtime_ns != t
                                                  for x, t in zip(paths, stamps)):
                            writes = time.monotonic() - began
                        time.sleep(0.0002)
                    if proc.returncode:
                        raise rel.Failure("easytag on ntfs-3g fails")
                    took, new = time.monotonic() - began, [read(x) for x in paths]
                    writes = took / 2 if writes is None else writes
                    continue
                # Most kills fall while the files are written, where the journal matters.
                self.kill(proc, rng.uniform(writes * 0.8, took))
                self.count(name, "files caught half-written", sum(
                    read(x) not in (data, n) for x, (_, data), n in zip(paths, tree, new)))
                p.start()
                ends = [self.settle(name, x, [data, n], "files old or new") and read(x) == n
                        for x, (_, data), n in zip(paths, tree, new)]
                self.count(name, "all new" if all(ends) else "some new" if any(ends) else "all old")

    def picture(self, name, rng):
        p = Place(self, name)
        path = p.put("Album/" + GROWS, grown_mp3(rng, 100, 66 << 20))
        old, proc = read(path), p.set(path)
        self.expect(name, proc.wait() == 0 and id3_text(path).get("TALB") == ALBUM,
                    "tags set fails", proc.stderr.read())
        new = read(path)
        p.tunex(["tags", "undo"])
        self.settle(name, path, [old], "undone", [new])
        shutil.rmtree(p.root)
