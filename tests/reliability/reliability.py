#!/usr/bin/python3
"""Crash-safety checks for tunex-cli.

  kill      commands killed with SIGKILL after a random delay
  fsize     the same commands under a random file-size limit (a full disk)
  readonly  the same commands on a base folder the process cannot write
  mp3       every tag operation over broken and unusual mp3 files
  formats   every tag operation, undo and Add with tag info over valid and damaged files of the
            other formats (FLAC, Ogg Vorbis, Opus, MP4, ASF, APE, WavPack, AIFF, WAV)
  tagwrite  tag writes on a tree of mp3 files, with one tagged file of each other format, killed
            with SIGKILL or cut short by a file-size limit: each file must end as it was or as
            fully written, in place; the cover batch must also be undone whole, and leave a file
            it may not write as it was (cover_trials.py)
  damaged   add, rename and friend-export on a base folder whose settings file was damaged at
            random: no crash or hang, the catalogue loads or says why not, and no collection
            file is replaced
  journal   the write journal where music lives: files away at the next start, two names of one
            file, two writers at once, damaged records, a journal of another user, and kills on
            a loop-mounted ext4 image and an ntfs-3g mount (journal_trials.py)

After every trial the catalogue must load and hold exactly the state before the command or the
state an uninterrupted run leaves, and a tag write must leave the audio bytes as they were.
Standard library only, plus python3-mutagen as the independent tag reader for the mp3 and formats
runs (the files of the other formats come from tests/support/audio_files.py).
"""

import argparse
import errno
import hashlib
import json
import os
import random
import re
import resource
import shutil
import signal
import stat
import struct
import subprocess
import sys
import tempfile
import time

import cover_trials
import format_files

# Only the atomic writer's mark: ".system.ifo.backup" is someone's own file.
TEMP_NAME = re.compile(r"^\..+\.tunex-tmp\.[A-Za-z0-9]{6}$")
SAVE_NAME = re.compile(r"^save(\d{4})\.ifo$")
SANITIZER_REPORT = re.compile(r"ERROR: AddressSanitizer|runtime error:|LeakSanitizer")
TIMEOUT = 60


class Failure(Exception):
    pass


def trial_rng(seed, kind, name, index):
    # One generator a trial, so that any trial can be run again alone with the same seed.
    return random.Random("%d:%s:%s:%d" % (seed, kind, name, index))


def run_cli(cli, args, timeout=TIMEOUT, **kwargs):
    return subprocess.run([cli] + args, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=timeout, **kwargs)


def listed_names(stdout):
    """The names column of `collections`, whose first line holds the captions."""
    return [line.rsplit("\t", 1)[0] for line in stdout.decode(errors="replace").splitlines()[1:]]


# ---------------------------------------------------------------- media and base folder

def syncsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def text_frame23(frame_id, text):
    body = b"\x00" + text.encode("latin-1")
    return frame_id.encode() + struct.pack(">I", len(body)) + b"\x00\x00" + body


def id3v23(frames, padding=0):
    body = b"".join(frames) + b"\x00" * padding
    return b"ID3\x03\x00\x00" + syncsafe(len(body)) + body


def id3v1(title="", artist="", album="", year="", comment="", track=0, genre=12):
    def field(text, size):
        return text.encode("latin-1")[:size].ljust(size, b"\x00")
    tail = field(comment, 28) + b"\x00" + bytes([track]) if track else field(comment, 30)
    return (b"TAG" + field(title, 30) + field(artist, 30) + field(album, 30) + field(year, 4) +
            tail + bytes([genre]))


def mpeg_frames(count, seed=0):
    # MPEG-1 layer III, 128 kbit/s, 44.1 kHz, no padding: 417 bytes a frame.
    rng = random.Random(seed)
    frame = []
    for _ in range(count):
        frame.append(b"\xff\xfb\x90\x64" + bytes(rng.randrange(256) for _ in range(413)))
    return b"".join(frame)


def tagged_mp3(title, artist, album, seed):
    tag = id3v23([text_frame23("TIT2", title), text_frame23("TPE1", artist),
                  text_frame23("TALB", album)], padding=64)
    return tag + mpeg_frames(2, seed) + id3v1(title, artist, album, "2001", "c", 3, 17)


def make_media_tree(folder, files, tagged_every, seed):
    rng = random.Random(seed)
    for i in range(files):
        sub = os.path.join(folder, "part%02d" % (i % 7), "deeper" if i % 3 == 0 else "")
        os.makedirs(sub, exist_ok=True)
        kind = "mp3" if i % 5 else rng.choice(["wma", "wmv", "mp3"])
        name = "Artist %03d - Song %03d.%s" % (i % 37, i, kind)
        path = os.path.join(sub, name)
        with open(path, "wb") as out:
            if kind == "mp3" and i % tagged_every == 0:
                out.write(tagged_mp3("Song %d" % i, "Artist %d" % (i % 37), "Album", seed + i))
            else:
                out.write(b"x" * rng.randrange(1, 300))
    # A few names other programs might trip on.
    with open(os.path.join(folder, "semi;colon \u00e9\u00e8.mp3"), "wb") as out:
        out.write(b"\x00")


def build_template(cli, shipped_base, work, history_rows):
    base = os.path.join(work, "template")
    shutil.copytree(shipped_base, base)
    media = os.path.join(work, "media")
    for number, files in ((1, 80), (2, 120), (3, 60)):
        make_media_tree(os.path.join(media, "cd%d" % number), files, 2, number * 1000)
    make_media_tree(os.path.join(media, "new"), 300, 2, 7000)
    os.makedirs(os.path.join(media, "single"))
    with open(os.path.join(media, "single", "only.mp3"), "wb") as out:
        out.write(tagged_mp3("Only", "One", "Single", 1))
    for number, name, id3 in ((1, "Disc One", False), (2, "Disc Two", True), (3, "Disc Three", False)):
        args = ["--base", base, "add", name, os.path.join(media, "cd%d" % number)]
        result = run_cli(cli, args + (["--id3"] if id3 else []))
        if result.returncode != 0:
            raise Failure("setting up: add failed: " + result.stderr.decode(errors="replace"))
    if history_rows:
        # A long search history makes the settings write a large part of a short Add.
        settings = os.path.join(base, "system", "system.ifo")
        with open(settings, "rb") as f:
            text = f.read()
        rows = b"".join(b"<ht>title %d@?@artist %d%%|%%3^*^7\n" % (i, i) for i in range(history_rows))
        with open(settings, "wb") as f:
            f.write(text.replace(b"@*EOF", rows + b"@*EOF"))
    return base, media


def fresh_copy(template, work, label):
    target = tempfile.mkdtemp(prefix=label + "-", dir=work)
    shutil.rmtree(target)
    shutil.copytree(template, target)
    return target


# ---------------------------------------------------------------- catalogue state

def collection_summary(data):
    name, records, ended = None, 0, False
    for line in data.split(b"\n"):
        if line.startswith(b"@*EOF"):
            ended = True
            break
        if line.startswith(b"**") and name is None:
            name = line[2:].rstrip(b"\r").decode(errors="replace")
        elif line.startswith(b"<?>"):
            records += 1
    return name, records, ended


def catalogue_state(cli, base, env=None):
    """What a start-up sees, checked against what the files hold; raises on any damage."""
    collections = run_cli(cli, ["--base", base, "collections"], env=env)
    settings = run_cli(cli, ["--base", base, "settings"], env=env)
    if collections.returncode != 0 or settings.returncode != 0:
        raise Failure("catalogue does not load: " +
                      (collections.stderr + settings.stderr).decode(errors="replace"))
    fields = dict(line.split("=", 1) for line in settings.stdout.decode().splitlines() if "=" in line)
    count = int(fields["collectionCount"])
    system = os.path.join(base, "system")
    with open(os.path.join(system, "system.ifo"), "rb") as f:
        settings_text = f.read()
    if not settings_text.rstrip(b"\r\n").endswith(b"@*EOF"):
        raise Failure("settings file has no end marker")
    hashes, orphans, temps = {}, [], []
    for folder in ("system", "friend"):
        path = os.path.join(base, folder)
        for entry in sorted(os.listdir(path)) if os.path.isdir(path) else []:
            full = os.path.join(path, entry)
            if TEMP_NAME.match(entry):
                temps.append(folder + "/" + entry)
                continue
            save = SAVE_NAME.match(entry)
            if save and int(save.group(1)) > count:
                orphans.append(folder + "/" + entry)
                continue
            if folder == "system" and entry == "tmp.ifo":
                continue  # Change's scratch copy
            if folder == "system" and entry == "volumes.ifo":
                continue  # written after its change: a kill between leaves a volume "unknown"
            with open(full, "rb") as f:
                data = f.read()
            if entry.endswith(".txf") and not data.endswith(b"@*EOF"):
                raise Failure("friend file without end marker: " + entry)
            hashes[folder + "/" + entry] = hashlib.sha256(data).hexdigest()
    summary = []
    for i in range(count):
        with open(os.path.join(system, "save%04d.ifo" % (i + 1)), "rb") as f:
            name, records, ended = collection_summary(f.read())
        if not ended:
            raise Failure("collection file %d has no end marker" % (i + 1))
        summary.append((name, records))
    listed = listed_names(collections.stdout)
    if listed != [name for name, _ in summary]:
        raise Failure("loaded names differ from the files: %r vs %r" % (listed, summary))
    state = {"totalSongs": fields["totalSongs"], "collectionCount": count,
             "collections": summary, "files": hashes}
    return state, orphans, temps


def describe(state):
    return "ts=%s tf=%d %s" % (state["totalSongs"], state["collectionCount"],
                               [c for c in state["collections"]])


# ---------------------------------------------------------------- commands under fault

COMMANDS = {
    "add": lambda media: ["add", "New Disc", os.path.join(media, "new"), "--id3"],
    "rename": lambda media: ["rename", "Disc Two", "Disc Two, renamed"],
    # The middle one: the last collection's file moves down into its place.
    "delete": lambda media: ["delete", "Disc Two"],
    "rescan": lambda media: ["rescan", "Disc Two", os.path.join(media, "cd3"), "--id3"],
    "friend-export": lambda media: ["friend-export", "Alice", "alice@example.com"],
    # Add of one file: most of its time goes into rewriting the long settings file.
    "settings": lambda media: ["add", "Single", os.path.join(media, "single")],
}


class Harness:
    def __init__(self, cli, work, template, media, rng, log):
        self.cli, self.work, self.template, self.media = cli, work, template, media
        self.rng, self.log = rng, log
        self.before, _, _ = catalogue_state(cli, template)
        self.after, self.duration = {}, {}
        self.figures = {}
        for name, args in COMMANDS.items():
            times = []
            for _ in range(3):
                base = fresh_copy(template, work, "ref")
                start = time.monotonic()
                result = run_cli(cli, ["--base", base] + args(media))
                times.append(time.monotonic() - start)
                if result.returncode != 0:
                    raise Failure("reference %s failed: %s" % (name, result.stderr.decode()))
                state, orphans, temps = catalogue_state(cli, base)
                if orphans or temps or state == self.before:
                    raise Failure("reference %s left %r %r" % (name, orphans, temps))
                self.after[name] = state
                shutil.rmtree(base)
            self.duration[name] = sorted(times)[1]

    def count(self, key, amount=1):
        self.figures[key] = self.figures.get(key, 0) + amount

    def judge(self, kind, name, base, result_code):
        """The trial's catalogue must be the state before or the state after, nothing else."""
        try:
            state, orphans, temps = catalogue_state(self.cli, base)
        except Failure as failure:
            self.count("%s lost" % kind)
            raise Failure("%s %s: %s" % (kind, name, failure))
        self.count("%s trials" % kind)
        self.count("%s temp files left" % kind, len(temps))
        self.count("%s orphan collection files" % kind, len(orphans))
        if state == self.before:
            self.count("%s old content" % kind)
            if result_code == 0:
                raise Failure("%s %s: reported success but nothing changed" % (kind, name))
        elif state == self.after[name]:
            self.count("%s new content" % kind)
        else:
            self.count("%s lost" % kind)
            raise Failure("%s %s: mixed state %s" % (kind, name, describe(state)))
        if orphans or (state == self.before and name in ("add", "settings")):
            self.next_add_keeps(base, state)

    def next_add_keeps(self, base, state):
        """A later Add after an interrupted one must work and keep every listed collection."""
        result = run_cli(self.cli, ["--base", base, "add", "Later Disc",
                                    os.path.join(self.media, "cd3")])
        if result.returncode != 0:
            raise Failure("Add after an interrupted Add failed: " + result.stderr.decode())
        later, orphans, _ = catalogue_state(self.cli, base)
        if later["collections"][:-1] != state["collections"] or \
                later["collections"][-1] != ("Later Disc", self.before["collections"][2][1]) or \
                orphans:
            raise Failure("Add after an interrupted Add: %s" % describe(later))
        self.count("next add after interruption")

    def kill_trial(self, name):
        base = fresh_copy(self.template, self.work, "kill")
        delay = self.rng.uniform(0, self.duration[name])
        process = subprocess.Popen([self.cli, "--base", base] + COMMANDS[name](self.media),
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(delay)
        process.send_signal(signal.SIGKILL)
        code = process.wait()
        self.count("kill killed" if code == -signal.SIGKILL else "kill finished first")
        self.judge("kill", name, base, code)
        shutil.rmtree(base)

    def fsize_trial(self, name):
        base = fresh_copy(self.template, self.work, "fsize")
        largest = max(os.path.getsize(os.path.join(base, "system", f))
                      for f in os.listdir(os.path.join(base, "system")))
        # Spread over every order of magnitude, so the small files get cut short too.
        limit = int(2 ** self.rng.uniform(0, (2 * largest + 2).bit_length())) - 1
        signalled = self.rng.random() < 0.3

        def limit_child():
            if not signalled:
                signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))

        result = run_cli(self.cli, ["--base", base] + COMMANDS[name](self.media),
                         preexec_fn=limit_child)
        if result.returncode < 0 and result.returncode != -signal.SIGXFSZ:
            raise Failure("fsize %s: died of signal %d" % (name, -result.returncode))
        if SANITIZER_REPORT.search(result.stderr.decode(errors="replace")):
            raise Failure("fsize %s: %s" % (name, result.stderr.decode(errors="replace")))
        if result.returncode > 0 and not signalled and "Error" not in result.stderr.decode():
            raise Failure("fsize %s: failed without a message" % name)
        self.judge("fsize", name, base, result.returncode)
        shutil.rmtree(base)

    def readonly_trials(self):
        """Permission bits bind only a process without root's override, so the command runs as
        nobody when we are root."""
        if os.geteuid() == 0:
            try:
                import pwd
                nobody = pwd.getpwnam("nobody")
            except KeyError:
                self.figures["readonly skipped"] = "no user nobody"
                return
            drop = (nobody.pw_uid, nobody.pw_gid)
        else:
            drop = None

        def as_nobody():
            if drop:
                os.setgroups([])
                os.setgid(drop[1])
                os.setuid(drop[0])

        if drop and run_cli(self.cli, ["--help"], preexec_fn=as_nobody).returncode != 0:
            self.figures["readonly skipped"] = "nobody cannot run " + self.cli
            return
        variants = {
            "whole base": lambda base: [base, os.path.join(base, "system"),
                                        os.path.join(base, "friend")] + [
                os.path.join(base, "system", f) for f in os.listdir(os.path.join(base, "system"))],
            "system folder": lambda base: [os.path.join(base, "system")],
            "friend folder": lambda base: [os.path.join(base, "friend")],
        }
        for variant, read_only in variants.items():
            for name in COMMANDS:
                base = fresh_copy(self.template, self.work, "ro")
                os.chmod(os.path.dirname(base), 0o755)
                for root, dirs, files in os.walk(base):
                    for entry in dirs:
                        os.chmod(os.path.join(root, entry), 0o777)
                    for entry in files:
                        os.chmod(os.path.join(root, entry), 0o666)
                os.chmod(base, 0o777)
                for path in read_only(base):
                    os.chmod(path, 0o555 if os.path.isdir(path) else 0o444)
                try:
                    result = run_cli(self.cli, ["--base", base] + COMMANDS[name](self.media),
                                     preexec_fn=as_nobody, timeout=30)
                except subprocess.TimeoutExpired:
                    raise Failure("read-only %s, %s: hangs" % (variant, name))
                stderr = result.stderr.decode(errors="replace")
                if result.returncode < 0 or SANITIZER_REPORT.search(stderr):
                    raise Failure("read-only %s, %s: crashed: %s" % (variant, name, stderr))
                self.judge("readonly", name, base, result.returncode)
                if result.returncode != 0 and "Error" not in stderr:
                    raise Failure("read-only %s, %s: failed silently" % (variant, name))
                self.count("readonly refused" if result.returncode else "readonly written")
                shutil.rmtree(base)


def ensure_media_readable(work):
    # nobody must reach the media tree and the base folders below the work folder.
    os.chmod(work, 0o755)
    for root, dirs, files in os.walk(os.path.join(work, "media")):
        os.chmod(root, 0o755)


# ---------------------------------------------------------------- malformed mp3 files

def id3v22(frames):
    body = b"".join(fid.encode() + struct.pack(">I", len(data))[1:] + data for fid, data in frames)
    return b"ID3\x02\x00\x00" + syncsafe(len(body)) + body


def id3v24(frames, flags=0, footer=False):
    body = b"".join(fid.encode() + syncsafe(len(data)) + b"\x00\x00" + data for fid, data in frames)
    header_flags = flags | (0x10 if footer else 0)
    tag = b"ID3\x04\x00" + bytes([header_flags]) + syncsafe(len(body)) + body
    if footer:
        tag += b"3DI\x04\x00" + bytes([header_flags]) + syncsafe(len(body))
    return tag


def ape_tag(items):
    body = b"".join(struct.pack("<II", len(v), 0) + k + b"\x00" + v for k, v in items)
    size = len(body) + 32
    header = b"APETAGEX" + struct.pack("<IIII", 2000, size, len(items), 0xA0000000) + b"\x00" * 8
    footer = b"APETAGEX" + struct.pack("<IIII", 2000, size, len(items), 0x80000000) + b"\x00" * 8
    return header + body + footer


def lyrics3v2(text):
    body = b"LYRICSBEGIN" + b"LYR" + b"%05d" % len(text) + text
    return body + b"%06d" % len(body) + b"LYRICS200"


def unsynchronise(data):
    out = bytearray()
    for i, byte in enumerate(data):
        out.append(byte)
        if byte == 0xFF and (i + 1 == len(data) or data[i + 1] & 0xE0 == 0xE0 or data[i + 1] == 0):
            out.append(0)
    return bytes(out)


def make_corpus(folder, seed):
    rng = random.Random(seed)
    audio = mpeg_frames(6, seed)
    v23 = id3v23([text_frame23("TIT2", "Title"), text_frame23("TPE1", "Artist"),
                  text_frame23("TALB", "Album"), text_frame23("TRCK", "4/12"),
                  text_frame23("TCON", "(17)Rock"),
                  b"COMM" + struct.pack(">I", 9) + b"\x00\x00\x00eng\x00note",
                  b"PRIV" + struct.pack(">I", 5) + b"\x00\x00own\x00x",
                  b"APIC" + struct.pack(">I", 20) + b"\x00\x00\x00image/png\x00\x03\x00\x89PNG\r\n"],
                 padding=100)
    v1 = id3v1("V1 title", "V1 artist", "V1 album", "1999", "v1 comment", 7, 13)
    utf16 = b"\x01\xff\xfe" + "Tïtle ☃".encode("utf-16-le") + b"\x00\x00"
    files = {
        "plain.mp3": v23 + audio + v1,
        "v1-only.mp3": audio + v1,
        "no-tags.mp3": audio,
        # As old iTunes writes it: frames TagLib alone has no v2.3 name for (TDA, RVA).
        "v22.mp3": id3v22([("TT2", b"\x00Old title"), ("TP1", b"\x00Old artist"),
                           ("COM", b"\x00eng\x00c"), ("TYE", b"\x002004"), ("TDA", b"\x001503"),
                           ("RVA", b"\x03\x10\x01\x02\x03\x04"), ("TCP", b"\x001"),
                           ("PIC", b"\x00PNG\x03\x00\x89PNG\r\n")]) + audio,
        "v24.mp3": id3v24([("TIT2", b"\x03Titel \xc3\xa4"), ("TPE1", b"\x03A\x00B"),
                           ("TXXX", b"\x03key\x00value"), ("TDRC", b"\x032004")]) + audio + v1,
        "v24-footer.mp3": id3v24([("TIT2", b"\x03Footer")], footer=True) + audio,
        "v24-unsync.mp3": id3v24([("TIT2", unsynchronise(b"\x03\xff\xe0sync"))], flags=0x80) + audio,
        "v23-unsync.mp3": b"ID3\x03\x00\x80" + syncsafe(len(unsynchronise(v23[10:]))) +
                          unsynchronise(v23[10:]) + audio,
        "v23-utf16.mp3": id3v23([b"TIT2" + struct.pack(">I", len(utf16)) + b"\x00\x00" + utf16]) + audio,
        "v23-exthdr.mp3": b"ID3\x03\x00\x40" + syncsafe(10 + len(v23) - 10) +
                          b"\x00\x00\x00\x06\x00\x00\x00\x00\x00\x00" + v23[10:] + audio,
        "ape.mp3": v23 + audio + ape_tag([(b"Title", b"ape title"), (b"Artist", b"ape")]) + v1,
        "ape-no-v1.mp3": audio + ape_tag([(b"Title", b"ape title")]),
        "lyrics3.mp3": v23 + audio + lyrics3v2(b"[00:01]la la") + v1,
        "lyrics3-ape.mp3": audio + ape_tag([(b"Title", b"t")]) + lyrics3v2(b"words") + v1,
        "junk-before-tag.mp3": b"RIFFjunk\x00\x00" + v23 + audio,
        "two-v2-tags.mp3": v23 + id3v24([("TIT2", b"\x03second")]) + audio,
        "tag-at-end.mp3": audio + v23 + v1,
        "empty.mp3": b"",
        "id3-only.mp3": b"ID3",
        "header-only.mp3": v23[:10],
        "v1-short.mp3": b"TAG" + b"x" * 60,
        "garbage.mp3": bytes(rng.randrange(256) for _ in range(4000)),
        "zeros.mp3": b"\x00" * 5000,
        "sync-storm.mp3": b"\xff\xfb" * 3000,
        "size-huge.mp3": b"ID3\x03\x00\x00\x7f\x7f\x7f\x7f" + v23[10:] + audio,
        "size-not-syncsafe.mp3": b"ID3\x03\x00\x00\xff\xff\xff\xff" + v23[10:] + audio,
        "size-zero.mp3": b"ID3\x03\x00\x00\x00\x00\x00\x00" + v23[10:] + audio,
        "size-short.mp3": b"ID3\x03\x00\x00" + syncsafe(20) + v23[10:] + audio,
        "frame-huge.mp3": id3v23([b"TIT2\x7f\xff\xff\xff\x00\x00\x00abc", text_frame23("TPE1", "x")]) + audio,
        "frame-negative.mp3": id3v23([b"TIT2\xff\xff\xff\xf0\x00\x00\x00abc"]) + audio,
        "frame-zero.mp3": id3v23([b"TIT2\x00\x00\x00\x00\x00\x00", text_frame23("TPE1", "y")]) + audio,
        "frame-bad-id.mp3": id3v23([b"\x00\x01\x02\x03" + struct.pack(">I", 4) + b"\x00\x00abcd",
                                    text_frame23("TIT2", "after bad id")]) + audio,
        "frame-compressed.mp3": id3v23([b"TIT2" + struct.pack(">I", 9) + b"\x00\x80" +
                                        b"\x00\x00\x01\x00\x78\x9c\x03\x00\x00"]) + audio,
        "frame-encrypted.mp3": id3v23([b"TIT2" + struct.pack(">I", 5) + b"\x00\x40\x01abcd"]) + audio,
        "bad-encoding.mp3": id3v23([b"TIT2" + struct.pack(">I", 4) + b"\x00\x00\x09abc"]) + audio,
        "odd-utf16.mp3": id3v23([b"TIT2" + struct.pack(">I", 6) + b"\x00\x00\x01\xff\xfeA\x00B"]) + audio,
        "bom-only.mp3": id3v23([b"TIT2" + struct.pack(">I", 3) + b"\x00\x00\x01\xfe\xff"]) + audio,
        "genre-bad.mp3": id3v23([text_frame23("TCON", "(999)(abc)((")]) + audio + id3v1(genre=250),
        "track-text.mp3": id3v23([text_frame23("TRCK", "x/y/z"), text_frame23("TYER", "-1")]) + audio,
        "long-title.mp3": id3v23([text_frame23("TIT2", "L" * 70000)]) + audio,
        "version-5.mp3": b"ID3\x05\x00\x00" + v23[6:] + audio,
        "version-ff.mp3": b"ID3\xff\xff\x00" + v23[6:] + audio,
        "ape-bad-size.mp3": audio + b"APETAGEX" + struct.pack("<IIII", 2000, 0x7FFFFFFF, 3, 0) + b"\x00" * 8,
        "lyrics3-bad-size.mp3": audio + b"999999LYRICS200" + v1,
        "lyrics3-v1.mp3": audio + b"LYRICSBEGINold lyricsLYRICSEND" + v1,
        "truncated-in-frame.mp3": (v23 + audio)[: len(v23) - 40],
        "truncated-in-header.mp3": v23[:7],
        "truncated-audio.mp3": (v23 + audio)[: len(v23) + 200],
    }
    for cut in (11, 15, 21, 60):
        files["truncated-%d.mp3" % cut] = v23[:cut]
    for number in range(12):
        data = bytearray(v23 + audio + v1)
        for _ in range(rng.randrange(1, 12)):
            data[rng.randrange(len(v23))] = rng.randrange(256)
        files["flipped-%02d.mp3" % number] = bytes(data)
    os.makedirs(folder, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(data)
    return sorted(files)


BITRATES = {
    (3, 3): [0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448],
    (3, 2): [0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384],
    (3, 1): [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320],
    (2, 3): [0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256],
    (2, 2): [0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160],
}
SAMPLE_RATES = {3: [44100, 48000, 32000], 2: [22050, 24000, 16000], 0: [11025, 12000, 8000]}


def mpeg_frame_length(data, pos):
    if pos + 4 > len(data) or data[pos] != 0xFF or data[pos + 1] & 0xE0 != 0xE0:
        return 0
    version, layer = (data[pos + 1] >> 3) & 3, (data[pos + 1] >> 1) & 3
    bitrate, rate, padding = data[pos + 2] >> 4, (data[pos + 2] >> 2) & 3, (data[pos + 2] >> 1) & 1
    if version == 1 or layer == 0 or bitrate in (0, 15) or rate == 3:
        return 0
    kbps = BITRATES[(3 if version == 3 else 2, layer if version == 3 or layer == 3 else 2)][bitrate]
    hz = SAMPLE_RATES[version][rate]
    if layer == 3:
        return (12 * kbps * 1000 // hz + padding) * 4
    return (144 if layer == 2 or version == 3 else 72) * kbps * 1000 // hz + padding


def mpeg_frame_at(data, pos):
    """A frame header whose successor sits where its length says, as TagLib insists."""
    length = mpeg_frame_length(data, pos)
    if not length:
        return False
    nxt = pos + length
    if nxt + 4 > len(data):
        return True
    return data[nxt] == 0xFF and data[nxt + 1] & 0xFE == data[pos + 1] & 0xFE and \
        data[nxt + 2] & 0x0C == data[pos + 2] & 0x0C


def v2_length(data, pos):
    size = data[pos + 6:pos + 10]
    if len(size) < 4 or any(b & 0x80 for b in size):
        return 10  # TagLib reads a size with a high bit set as an empty tag
    length = 10 + (size[0] << 21 | size[1] << 14 | size[2] << 7 | size[3])
    return length + (10 if data[pos + 3] == 4 and data[pos + 5] & 0x10 else 0)


def leading_v2_span(data):
    """Where TagLib takes the ID3v2 tag: an "ID3" before the first MPEG frame, together with
    any tags directly behind it (TagLib counts those as part of the first)."""
    for pos in range(0, max(0, len(data) - 2)):
        if data[pos:pos + 3] == b"ID3":
            end = pos + v2_length(data, pos)
            while end < len(data) and data[end:end + 3] == b"ID3":
                end += v2_length(data, end)
            return pos, end
        if mpeg_frame_at(data, pos):
            return None
    return None


def trailing_tags_start(data, end):
    while True:
        if end >= 128 and data[end - 128:end - 125] == b"TAG":
            end -= 128
            continue
        if end >= 32 and data[end - 32:end - 24] == b"APETAGEX":
            size, flags = struct.unpack("<I", data[end - 20:end - 16])[0], \
                struct.unpack("<I", data[end - 12:end - 8])[0]
            total = size + (32 if flags & 0x80000000 else 0)
            if total <= end:
                end -= total
                continue
        if end >= 15 and data[end - 9:end] == b"LYRICS200" and data[end - 15:end - 9].isdigit():
            total = int(data[end - 15:end - 9]) + 15
            if total <= end and data[end - total:end - total + 11] == b"LYRICSBEGIN":
                end -= total
                continue
        if end >= 9 and data[end - 9:end] == b"LYRICSEND":
            begin = data.rfind(b"LYRICSBEGIN", max(0, end - 5100), end)
            if begin >= 0:
                end = begin
                continue
        return end


def audio_bytes(data):
    span = leading_v2_span(data)
    start, stop = span if span else (0, 0)
    if span and stop > len(data):
        return data  # a size past the end: nothing is certain, compare the whole file
    head = data[:start] + data[stop:]
    return head[:trailing_tags_start(head, len(head))]


def mutagen_frames(path):
    from mutagen.id3 import ID3, ID3NoHeaderError
    with open(path, "rb") as f:
        data = f.read()
    span = leading_v2_span(data)
    copy = None
    if span and span[0] > 0:
        # mutagen looks only at the start; TagLib keeps a tag behind junk where it was.
        handle, copy = tempfile.mkstemp(suffix=".mp3")
        with os.fdopen(handle, "wb") as out:
            out.write(data[span[0]:])
    try:
        tag = ID3(copy or path, load_v1=False)
    except ID3NoHeaderError:
        return {}
    except Exception:
        return None
    finally:
        if copy:
            os.unlink(copy)
    return {key: repr(frame) for key, frame in tag.items()}


def v1_fields(data):
    if len(data) < 128 or data[-128:-125] != b"TAG":
        return None
    tag = data[-128:]
    return tag[3:33].rstrip(b"\x00 "), tag[33:63].rstrip(b"\x00 ")


class Mp3Run:
    def __init__(self, cli, work, base, log):
        self.cli, self.work, self.base, self.log = cli, work, base, log
        self.figures = {"files": 0, "operations": 0, "writes": 0, "writes refused": 0,
                        "writes verified by mutagen": 0, "crashes": 0}
        self.problems = []

    def invoke(self, args, label):
        # Tag writes without a base folder keep their journal under XDG_STATE_HOME: not the
        # home of whoever runs the checks.
        env = dict(os.environ, ASAN_OPTIONS="detect_leaks=0:abort_on_error=0",
                   UBSAN_OPTIONS="print_stacktrace=1",
                   XDG_STATE_HOME=os.path.join(self.work, "state"))
        try:
            result = run_cli(self.cli, args, timeout=60, env=env)
        except subprocess.TimeoutExpired:
            self.problems.append(label + ": hangs")
            self.figures["crashes"] += 1
            return None
        self.figures["operations"] += 1
        stderr = result.stderr.decode(errors="replace")
        if result.returncode < 0 or result.returncode > 3 or SANITIZER_REPORT.search(stderr):
            self.figures["crashes"] += 1
            self.problems.append("%s: exit %d\n%s" % (label, result.returncode, stderr[-3000:]))
            return None
        return result

    def copy_of(self, source, name=None):
        folder = tempfile.mkdtemp(prefix="mp3-", dir=self.work)
        target = os.path.join(folder, name or os.path.basename(source))
        shutil.copyfile(source, target)
        return folder, target

    def check_write(self, label, before, path, result, expect):
        with open(path, "rb") as f:
            after = f.read()
        self.figures["writes"] += 1
        if result.returncode != 0:
            self.figures["writes refused"] += 1
            if after != before:
                self.problems.append(label + ": refused, yet the file changed")
            return
        # A second tag behind the first is audio to TagLib; once the first is gone it leads.
        if audio_bytes(before) not in (audio_bytes(after),
                                       after[:trailing_tags_start(after, len(after))]):
            self.problems.append(label + ": audio bytes changed")
            return
        frames = mutagen_frames(path)
        if frames is None:
            self.problems.append(label + ": mutagen cannot parse the written tag")
            return
        message = expect(after, frames)
        if message:
            self.problems.append(label + ": " + message)
        else:
            self.figures["writes verified by mutagen"] += 1

    def run_file(self, source):
        label = os.path.basename(source)
        self.figures["files"] += 1
        with open(source, "rb") as f:
            original = f.read()
        frames_before = mutagen_frames(source)
        folder, path = self.copy_of(source)
        for op in ("catalogue", "summary", "show"):
            self.invoke(["tags", op, path], "%s tags %s" % (label, op))
        with open(path, "rb") as f:
            if f.read() != original:
                self.problems.append(label + ": a read changed the file")
        shutil.rmtree(folder)

        def expect_set(after, frames):
            if frames.get("TIT2", "").find("'Reliability \u00e9\u00e8'") < 0:
                return "v2 title not written: %r" % frames.get("TIT2")
            if v1_fields(after) is None or v1_fields(after)[0] != b"Short":
                return "v1 title not written"
            if frames_before:
                kept = {k for k in frames_before if not k.startswith(("TIT2", "TPE1"))}
                lost = sorted(k for k in kept if k not in frames)
                if lost:
                    return "frames lost: %s" % lost
            return None

        folder, path = self.copy_of(source)
        result = self.invoke(["tags", "set", path, "v2.title=Reliability \u00e9\u00e8",
                              "v2.artist=Somebody", "v1.title=Short", "v1.genre=17"],
                             label + " tags set")
        if result:
            self.check_write(label + " tags set", original, path, result, expect_set)
        shutil.rmtree(folder)

        def expect_cleared(after, frames):
            fields = v1_fields(after)
            if frames:
                return "ID3v2 frames remain: %s" % sorted(frames)
            if fields and fields != (b"", b""):
                return "ID3v1 text remains"
            return None

        for command in (["tags", "clear"], ["--base", self.base, "clear-all"]):
            folder, path = self.copy_of(source)
            target = path if command[0] == "tags" else folder
            result = self.invoke(command + [target], "%s %s" % (label, command[-1]))
            if result:
                self.check_write("%s %s" % (label, command[-1]), original, path, result,
                                 expect_cleared)
            shutil.rmtree(folder)

        def expect_easytag(after, frames):
            if "'Some Title'" not in frames.get("TIT2", "") or \
                    "'Some Artist'" not in frames.get("TPE1", ""):
                return "easytag fields missing: %r" % {k: frames.get(k) for k in ("TIT2", "TPE1")}
            return None

        folder, path = self.copy_of(source, "Some Artist-Some Title.mp3")
        result = self.invoke(["--base", self.base, "easytag", folder], label + " easytag")
        if result:
            self.check_write(label + " easytag", original, path, result, expect_easytag)
        shutil.rmtree(folder)


# ---------------------------------------------------------------- files of the other formats

FORMAT_TITLE, FORMAT_ARTIST = "Reliability \u00e9\u00e8", "Somebody"
# Longer than any tag's room, so that every other file's tag grows and the audio moves.
FORMAT_LONG_ALBUM = "A longer album name than the old tag has room for, " * 60
FORMAT_NAME = "Some Artist-Some Title"
RECORD = re.compile(r"^<\?>(.*)<\|>(.*)<:>(.*)</>(.*)<\\>")


class FormatsRun:
    """Every tag operation over valid and damaged files of each format besides mp3: no crash,
    reads change nothing, a refused write leaves the file as it was, an accepted one reads back
    through mutagen with the new values, the audio and every other field as before, and undo
    gives back the exact bytes; Add with tag info takes every file."""

    def __init__(self, cli, work, shipped_base, seed, keep, damaged_per_format, sample, only):
        self.cli, self.work, self.seed, self.keep = cli, work, seed, keep
        self.shipped_base = shipped_base
        self.state = os.path.join(work, "formats-state")
        self.base = os.path.join(work, "formats-base")
        shutil.copytree(shipped_base, self.base)
        self.env = dict(os.environ, ASAN_OPTIONS="detect_leaks=0:abort_on_error=0",
                        UBSAN_OPTIONS="print_stacktrace=1", XDG_STATE_HOME=self.state)
        self.figures = {key: 0 for key in (
            "files", "files mutagen cannot read", "operations", "crashes", "writes",
            "writes refused", "writes accepted, nothing to change", "writes changing the file",
            "written, verified by mutagen", "written, mutagen cannot read the file before",
            "written, a field with a malformed key dropped", "undone to the exact bytes",
            "catalogue adds", "records catalogued")}
        self.problem_kinds = {}
        self.files = self.make_files(damaged_per_format, sample, only)
        self.prefix = self.group_prefix()

    def make_files(self, damaged_per_format, sample, only):
        """(label, format, bytes, catalogue text or None) of each file the run takes."""
        valid, files = {}, []
        for fmt in format_files.FORMATS:
            text = ("Title %s" % fmt, "Artist %s" % fmt, "Album %s" % fmt)
            valid[fmt] = format_files.make_bytes(fmt, format_files.source_tags(fmt, *text))
            shown = list(text)
            if format_files.family_of(fmt) == "vorbis":
                shown[1] += "; Second Artist"
            files.append(("%s tagged" % fmt, fmt, valid[fmt], ";".join(shown) + ";"))
            files.append(("%s untagged" % fmt, fmt, format_files.make_bytes(fmt), ""))
        # An ID3v2 tag in front, as some taggers leave it; TagLib reads no WavPack stream behind
        # one, so that file is left alone and catalogued without tag text.
        leading = id3v23([text_frame23("TIT2", "Leading ID3 title")])
        for fmt in ("flac", "ape", "wv"):
            tagged = next(f[3] for f in files if f[0] == "%s tagged" % fmt)
            files.append(("%s behind an ID3v2 tag" % fmt, fmt, leading + valid[fmt],
                          None if fmt == "wv" else tagged))
        others = dict(("a .%s file" % format_files.FORMATS[fmt][0], data)
                      for fmt, data in valid.items())
        others["an mp3"] = tagged_mp3("Mp3 title", "Mp3 artist", "Mp3 album", 5)
        for fmt in format_files.FORMATS:
            mine = "a .%s file" % format_files.FORMATS[fmt][0]
            for index in range(damaged_per_format):
                rng = trial_rng(self.seed, "formats", fmt, index)
                source = valid[fmt] if rng.random() < 0.8 else \
                    next(f[2] for f in files if f[0] == "%s untagged" % fmt)
                data, what = format_files.damage(
                    source, fmt, rng, {k: v for k, v in others.items() if k != mine})
                files.append(("%s #%d (seed %d: %s)" % (fmt, index, self.seed, what), fmt,
                              data, None))
        if only:
            files = [f for f in files if f[0].startswith(only + " ")]
        elif sample:
            files = files[::max(1, len(files) // sample)][:sample]
        return files

    def group_prefix(self):
        """How `tags show` names the one group of these formats: the keys `tags set` takes."""
        folder = tempfile.mkdtemp(prefix="fmt-probe-", dir=self.work)
        path = os.path.join(folder, "probe.flac")
        with open(path, "wb") as out:
            out.write(format_files.make_bytes("flac"))
        result = run_cli(self.cli, ["tags", "show", path], env=self.env)
        keys = [line.split("=", 1)[0] for line in result.stdout.decode().splitlines()]
        shutil.rmtree(folder)
        title = [k for k in keys if k.endswith("title") and not k.startswith("v1.")]
        if result.returncode != 0 or not title:
            raise Failure("tags show on a FLAC file names no title: %r" % keys)
        return title[0][:-len("title")]

    def problem(self, kind, label, text=""):
        """Problems are gathered by kind, with the first file of each in full."""
        entry = self.problem_kinds.setdefault(kind, [[], "%s%s" % (label, ": " + text
                                                                    if text else "")])
        entry[0].append(label)

    def problems(self):
        return ["formats: %s (%d time%s), first: %s" %
                (kind, len(labels), "" if len(labels) == 1 else "s", first)
                for kind, (labels, first) in sorted(self.problem_kinds.items())]

    def invoke(self, args, label, operation):
        try:
            result = run_cli(self.cli, args, timeout=60, env=self.env)
        except subprocess.TimeoutExpired:
            self.problem(operation + " hangs", label)
            self.figures["crashes"] += 1
            return None
        self.figures["operations"] += 1
        stderr = result.stderr.decode(errors="replace")
        if result.returncode < 0 or result.returncode > 3 or SANITIZER_REPORT.search(stderr):
            self.figures["crashes"] += 1
            self.problem(operation + " crashes", label,
                         "exit %d\n%s" % (result.returncode, stderr[-3000:]))
            return None
        return result

    def forget_journals(self):
        # Undo must find this write's batch, not one of a file gone before.
        for journal in (os.path.join(self.state, "tunex", "journal"),
                        os.path.join(self.base, "system", "journal")):
            shutil.rmtree(journal, ignore_errors=True)

    def run_file(self, label, fmt, data, catalogued=None):
        """`catalogued` is None for a damaged file: mutagen's view of it may be partial."""
        self.figures["files"] += 1
        problems_before = sum(len(labels) for labels, _ in self.problem_kinds.values())
        folder = tempfile.mkdtemp(prefix="fmt-", dir=self.work)
        ext = format_files.FORMATS[fmt][0]
        path = os.path.join(folder, FORMAT_NAME + "." + ext)

        def lay_down():
            with open(path, "wb") as out:
                out.write(data)

        def now():
            with open(path, "rb") as f:
                return f.read()

        lay_down()
        before = format_files.view(path)
        if before is None:
            self.figures["files mutagen cannot read"] += 1
        for op in ("catalogue", "summary", "show"):
            self.invoke(["tags", op, path], label, "tags " + op)
        if now() != data:
            self.problem("a read changed the file", label)
        family_fields = format_files.split_view(before, format_files.family_of(fmt))[0] \
            if before else {}
        album = FORMAT_LONG_ALBUM if self.figures["files"] % 2 else "Short Album"
        base_undo = ["--base", self.base, "tags", "undo"]
        writes = [
            ("tags set", ["tags", "set", path, self.prefix + "title=" + FORMAT_TITLE,
                          self.prefix + "artist=" + FORMAT_ARTIST, self.prefix + "album=" + album],
             {"title": FORMAT_TITLE, "artist": FORMAT_ARTIST, "album": album}, ["tags", "undo"]),
            ("tags clear", ["tags", "clear", path], None, ["tags", "undo"]),
            # Clear All looks for media files first: the format must be one of the types.
            ("clear-all", ["--base", self.base, "--type", ext, "clear-all", folder], None,
             base_undo),
            ("easytag", ["--base", self.base, "--type", ext, "easytag", folder],
             {"title": "Some Title", "artist": "Some Artist"}, base_undo),
        ]
        for name, args, expected, undo in writes:
            lay_down()
            self.forget_journals()
            result = self.invoke(args, label, name)
            if result is None:
                continue
            after = now()
            self.figures["writes"] += 1
            if result.returncode != 0:
                self.figures["writes refused"] += 1
                if after != data:
                    self.problem(name + ": refused, yet the file changed", label)
                if not result.stderr.strip():
                    self.problem(name + ": refused without a message", label)
                continue
            if after == data:
                self.figures["writes accepted, nothing to change"] += 1
                # Success must mean the values are there: only a clear of a file mutagen sees no
                # field in may leave it as it was.
                if expected or family_fields:
                    self.problem(name + ": exit 0, yet nothing was written", label,
                                 result.stderr.decode(errors="replace").strip())
                continue
            self.figures["writes changing the file"] += 1
            if before is None:
                self.figures["written, mutagen cannot read the file before"] += 1
            else:
                message = format_files.judge_write(before, format_files.view(path), fmt,
                                                   expected, strict=catalogued is not None)
                if message and message[0] == format_files.MALFORMED_KEY_LOST:
                    # TagLib's reading of such a key, left alone: counted, not a problem.
                    self.figures["written, a field with a malformed key dropped"] += 1
                elif message:
                    self.problem("%s: %s" % (name, message[0]), label, message[1])
                else:
                    self.figures["written, verified by mutagen"] += 1
            undone = self.invoke(undo, label, name + " undo")
            if undone is None:
                continue
            if undone.returncode != 0 or now() != data:
                self.problem("%s undo: %s" % (name, "file as before, exit %d" % undone.returncode
                                              if now() == data else "file not as before"),
                             label, undone.stderr.decode(errors="replace").strip())
            else:
                self.figures["undone to the exact bytes"] += 1
        if self.keep and problems_before < sum(len(l) for l, _ in self.problem_kinds.values()):
            with open(folder + ".failed" + os.path.splitext(path)[1], "wb") as out:
                out.write(data)
            print("kept %s: %s" % (folder + ".failed" + os.path.splitext(path)[1], label))
        shutil.rmtree(folder)

    def catalogue(self):
        """Add with tag info over each format's files: no crash, no file changed, a record for
        every file, and the tagged file's title, artist and album in its record."""
        for fmt in format_files.FORMATS:
            ext = format_files.FORMATS[fmt][0]
            mine = [f for f in self.files if f[1] == fmt]
            if not mine:
                continue
            root = tempfile.mkdtemp(prefix="fmt-add-", dir=self.work)
            base, folder = os.path.join(root, "base"), os.path.join(root, "music")
            shutil.copytree(self.shipped_base, base)
            os.makedirs(folder)
            names = {}
            for number, (label, _, data, text) in enumerate(mine):
                name = "File %03d" % number
                names[name] = (label, data, text)
                with open(os.path.join(folder, name + "." + ext), "wb") as out:
                    out.write(data)
            result = self.invoke(["--base", base, "--type", ext, "add", "Formats " + fmt, folder,
                                  "--id3"], "the %s files" % fmt, "add --id3")
            if result is None:
                shutil.rmtree(root)
                continue
            self.figures["catalogue adds"] += 1
            if result.returncode != 0:
                self.problem("add --id3 fails", "the %s files" % fmt, "exit %d: %s" % (
                    result.returncode, result.stderr.decode(errors="replace")[-300:]))
            for name, (label, data, _) in names.items():
                with open(os.path.join(folder, name + "." + ext), "rb") as f:
                    if f.read() != data:
                        self.problem("add --id3 changed a file", label)
            records = {}
            with open(os.path.join(base, "system", "save0001.ifo"), "rb") as f:
                # Only a line feed ends a record: tag text may hold any other control character.
                for line in f.read().split(b"\n"):
                    match = RECORD.match(line.decode("utf-8", "replace"))
                    if match:
                        records[match.group(1)] = match.group(4)
            self.figures["records catalogued"] += len(records)
            if sorted(records) != sorted(names):
                self.problem("add --id3 misses files", "the %s files" % fmt,
                             "records %d of %d files" % (len(records), len(names)))
            for name, (label, _, text) in names.items():
                if text is not None and records.get(name) != text:
                    self.problem("add --id3 catalogues the wrong text", label,
                                 "%r, not %r" % (records.get(name), text))
            shutil.rmtree(root)


# ---------------------------------------------------------------- in-place tag writes under fault

SET_ALBUM = "Reliability Album With A Longer Name"
SET_ARTIST = "Someone Else"
NOBODY = 65534
RESTORED_MESSAGE = re.compile(r"Files Restored", re.IGNORECASE)
PUT_BACK_MESSAGE = re.compile(r"put back as (it was|they were)")


def quick_audio(rng, frames):
    # Same frames as mpeg_frames, but randbytes keeps dozens of files cheap to make.
    return b"".join(b"\xff\xfb\x90\x64" + rng.randbytes(413) for _ in range(frames))


def tagwrite_bytes(kind, rng, number):
    """One file of a kind; the kinds decide whether a write fits the old tag or moves the audio."""
    audio = quick_audio(rng, rng.randrange(20, 100))
    v1 = id3v1("Old title %d" % number, "Old artist", "Old album", "1999", "", number % 20 + 1, 17)
    if kind == "roomy":  # easytag's and tags set's values fit in the padding
        return id3v23([text_frame23("TIT2", "Old title %d" % number),
                       text_frame23("TPE1", "Old artist"), text_frame23("TALB", "Old album")],
                      padding=400) + audio + v1
    if kind == "tight":  # no padding: any longer value moves the audio
        return id3v23([text_frame23("TIT2", "t"), text_frame23("TPE1", "a")]) + audio + \
            id3v1("t", "a")
    if kind == "v24":
        return id3v24([("TIT2", b"\x03Titel %d" % number), ("TPE1", b"\x03K\xc3\xbcnstler"),
                       ("TXXX", b"\x03key\x00value")]) + audio + v1
    if kind == "v1only":
        return audio + v1
    return audio  # "bare"


TAGWRITE_NAMES = {
    "roomy": "Artist %02d - Song %02d.mp3",
    "tight": "A Somewhat Longer Artist %02d - A Much Longer Song Title %02d.mp3",
    "v24": "K\u00fcnstler %02d - Lied %02d.mp3",
    "v1only": "Artist %02d - Only V1 %02d.mp3",
    "bare": "Artist %02d - Untagged %02d.mp3",
}
TAGWRITE_KINDS = ["roomy", "tight", "roomy", "v1only", "tight", "bare", "roomy", "v24", "tight"]


TAGWRITE_FORMAT_FOLDER = "Album Three"
TAGWRITE_FORMAT_ARTIST = "Format Artist"


def tagwrite_tree(seed, as_root):
    """The tree every trial of a run lays down: [(relative path, bytes or ("link", path), mode,
    owner, xattr)], the files `tags set` is tried on, and the format of each file that is neither
    mp3 nor made here."""
    rng = random.Random(seed)
    entries = []
    number = 0
    for folder, count in (("Album One", 10), ("Album One/Disc 2", 8), ("Album Two", 10)):
        for i in range(count):
            number += 1
            kind = TAGWRITE_KINDS[(i + len(folder)) % len(TAGWRITE_KINDS)]
            name = TAGWRITE_NAMES[kind] % (number % 23, number)
            owner = (NOBODY, NOBODY) if as_root and number % 4 == 0 else None
            mode = 0o600 if number % 4 == 0 else 0o640 if number % 5 == 0 else 0o644
            xattr = b"song %d" % number if number % 3 == 0 else None
            entries.append((folder + "/" + name, tagwrite_bytes(kind, rng, number), mode, owner,
                            xattr))
        # No delimiter: easytag leaves it, clear-all clears it.
        entries.append((folder + "/Track %02d.mp3" % number, tagwrite_bytes("roomy", rng, number),
                        0o644, None, None))
    nobody = (NOBODY, NOBODY) if as_root else None
    # One inode under two names, in two folders of the walk, and twice in one folder (the two
    # names give easytag the same values, so the file has one right end state).
    entries.append(("Album One/Band - Linked.mp3", tagwrite_bytes("tight", rng, 90), 0o640, nobody,
                    b"linked"))
    entries.append(("Album Two/Band - Linked.mp3", ("link", "Album One/Band - Linked.mp3"),
                    None, None, None))
    entries.append(("Album Two/Duo Ensemble - Pair Of Names.mp3", tagwrite_bytes("roomy", rng, 91),
                    0o600, nobody, b"pair"))
    entries.append(("Album Two/Duo Ensemble -Pair Of Names.mp3",
                    ("link", "Album Two/Duo Ensemble - Pair Of Names.mp3"), None, None, None))
    # The last extension decides: a WAV file, written as one, and a text file never written.
    wave = b"RIFF" + struct.pack("<I", 36 + 8000) + b"WAVEfmt " + struct.pack(
        "<IHHIIHH", 16, 1, 2, 44100, 176400, 4, 16) + b"data" + struct.pack("<I", 8000) + \
        rng.randbytes(8000)
    entries.append(("Album One/Band - Take.mp3.wav", wave, 0o644, None, b"wave"))
    entries.append(("Album Two/Band - Lyrics.mp3.txt",
                    b"[00:01] la la la\n[00:05] and so on\n" * 40, 0o644, None, None))
    targets = ["Album One/Artist 01 - Song 01.mp3",  # fits in place
               next(e[0] for e in entries if e[0].startswith("Album One/Disc 2/A Somewhat")),
               next(e[0] for e in entries if "Untagged" in e[0]),
               "Album Two/Band - Linked.mp3",  # grows; two names, another owner, an xattr
               "Album One/Band - Take.mp3.wav"]
    # One tagged file of each other format, with a picture and ReplayGain for the write to keep.
    formats = {}
    for number, fmt in enumerate(sorted(format_files.FORMATS), 100):
        rel = "%s/%s - Song In %s.%s" % (TAGWRITE_FORMAT_FOLDER, TAGWRITE_FORMAT_ARTIST, fmt,
                                         format_files.FORMATS[fmt][0])
        data = format_files.make_bytes(fmt, format_files.source_tags(
            fmt, "Old title %d" % number, "Old artist", "Old album"))
        entries.append((rel, data, 0o640 if number % 2 else 0o644, None,
                        b"song %d" % number if number % 3 == 0 else None))
        formats[rel] = fmt
    targets += ["%s/%s - Song In %s.%s" % (TAGWRITE_FORMAT_FOLDER, TAGWRITE_FORMAT_ARTIST, fmt,
                                           format_files.FORMATS[fmt][0])
                for fmt in ("flac", "ogg", "m4a-tail", "wma", "aiff")]
    return entries, targets, formats


def lay_down_tree(entries, root):
    """Returns False when the file system takes no user xattrs."""
    xattrs = True
    for rel, data, mode, owner, xattr in entries:
        path = os.path.join(root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if isinstance(data, tuple):
            os.link(os.path.join(root, data[1]), path)
            continue
        with open(path, "wb") as out:
            out.write(data)
        if owner:
            os.chown(path, *owner)
        os.chmod(path, mode)
        if xattr and xattrs:
            try:
                os.setxattr(path, "user.tunex", xattr)
            except OSError as error:
                if error.errno not in (errno.ENOTSUP, errno.EOPNOTSUPP):
                    raise
                xattrs = False
    return xattrs


def tree_snapshot(root, xattrs):
    """Names of every folder and file, and per file its content hash and what must never change."""
    names, files = set(), {}
    for folder, dirs, entries in os.walk(root):
        rel_folder = os.path.relpath(folder, root)
        names.add(rel_folder + "/")
        for entry in entries:
            path = os.path.join(folder, entry)
            rel = os.path.normpath(os.path.join(rel_folder, entry))
            names.add(rel)
            info = os.lstat(path)
            with open(path, "rb") as f:
                digest = hashlib.sha256(f.read()).hexdigest()
            attrs = None
            if xattrs:
                attrs = {key: os.getxattr(path, key) for key in os.listxattr(path)
                         if key.startswith("user.")}
            files[rel] = {"sha": digest, "ino": (info.st_dev, info.st_ino),
                          "nlink": info.st_nlink, "owner": (info.st_uid, info.st_gid),
                          "mode": stat.S_IMODE(info.st_mode), "xattr": attrs}
    return names, files


def reported_files(stderr, music, files):
    """The tree's files a run names on stderr, and whether every one it counts is named."""
    named = set()
    for rel in files:
        path = re.escape(os.path.join(music, rel))
        if re.search(path + r"(?=\.?\s|\.?$|[,:;])", stderr, re.MULTILINE):
            named.add(rel)
    return named, not re.search(r"^\.\.\.$", stderr, re.MULTILINE)


class Trial:
    """The folders of one trial: a base folder, the music tree and a home of its own."""

    def __init__(self, run, label, name, target=None):
        self.root = tempfile.mkdtemp(prefix=label + "-", dir=run.work)
        os.chmod(self.root, 0o755)
        self.base = os.path.join(self.root, "base")
        shutil.copytree(run.shipped_base, self.base)
        self.music = os.path.join(self.root, "music")
        self.home = os.path.join(self.root, "home")
        self.state = os.path.join(self.root, "state")
        os.makedirs(self.home)
        os.makedirs(self.state)
        self.image = cover_trials.lay_down_image(self.root)
        lay_down_tree(run.entries, self.music)
        self.before = tree_snapshot(self.music, run.xattrs)
        self.name, self.target = name, target
        # The state-folder runs alternate between XDG_STATE_HOME and its default under HOME.
        self.use_xdg = True
        self.env = dict(os.environ, HOME=self.home, XDG_STATE_HOME=self.state)

    def without_xdg(self):
        self.use_xdg = False
        self.env.pop("XDG_STATE_HOME", None)

    def command(self):
        path = os.path.join(self.music, self.target) if self.target else None
        # Only an mp3 file has two tags to choose from.
        mp3 = bool(self.target) and self.target.endswith(".mp3")
        values = [("v2.album=" if mp3 else "album=") + SET_ALBUM,
                  ("v1.artist=" if mp3 else "artist=") + SET_ARTIST]
        return {
            "tags-set": ["--base", self.base, "tags", "set", path] + values,
            "tags-set-state": ["tags", "set", path] + values,
            "easytag": ["--base", self.base, "easytag", self.music],
            "clear-all": ["--base", self.base, "clear-all", self.music],
            "cover": ["--base", self.base, "tags", "cover", self.music, "--set", self.image],
        }[self.name]

    def next_open(self):
        if self.name == "tags-set-state":
            return ["tags", "show", os.path.join(self.music, self.target)]
        return ["--base", self.base, "collections"]

    def journal(self):
        if self.name != "tags-set-state":
            return os.path.join(self.base, "system", "journal")
        state = self.state if self.use_xdg else os.path.join(self.home, ".local", "state")
        return os.path.join(state, "tunex", "journal")


TAGWRITE_COMMANDS = ["tags-set", "tags-set-state", "easytag", "clear-all", "cover"]
MUSIC_EXTENSIONS = (".mp3",) + format_files.EXTENSIONS


class TagWriteRun:
    """Kill and full-disk trials of tag writes: every file must end as its old bytes or as the
    bytes an uninterrupted run writes, and keep its inode, links, owner, mode and xattrs."""

    def __init__(self, cli, work, shipped_base, seed, keep):
        self.cli, self.work, self.shipped_base = cli, work, shipped_base
        self.seed, self.keep = seed, keep
        self.as_root = os.geteuid() == 0
        self.entries, self.targets, self.formats = tagwrite_tree(seed, self.as_root)
        probe = tempfile.mkdtemp(prefix="probe-", dir=work)
        self.xattrs = lay_down_tree(self.entries, probe)
        self.views = {rel: format_files.view(os.path.join(probe, rel)) for rel in self.formats}
        self.tree_bytes = sum(len(e[1]) for e in self.entries if not isinstance(e[1], tuple))
        shutil.rmtree(probe)
        self.figures = {}
        self.problem_kinds = {}
        self.reference, self.duration = {}, {}
        for name in TAGWRITE_COMMANDS:
            for target in self.targets_of(name):
                self.make_reference(name, target)

    def targets_of(self, name):
        return self.targets if name.startswith("tags-set") else [None]

    def count(self, key, amount=1):
        self.figures[key] = self.figures.get(key, 0) + amount

    def problem(self, kind, label, text, trial=None):
        """Problems are gathered by kind, counted once a trial, with the first one in full."""
        entry = self.problem_kinds.setdefault(kind, [set(), "%s: %s" % (label, text), None])
        entry[0].add(label)
        if trial and self.keep and entry[2] is None:
            entry[2] = trial.root + ".failed"
            shutil.copytree(trial.root, entry[2], symlinks=True)

    def problems(self):
        return ["tagwrite %s (%d trial%s), first: %s%s" %
                (kind, len(labels), "" if len(labels) == 1 else "s", first,
                 " [kept in %s]" % kept if kept else "")
                for kind, (labels, first, kept) in sorted(self.problem_kinds.items())]

    def run(self, trial, preexec_fn=None):
        return subprocess.run([self.cli] + trial.command(), stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=TIMEOUT, env=trial.env,
                              preexec_fn=preexec_fn)

    def make_reference(self, name, target):
        times, results = [], []
        # Five runs of a batch for its duration: the machine is shared and fsync times wander.
        for attempt in range(3 if target else 5):
            trial = Trial(self, "ref", name, target)
            if attempt == 1 and name == "tags-set-state":
                trial.without_xdg()
            start = time.monotonic()
            result = self.run(trial)
            times.append(time.monotonic() - start)
            label = "reference %s%s #%d" % (name, " " + target if target else "", attempt)
            after = tree_snapshot(trial.music, self.xattrs)
            results.append({rel: f["sha"] for rel, f in after[1].items()})
            if result.returncode not in (0, 3):
                self.problem("%s reference exit %d" % (name, result.returncode), label,
                             result.stderr.decode(errors="replace"), trial)
            # A run with nothing to write may leave the journal unmade.
            if self.changed_by(results[-1], trial) and not os.path.isdir(trial.journal()):
                self.problem("%s journal not in %s" % (name, os.path.relpath(
                    trial.journal(), trial.root)), label, "no such folder", trial)
            # The uninterrupted run is held to the same rules as an interrupted one.
            self.check_tree(name, label, after, results[-1], trial)
            stderr = result.stderr.decode(errors="replace")
            self.check_exit(name, label, result.returncode, stderr, after, results[-1], trial)
            for rel, old in trial.before[1].items():
                if not rel.endswith(MUSIC_EXTENSIONS) and results[-1].get(rel) != old["sha"]:
                    self.problem("%s writes a file that is not music" % name, label, rel, trial)
            self.check_formats(name, label, trial, results[-1])
            shutil.rmtree(trial.root)
        if any(result != results[0] for result in results):
            self.problem("%s reference not repeatable" % name, name, "two uninterrupted runs "
                         "wrote different bytes")
        self.reference[(name, target)] = results[0]
        self.duration[name] = max(self.duration.get(name, 0), sorted(times)[len(times) // 2])
        changed = len(self.changed_by(results[0], trial))
        self.figures.setdefault("files a reference run changes", {})[
            name + (" " + target if target else "")] = changed

    def check_formats(self, name, label, trial, new):
        """The bytes an uninterrupted run leaves are what a trial's file must match to count as
        written: mutagen must see in them the new values, the same audio and the picture."""
        for rel, fmt in sorted(self.formats.items()):
            expected = None
            if name == "easytag":
                title = os.path.splitext(os.path.basename(rel))[0].split(" - ", 1)[1]
                expected = {"title": title, "artist": TAGWRITE_FORMAT_ARTIST}
            elif name.startswith("tags-set"):
                if rel != trial.target:
                    continue
                expected = {"album": SET_ALBUM, "artist": SET_ARTIST}
            if new[rel] == trial.before[1][rel]["sha"]:
                self.problem("%s leaves a %s file as it was" % (name, fmt), label, rel, trial)
                continue
            if name == "cover":
                message = cover_trials.judge_format(
                    self.views[rel], format_files.view(os.path.join(trial.music, rel)))
                if message:
                    self.problem("cover %s: %s" % (fmt, message), label, rel, trial)
                else:
                    self.count("cover: %s files written, verified by mutagen" % fmt)
                continue
            message = format_files.judge_write(
                self.views[rel], format_files.view(os.path.join(trial.music, rel)), fmt, expected)
            if message:
                self.problem("%s %s: %s" % (name, fmt, message[0]), label,
                             "%s: %s" % (rel, message[1]), trial)
            else:
                self.count("%s: %s files written, verified by mutagen" % (name, fmt))

    def state_of(self, snapshot, new, trial):
        """For each file: "old", "new" (or both, when the command leaves it) or "damaged"."""
        states = {}
        for rel, f in snapshot[1].items():
            old = trial.before[1].get(rel)
            if old is None:
                continue
            if f["sha"] == old["sha"]:
                states[rel] = "old"
            elif f["sha"] == new.get(rel):
                states[rel] = "new"
            else:
                states[rel] = "damaged"
        return states

    def changed_by(self, new, trial):
        return {rel for rel, sha in new.items() if sha != trial.before[1][rel]["sha"]}

    def check_tree(self, name, label, snapshot, new, trial, skip=None):
        names, files = snapshot
        before_names, before_files = trial.before
        if names != before_names:
            extra, missing = sorted(names - before_names), sorted(before_names - names)
            self.problem("%s music folder gains or loses names" % name, label,
                         "new %s, missing %s" % (extra[:5], missing[:5]), trial)
        for rel, old in before_files.items():
            f = files.get(rel)
            if f is None:
                continue
            for key, what in (("ino", "inode"), ("nlink", "link count"), ("owner", "owner"),
                              ("mode", "mode"), ("xattr", "xattr")):
                if f[key] != old[key]:
                    self.problem("%s %s changed" % (name, what), label,
                                 "%s: %r -> %r" % (rel, old[key], f[key]), trial)
        inodes = {}
        for rel, f in files.items():
            inodes.setdefault(f["ino"], set()).add(rel)
        for rel, old in before_files.items():
            together = {r for r, o in before_files.items() if o["ino"] == old["ino"]}
            if len(together) > 1 and rel in files and inodes[files[rel]["ino"]] != together:
                self.problem("%s hard link broken" % name, label, "%s no longer shares its inode "
                             "with %s" % (rel, sorted(together - {rel})), trial)
        damaged = [rel for rel, s in self.state_of(snapshot, new, trial).items()
                   if s == "damaged" and rel != skip]
        if damaged:
            self.problem("%s file neither old nor new" % name, label, ", ".join(damaged[:3]), trial)
        return damaged

    def check_exit(self, name, label, code, stderr, snapshot, new, trial):
        """What a run that ended by itself said must match what it left, before any restore."""
        states = self.state_of(snapshot, new, trial)
        changed = self.changed_by(new, trial)
        if code == 0:
            left = sorted(rel for rel in changed if states.get(rel) != "new")
            if left:
                self.problem("%s exit 0 but a file not written" % name, label, ", ".join(left[:3]),
                             trial)
            return
        if not stderr.strip():
            self.problem("%s failed without a message" % name, label, "exit %d" % code, trial)
        if code != 3:
            left = sorted(rel for rel, s in states.items() if s != "old")
            if left:
                self.problem("%s exit %d yet files changed" % (name, code), label,
                             ", ".join(left[:3]), trial)
            return
        reported, whole = reported_files(stderr, trial.music, trial.before[1])
        # A file is named by any of its names.
        inodes = {trial.before[1][rel]["ino"] for rel in reported}
        reported = {rel for rel, f in trial.before[1].items() if f["ino"] in inodes}
        if not reported:
            # A run that failed as a whole (no journal, say) must have written nothing.
            left = sorted(rel for rel, s in states.items() if s != "old")
            if left:
                self.problem("%s exit 3 names no file, yet files changed" % name, label,
                             ", ".join(left[:3]), trial)
            return
        wrong = sorted(rel for rel in reported if states.get(rel) not in (None, "old"))
        if wrong:
            self.problem("%s reported as not written, yet changed" % name, label,
                         ", ".join(wrong[:3]), trial)
        if whole:
            silent = sorted(rel for rel in changed - reported if states.get(rel) != "new")
            if silent:
                self.problem("%s file neither written nor reported" % name, label,
                             ", ".join(silent[:3]), trial)

    def finish_trial(self, kind, name, label, trial, code, stderr, edit=None, open_kill=None):
        """The next open must leave every file old or new and leave nothing unfinished."""
        new = self.reference[(name, trial.target)]
        key = "%s %s" % (kind, name)
        at_fault = tree_snapshot(trial.music, self.xattrs)
        if code >= 0:
            self.check_exit(name, label, code, stderr, at_fault, new, trial)
        half = sum(1 for s in self.state_of(at_fault, new, trial).values() if s == "damaged")
        self.count(key + ": files half-written when the fault hit", half)
        if half:
            self.count(key + ": trials with a half-written file")
        edited = None
        if edit:
            touched = {rel for rel, s in self.state_of(at_fault, new, trial).items() if s != "old"}
            edited, new = self.edit_between(trial, new, touched, *edit)
            at_fault = tree_snapshot(trial.music, self.xattrs)
            self.count(key + ": a file %s before the next open" % edit[1])
        if open_kill is not None:
            # The restore itself killed part way: the open after it must still finish the job.
            process = subprocess.Popen([self.cli] + trial.next_open(), env=trial.env,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(open_kill)
            process.send_signal(signal.SIGKILL)
            process.wait()
            self.count(key + ": next open killed once")
        opening = tree_snapshot(trial.music, self.xattrs) if open_kill is not None else at_fault
        opened = subprocess.run([self.cli] + trial.next_open(), stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, timeout=TIMEOUT, env=trial.env)
        open_err = opened.stderr.decode(errors="replace")
        if opened.returncode != 0:
            self.problem("%s next open fails" % name, label, open_err[-300:], trial)
        after = tree_snapshot(trial.music, self.xattrs)
        restored = bool(RESTORED_MESSAGE.search(open_err)) or opening[1] != at_fault[1]
        if after[1] != opening[1]:
            if not RESTORED_MESSAGE.search(open_err):
                self.problem("%s next open changes files without saying so" % name, label,
                             open_err[-300:], trial)
            restored = True
        if restored:
            self.count(key + ": restored at next open")
        overwritten = edited and after[1][edited]["sha"] != at_fault[1][edited]["sha"]
        if overwritten:
            self.problem("%s next open overwrites a file changed since the fault" % name, label,
                         edited, trial)
            self.count(key + ": changes made after the fault undone")
        damaged = self.check_tree(name, label, after, new, trial,
                                  skip=edited if overwritten else None)
        if damaged:
            self.count(key + ": damaged files", len(damaged))
        state = self.state_of(after, new, trial)
        changed = self.changed_by(new, trial)
        if damaged or overwritten:
            outcome = "damaged"
        elif all(state[rel] == "old" for rel in changed):
            outcome = "all old"
        elif all(state[rel] == "new" for rel in changed):
            outcome = "all new"
        else:
            outcome = "part written"
        self.count("%s: %s" % (key, outcome))
        again = subprocess.run([self.cli] + trial.next_open(), stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, timeout=TIMEOUT, env=trial.env)
        again_err = again.stderr.decode(errors="replace")
        # A record kept for a file that is not there (another file under its name) is named at
        # every start; only putting something back again is wrong.
        if PUT_BACK_MESSAGE.search(again_err) or \
                tree_snapshot(trial.music, self.xattrs)[1] != after[1]:
            self.problem("%s second open restores again" % name, label, again_err[-300:], trial)
        if name == "cover" and not edit:
            cover_trials.undo_all(self, trial, label)
        self.count(key + ": trials")

    def edit_between(self, trial, new, touched, rng, how):
        """Someone changes a file between the fault and the next open: the restore must leave it
        as they left it. Returns the file and what the command's end state now is."""
        candidates = sorted(rel for rel, f in trial.before[1].items()
                            if f["nlink"] == 1 and rel.endswith(".mp3"))
        # A file the command had reached is the one a careless restore would put back.
        rel = trial.target if trial.target in candidates else \
            rng.choice(sorted(touched & set(candidates)) or candidates)
        path = os.path.join(trial.music, rel)
        if how == "replaced":
            with open(os.path.join(trial.root, "replacement"), "wb") as out:
                out.write(b"replaced by the user\n" * 50)
            os.rename(os.path.join(trial.root, "replacement"), path)
        else:
            with open(path, "ab") as out:
                out.write(b"\nappended by the user")
        now = tree_snapshot(trial.music, self.xattrs)[1][rel]
        trial.before[1][rel] = now
        return rel, dict(new, **{rel: now["sha"]})

    def trial_rng(self, kind, name, index):
        return trial_rng(self.seed, kind, name, index)

    def new_trial(self, kind, name, rng, index):
        target = rng.choice(self.targets) if name.startswith("tags-set") else None
        trial = Trial(self, kind, name, target)
        if name == "tags-set-state" and index % 2:
            trial.without_xdg()
        return trial

    def kill_trial(self, name, index):
        rng = self.trial_rng("kill", name, index)
        trial = self.new_trial("kill", name, rng, index)
        delay = rng.uniform(0, self.duration[name])
        label = "kill %s #%d (seed %d, delay %.4f s%s)" % (
            name, index, self.seed, delay, ", " + trial.target if trial.target else "")
        process = subprocess.Popen([self.cli] + trial.command(), stdout=subprocess.DEVNULL,
                                   stderr=subprocess.PIPE, env=trial.env)
        time.sleep(delay)
        process.send_signal(signal.SIGKILL)
        _, stderr = process.communicate()
        code = process.returncode
        self.count("kill %s: %s" % (name, "killed" if code == -signal.SIGKILL
                                    else "finished first"))
        edit, open_kill = None, None
        if index % 8 in (3, 7):
            edit = (rng, "replaced" if index % 8 == 3 else "appended to")
            label += ", then a file " + edit[1]
        elif index % 4 == 1:
            open_kill = rng.uniform(0, self.duration[name])
            label += ", then the next open killed after %.4f s" % open_kill
        self.finish_trial("kill", name, label, trial, code, stderr.decode(errors="replace"), edit,
                          open_kill)
        shutil.rmtree(trial.root)

    def fsize_trial(self, name, index):
        rng = self.trial_rng("fsize", name, index)
        trial = self.new_trial("fsize", name, rng, index)
        # Every order of magnitude up to twice the tree: the journal may hold most of it.
        limit = int(2 ** rng.uniform(0, (2 * self.tree_bytes).bit_length())) - 1
        signalled = rng.random() < 0.3
        label = "fsize %s #%d (seed %d, limit %d, SIGXFSZ %s%s)" % (
            name, index, self.seed, limit, "kills" if signalled else "ignored",
            ", " + trial.target if trial.target else "")

        def limit_child():
            if not signalled:
                signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))

        result = self.run(trial, preexec_fn=limit_child)
        code, stderr = result.returncode, result.stderr.decode(errors="replace")
        if code < 0 and code != -signal.SIGXFSZ:
            self.problem("%s died of signal %d" % (name, -code), label, stderr[-300:], trial)
        self.count("fsize %s: %s" % (name, "exit 0" if code == 0 else "killed by SIGXFSZ"
                                     if code < 0 else "failure exit"))
        self.finish_trial("fsize", name, label, trial, code, stderr)
        shutil.rmtree(trial.root)

    def table(self):
        rows = ["| trials | command | run | killed / limited | ended by itself (exit 0 / failure) "
                "| every file old | every file new | some files each way | restored at next start "
                "| files caught half-written (trials) | damaged files | later changes undone |",
                "|---|---|---|---|---|---|---|---|---|---|---|---|"]
        for kind in ("kill", "fsize"):
            for name in TAGWRITE_COMMANDS:
                key = "%s %s: " % (kind, name)
                get = lambda what: self.figures.get(key + what, 0)
                if not get("trials"):
                    continue
                if kind == "kill":
                    hit = get("killed")
                    ended = "%d" % get("finished first")
                else:
                    hit = get("killed by SIGXFSZ") + get("failure exit")
                    ended = "%d / %d" % (get("exit 0"), get("failure exit"))
                edits = get("a file replaced before the next open") + \
                    get("a file appended to before the next open")
                rows.append("| %s | %s | %d | %d | %s | %d | %d | %d | %d | %d (%d) | **%d** | %s |"
                            % (kind, name, get("trials"), hit, ended, get("all old"),
                               get("all new"), get("part written"), get("restored at next open"),
                               get("files half-written when the fault hit"),
                               get("trials with a half-written file"), get("damaged files"),
                               "**%d** of %d" % (get("changes made after the fault undone"), edits)
                               if kind == "kill" else "-"))
        return "\n".join(rows)


# ---------------------------------------------------------------- damaged settings file

DAMAGED_TRIALS = 200
DAMAGED_TIMEOUT = 30
DAMAGED_COLLECTIONS = 6
DAMAGE_KINDS = ["truncated", "bytes overwritten", "bytes appended", "lines dropped",
                "odd numbers", "lines duplicated"]
# Values a hand edit, a bad copy or a bit flip may leave where the program wrote a count.
ODD_NUMBERS = [b"-7", b"-1", b"0", b"-0", b"99999999999", b"2147483647", b"2147483648",
               b"-2147483648", b"-99999999999", b"", b" 4", b"+2", b"3x", b"1e9",
               b"00000000000000000000004", b"9" * 40]
COLLECTIONS_RESTORED = re.compile(r"Collections Restored")
OUTCOMES = {0: "exit 0", 1: "start-up failure", 2: "refused", 3: "file error"}


def split_lines(data):
    parts = data.split(b"\n")
    return [part + b"\n" for part in parts[:-1]] + ([parts[-1]] if parts[-1] else [])


def damage_settings(data, rng, collections):
    """The settings text damaged in up to three ways, the ways taken and what was done."""
    done, kinds = [], []
    for kind in rng.sample(DAMAGE_KINDS, rng.randrange(1, 4)):
        lines = split_lines(data)
        if not lines and kind in ("lines dropped", "lines duplicated"):
            continue
        kinds.append(kind)
        if kind == "truncated":
            cut = 0 if rng.random() < 0.15 else rng.randrange(len(data) + 1)
            data = data[:cut]
            done.append("cut to %d bytes" % cut)
        elif kind == "bytes overwritten":
            for _ in range(rng.randrange(1, 4)):
                at = rng.randrange(len(data) + 1)
                run = rng.randbytes(rng.randrange(1, 24))
                data = data[:at] + run + data[at + len(run):]
                done.append("%d random bytes at %d" % (len(run), at))
        elif kind == "bytes appended":
            # Sometimes one long line without a line end.
            size = rng.choice([rng.randrange(1, 64), rng.randrange(64, 4096), 70000])
            data += rng.randbytes(size)
            done.append("%d random bytes appended" % size)
        elif kind == "lines dropped":
            for _ in range(min(len(lines), rng.randrange(1, 4))):
                dropped = lines.pop(rng.randrange(len(lines)))
                done.append("dropped %r" % dropped[:20])
            data = b"".join(lines)
        elif kind == "odd numbers":
            for _ in range(rng.randrange(1, 3)):
                tag = rng.choice([b"<tf>"] * 3 + [b"<ts>"] * 2 + [b"<md>", b"<mh>", b"<dt>"])
                value = rng.choice(ODD_NUMBERS + [b"%d" % (collections + d) for d in (-3, -1, 1)])
                line = tag + value + b"\n"
                at = [i for i, old in enumerate(lines) if old.startswith(tag)]
                if at and rng.random() < 0.7:
                    lines[at[0]] = line
                else:
                    lines.insert(rng.randrange(len(lines) + 1), line)
                done.append("line %r" % line)
            data = b"".join(lines)
        elif kind == "lines duplicated":
            for _ in range(rng.randrange(1, 4)):
                line = rng.choice(lines)
                lines.insert(rng.randrange(len(lines) + 1), line)
                done.append("again %r" % line[:20])
            data = b"".join(lines)
    return data, kinds, done


def collection_files(base):
    """(file, name, digest of everything but the name line) of every collection file."""
    system = os.path.join(base, "system")
    found = []
    for entry in sorted(os.listdir(system)):
        if not SAVE_NAME.match(entry):
            continue
        with open(os.path.join(system, entry), "rb") as f:
            data = f.read()
        name = collection_summary(data)[0]
        # A rename rewrites the name line and keeps every record line.
        body = b"\n".join(line for line in data.split(b"\n") if not line.startswith(b"**"))
        found.append((entry, name, hashlib.sha256(body).hexdigest()))
    return found


class DamagedRun:
    """Commands on a base folder whose settings file was damaged: none may crash or hang, the
    catalogue must load afterwards or say why not, and every collection file that was there
    must still be there, its records untouched."""

    def __init__(self, cli, work, shipped_base, seed, keep):
        self.cli, self.work, self.seed, self.keep = cli, work, seed, keep
        # An ASan build must report, not abort; leaks are not what this run looks for.
        self.env = dict(os.environ, ASAN_OPTIONS="detect_leaks=0:abort_on_error=0",
                        UBSAN_OPTIONS="print_stacktrace=1")
        self.figures, self.problem_kinds = {}, {}
        media = os.path.join(work, "damaged-media")
        self.folders = []
        for number in range(DAMAGED_COLLECTIONS + 6):
            folder = os.path.join(media, "disc%02d" % number)
            make_media_tree(folder, 10 + number * 3, 3, 9000 + number)
            self.folders.append(folder)
        self.template = os.path.join(work, "damaged-template")
        shutil.copytree(shipped_base, self.template)
        for number in range(DAMAGED_COLLECTIONS):
            args = ["--base", self.template, "add", "Stored Disc %d" % (number + 1),
                    self.folders[number]] + (["--id3"] if number % 2 else [])
            result = run_cli(cli, args, env=self.env)
            if result.returncode != 0:
                raise Failure("setting up: add failed: " + result.stderr.decode(errors="replace"))
        # History rows, so that damage can land in them and an Add must carry them over.
        settings = os.path.join(self.template, "system", "system.ifo")
        with open(settings, "rb") as f:
            text = f.read()
        rows = b"".join(b"<ht>title %d@?@artist %d%%|%%3^*^7\n" % (i, i) for i in range(30))
        with open(settings, "wb") as f:
            f.write(text.replace(b"@*EOF", rows + b"@*EOF"))

    def count(self, key, amount=1):
        self.figures[key] = self.figures.get(key, 0) + amount

    def problem(self, kind, label, text, root):
        entry = self.problem_kinds.setdefault(kind, [set(), "%s: %s" % (label, text), None])
        entry[0].add(label)
        if self.keep and entry[2] is None:
            entry[2] = root + ".failed"
            shutil.copytree(root, entry[2], symlinks=True)

    def problems(self):
        return ["damaged %s (%d trial%s), first: %s%s" %
                (kind, len(labels), "" if len(labels) == 1 else "s", first,
                 " [kept in %s]" % kept if kept else "")
                for kind, (labels, first, kept) in sorted(self.problem_kinds.items())]

    def invoke(self, base, args, label, root):
        """Runs one command; None when it hung, crashed or broke the exit-code rules."""
        try:
            result = subprocess.run([self.cli, "--base", base] + args, stdout=subprocess.PIPE,
                                    stderr=subprocess.PIPE, timeout=DAMAGED_TIMEOUT, env=self.env)
        except subprocess.TimeoutExpired:
            self.count("hangs")
            self.problem("%s hangs" % args[0], label, " ".join(args), root)
            return None
        code, stderr = result.returncode, result.stderr.decode(errors="replace")
        self.count("commands run")
        if code < 0 or SANITIZER_REPORT.search(stderr):
            self.count("crashes")
            self.problem("%s crashes" % args[0], label, "exit %d: %s" % (code, stderr[-3000:]),
                         root)
            return None
        if code not in OUTCOMES:
            self.problem("%s exit %d" % (args[0], code), label, stderr[-300:], root)
            return None
        self.count("%s: %s" % (args[0], OUTCOMES[code]))
        self.count("commands: " + OUTCOMES[code])
        if code and not stderr.strip():
            self.problem("%s fails without a message" % args[0], label, " ".join(args), root)
        # Nothing kills these runs: a temporary file left now was forgotten by the program.
        for folder in ("system", "friend"):
            path = os.path.join(base, folder)
            left = [e for e in os.listdir(path) if TEMP_NAME.match(e)] if os.path.isdir(path) \
                else []
            if left:
                self.problem("%s leaves temporary files" % args[0], label, left, root)
        return result

    def trial(self, index):
        rng = trial_rng(self.seed, "damaged", "settings", index)
        root = tempfile.mkdtemp(prefix="damaged-%d-" % index, dir=self.work)
        base = os.path.join(root, "base")
        shutil.copytree(self.template, base)
        settings = os.path.join(base, "system", "system.ifo")
        with open(settings, "rb") as f:
            original = f.read()
        damaged, kinds, done = damage_settings(original, rng, DAMAGED_COLLECTIONS)
        with open(settings, "wb") as f:
            f.write(damaged)
        label = "trial %d (seed %d: %s)" % (index, self.seed, "; ".join(done))
        self.count("trials")
        for kind in kinds:
            self.count("damage: " + kind)

        before = collection_files(base)
        # The names each old collection may carry at the end: its own and those it was given.
        may_be_named = [{name} for _, name, _ in before]
        names = [name for _, name, _ in before]
        expected, friends, loaded_once, taken_back = set(), [], False, False
        folders = rng.sample(self.folders[DAMAGED_COLLECTIONS:], 6)
        for step in range(rng.randrange(3, 8)):
            what = rng.choices(["add", "rename", "friend-export", "collections", "list-all"],
                               [3, 3, 2, 1, 1])[0]
            if what == "add" and folders:
                new = rng.choice(["Added %d", "Added \u00e9\u00e8 %d", "Added; Disc %d"]) % step
                args = ["add", new, folders.pop()] + (["--id3"] if rng.random() < 0.3 else [])
            elif what == "rename":
                # Mostly a collection the files hold; now and then one no file holds.
                old = rng.choice(names) if names and rng.random() < 0.9 else "No Such Disc"
                new = rng.choice(["Renamed %d", "Renamed, \u00e4 %d", "Stored Disc %d"]) % step
                args = ["rename", old, new]
            elif what == "friend-export":
                friend = rng.choice(["Alice", "Bob", "Carol"])
                args = ["friend-export", friend, friend.lower() + "@example.com"]
            else:  # also an add with no folder left
                args = ["list-all" if what == "list-all" else "collections"]
            result = self.invoke(base, args, label, root)
            if result is None:
                continue
            stderr = result.stderr.decode(errors="replace")
            taken_back = taken_back or bool(COLLECTIONS_RESTORED.search(stderr))
            # Every exit but 1 comes after the catalogue has loaded.
            loaded_once = loaded_once or result.returncode != 1
            if args[0] == "add" and result.returncode == 0:
                expected.add(args[1])
                names.append(args[1])
            elif args[0] == "rename" and (result.returncode == 0 or
                                          "is changed to <%s>" % args[2] in stderr):
                for allowed in may_be_named:
                    if args[1] in allowed:
                        allowed.add(args[2])
                names = [args[2] if n == args[1] else n for n in names]
                expected.discard(args[1])
                if result.returncode == 0:
                    expected.add(args[2])
            elif args[0] == "friend-export" and result.returncode == 0:
                friends.append(args[1])

        final = self.invoke(base, ["collections"], label, root)
        if final is not None:
            taken_back = taken_back or bool(COLLECTIONS_RESTORED.search(
                final.stderr.decode(errors="replace")))
            self.check_final(final, base, label, root, expected, friends, loaded_once)
        if taken_back:
            self.count("trials with collections taken back")
        self.check_collections(before, may_be_named, base, label, root)
        shutil.rmtree(root)

    def check_final(self, final, base, label, root, expected, friends, loaded_once):
        stderr = final.stderr.decode(errors="replace")
        if final.returncode != 0:
            if "File Error" in stderr:
                self.count("catalogue refused with a File Error")
            else:
                self.problem("catalogue does not load, without a File Error", label,
                             stderr[-300:], root)
            if loaded_once:
                # A catalogue that loaded for one command must not be lost by the next.
                self.problem("catalogue loaded during the trial, not afterwards", label,
                             stderr[-300:], root)
            return
        self.count("catalogue loads afterwards")
        listed = listed_names(final.stdout)
        missing = sorted(expected - set(listed))
        if missing:
            self.problem("a reported add or rename is not in the catalogue", label,
                         "%r not in %r" % (missing, listed), root)
        for friend in friends:
            path = os.path.join(base, "friend", friend + ".txf")
            if not os.path.isfile(path) or not open(path, "rb").read().endswith(b"@*EOF"):
                self.problem("friend-export reports success without a whole file", label,
                             friend, root)
        # Not catalogue_state: a settings file that no command rewrote keeps its damage.
        settings = self.invoke(base, ["settings"], label, root)
        if settings is None or settings.returncode != 0:
            self.problem("settings do not load after the catalogue did", label,
                         settings.stderr.decode(errors="replace")[-300:] if settings else "",
                         root)
            return
        fields = dict(line.split("=", 1) for line in
                      settings.stdout.decode(errors="replace").splitlines() if "=" in line)
        count = int(fields["collectionCount"])
        files = {int(SAVE_NAME.match(e).group(1)): e
                 for e in os.listdir(os.path.join(base, "system")) if SAVE_NAME.match(e)}
        summary = []
        for number in range(1, count + 1):
            if number not in files:
                self.problem("catalogue lists a collection without a file", label, number, root)
                return
            with open(os.path.join(base, "system", files[number]), "rb") as f:
                name, records, ended = collection_summary(f.read())
            if not ended:
                self.problem("catalogue lists a collection file without an end", label,
                             files[number], root)
            summary.append((name, records))
        if listed != [name for name, _ in summary]:
            self.problem("loaded names differ from the files", label,
                         "%r vs %r" % (listed, summary), root)
        self.count("collection files beyond <tf>", len([n for n in files if n > count]))
        if fields["totalSongs"] != str(sum(records for _, records in summary)):
            self.count("song total not the records' count")

    def check_collections(self, before, may_be_named, base, label, root):
        after = collection_files(base)
        unmatched = list(after)
        replaced = []
        for (entry, name, body), allowed in zip(before, may_be_named):
            match = next((f for f in unmatched if f[2] == body and f[1] in allowed), None)
            if match:
                unmatched.remove(match)
            else:
                replaced.append("%s (%s)" % (entry, name))
        self.count("collection files replaced", len(replaced))
        if replaced:
            self.problem("collection file replaced or changed", label,
                         "%s; now %r" % (replaced, [(e, n) for e, n, _ in after]), root)

    def table(self):
        get = lambda key: self.figures.get(key, 0)
        return "\n".join([
            "| trials | commands | exit 0 / refused / file error / start-up failure "
            "| catalogue loads afterwards / File Error | collections taken back (trials) "
            "| crashes, sanitizer reports, hangs | collection files replaced |",
            "|---|---|---|---|---|---|---|",
            "| %d | %d | %d / %d / %d / %d | %d / %d | %d | **%d** | **%d** |" % (
                get("trials"), get("commands run") + get("hangs"), get("commands: exit 0"),
                get("commands: refused"), get("commands: file error"),
                get("commands: start-up failure"), get("catalogue loads afterwards"),
                get("catalogue refused with a File Error"),
                get("trials with collections taken back"),
                get("crashes") + get("hangs"), get("collection files replaced")),
            "collection files replaced: %d" % get("collection files replaced")])


# ---------------------------------------------------------------- main

def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--cli", required=True, help="tunex-cli for the catalogue trials")
    parser.add_argument("--tag-cli",
                        help="tunex-cli for the mp3, formats and damaged runs (an ASan build); "
                             "default --cli")
    parser.add_argument("--shipped-base", required=True, help="data/base of the source tree")
    parser.add_argument("--corpus", action="append", default=[],
                        help="extra folder of mp3 files (copied, never written)")
    parser.add_argument("--kill-trials", type=int, default=300, help="per command")
    parser.add_argument("--fsize-trials", type=int, default=100, help="per command")
    parser.add_argument("--tag-kill-trials", type=int, default=60,
                        help="per command of the tagwrite part")
    parser.add_argument("--tag-fsize-trials", type=int, default=30,
                        help="per command of the tagwrite part")
    parser.add_argument("--tag-command", action="append", choices=TAGWRITE_COMMANDS,
                        help="only the trials of this command in the tagwrite part")
    parser.add_argument("--trial", metavar="KIND:COMMAND:N",
                        help="run only this trial of the tagwrite part (with the same --seed)")
    parser.add_argument("--journal-trials", type=int, default=20,
                        help="kills on ntfs-3g and rounds of two writers in the journal part, "
                             "half as many kills on ext4 (0: no journal part)")
    parser.add_argument("--rename-trials", type=int, default=40,
                        help="kills of rename-from-tags in the rename part, half as many "
                             "file-size limits")
    parser.add_argument("--rename-files", type=int, default=3000,
                        help="mp3 files the rename part names from their tags")
    parser.add_argument("--damaged-trials", type=int, default=DAMAGED_TRIALS,
                        help="trials of the damaged part")
    parser.add_argument("--damaged-trial", type=int, metavar="N",
                        help="run only this trial of the damaged part (with the same --seed)")
    parser.add_argument("--format-damaged", type=int, default=30,
                        help="damaged files of each format besides mp3 in the formats part")
    parser.add_argument("--format-sample", type=int, default=0,
                        help="only this many files of the formats part, spread over it (0: all)")
    parser.add_argument("--format-file", metavar="FORMAT #N",
                        help="run only this file of the formats part (with the same --seed), "
                             "for example \"wv #9\" or \"flac tagged\"")
    parser.add_argument("--only", action="append",
                        choices=["kill", "fsize", "readonly", "mp3", "tagwrite", "damaged",
                                 "formats", "journal", "rename"])
    parser.add_argument("--seed", type=int, default=int(time.time()))
    parser.add_argument("--history-rows", type=int, default=20000)
    parser.add_argument("--mp3-sample", type=int, default=0,
                        help="only this many generated files, spread over the corpus (0: all)")
    parser.add_argument("--keep", action="store_true", help="keep the work folder")
    parser.add_argument("--json", help="write the figures here")
    args = parser.parse_args()
    parts = args.only or ["kill", "fsize", "readonly", "mp3", "formats", "tagwrite", "damaged",
                          "journal", "rename"]
    print("seed %d" % args.seed, flush=True)

    work = tempfile.mkdtemp(prefix="tunex-reliability-")
    figures, problems = {}, []
    try:
        if set(parts) - {"tagwrite", "damaged", "formats", "journal", "rename"}:
            template, media = build_template(args.cli, args.shipped_base, work, args.history_rows)
            ensure_media_readable(work)
        if set(parts) & {"kill", "fsize", "readonly"}:
            harness = Harness(args.cli, work, template, media, random.Random(args.seed), print)
            for part, trials, trial in (("kill", args.kill_trials, harness.kill_trial),
                                        ("fsize", args.fsize_trials, harness.fsize_trial)):
                if part not in parts:
                    continue
                for name in COMMANDS:
                    for _ in range(trials):
                        try:
                            trial(name)
                        except Failure as failure:
                            problems.append(str(failure))
            if "readonly" in parts:
                try:
                    harness.readonly_trials()
                except Failure as failure:
                    problems.append(str(failure))
            figures.update(harness.figures)
            figures["durations ms"] = {k: round(v * 1000, 1) for k, v in harness.duration.items()}
        if "mp3" in parts:
            corpus = os.path.join(work, "corpus")
            make_corpus(corpus, args.seed)
            sources = [os.path.join(corpus, f) for f in sorted(os.listdir(corpus))]
            if args.mp3_sample:
                sources = sources[::max(1, len(sources) // args.mp3_sample)][:args.mp3_sample]
            for extra in args.corpus:
                if os.path.isdir(extra):
                    sources += [os.path.join(extra, f) for f in sorted(os.listdir(extra))
                                if os.path.isfile(os.path.join(extra, f)) and
                                not f.endswith((".md", ".txt"))]
            mp3 = Mp3Run(args.tag_cli or args.cli, work, template, print)
            for source in sources:
                mp3.run_file(source)
            figures["mp3"] = mp3.figures
            problems += mp3.problems
        if "formats" in parts:
            formats = FormatsRun(args.tag_cli or args.cli, work, args.shipped_base, args.seed,
                                 args.keep, args.format_damaged, args.format_sample, args.format_file)
            for label, fmt, data, catalogued in formats.files:
                formats.run_file(label, fmt, data, catalogued)
            formats.catalogue()
            figures["formats"] = formats.figures
            problems += formats.problems()
        if "tagwrite" in parts:
            tagwrite = TagWriteRun(args.cli, work, args.shipped_base, args.seed, args.keep)
            if args.trial:
                kind, name, index = args.trial.split(":")
                trials = [(kind, name, int(index))]
            else:
                trials = [(kind, name, index)
                          for kind, count in (("kill", args.tag_kill_trials),
                                              ("fsize", args.tag_fsize_trials))
                          for name in TAGWRITE_COMMANDS for index in range(count)
                          if not args.tag_command or name in args.tag_command]
            for kind, name, index in trials:
                (tagwrite.kill_trial if kind == "kill" else tagwrite.fsize_trial)(name, index)
            if not args.trial:
                cover_trials.readonly_trial(tagwrite)
            figures["tagwrite"] = dict(tagwrite.figures, xattrs=tagwrite.xattrs,
                                       as_root=tagwrite.as_root, tree_bytes=tagwrite.tree_bytes,
                                       **{"durations ms": {k: round(v * 1000, 1) for k, v in
                                                           tagwrite.duration.items()}})
            print(tagwrite.table())
            problems += tagwrite.problems()
        if "damaged" in parts:
            damaged = DamagedRun(args.tag_cli or args.cli, work, args.shipped_base, args.seed,
                                 args.keep)
            for index in ([args.damaged_trial] if args.damaged_trial is not None
                          else range(args.damaged_trials)):
                damaged.trial(index)
            figures["damaged"] = dict(damaged.figures, **{
                "collection files replaced": damaged.figures.get("collection files replaced", 0)})
            print(damaged.table())
            problems += damaged.problems()
        if "journal" in parts and args.journal_trials:
            import journal_trials  # it builds on this module's helpers
            journal = journal_trials.JournalRun(args.cli, work, args.shipped_base, args.seed,
                                                args.journal_trials)
            journal.run_all()
            figures["journal"] = journal.figures
            print(journal.table())
            problems += journal.problems()
        if "rename" in parts and args.rename_trials:
            import rename_trials  # it builds on this module's helpers
            rename = rename_trials.RenameRun(args.cli, work, args.shipped_base, args.seed,
                                             args.rename_trials, args.rename_files)
            rename.run_all()
            figures["rename"] = rename.figures
            print(rename.table())
            problems += rename.problems()
    except Failure as failure:
        problems.append(str(failure))
    finally:
        if args.keep:
            print("work folder kept: " + work)
        else:
            shutil.rmtree(work, ignore_errors=True)

    print(json.dumps(figures, indent=2, sort_keys=True))
    if args.json:
        with open(args.json, "w") as out:
            json.dump(figures, out, indent=2, sort_keys=True)
    for problem in problems:
        print("PROBLEM: " + problem)
    print("%d problems" % len(problems))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
