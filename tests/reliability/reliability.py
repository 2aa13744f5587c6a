#!/usr/bin/python3
"""Crash-safety checks for tunex-cli.

  kill      commands killed with SIGKILL after a random delay
  fsize     the same commands under a random file-size limit (a full disk)
  readonly  the same commands on a base folder the process cannot write
  mp3       every tag operation over broken and unusual mp3 files

After every trial the catalogue must load and hold exactly the state before the command or the
state an uninterrupted run leaves, and a tag write must leave the audio bytes as they were.
Standard library only, plus python3-mutagen as the independent tag reader for the mp3 run.
"""

import argparse
import hashlib
import json
import os
import random
import re
import resource
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

TEMP_NAME = re.compile(r"^\..+\.[A-Za-z0-9]{6}$")
SAVE_NAME = re.compile(r"^save(\d{4})\.ifo$")
SANITIZER_REPORT = re.compile(r"ERROR: AddressSanitizer|runtime error:|LeakSanitizer")
TIMEOUT = 60


class Failure(Exception):
    pass


def run_cli(cli, args, timeout=TIMEOUT, **kwargs):
    return subprocess.run([cli] + args, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=timeout, **kwargs)


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


def catalogue_state(cli, base):
    """What a start-up sees, checked against what the files hold; raises on any damage."""
    collections = run_cli(cli, ["--base", base, "collections"])
    settings = run_cli(cli, ["--base", base, "settings"])
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
    listed = collections.stdout.decode(errors="replace").splitlines()
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
        "v22.mp3": id3v22([("TT2", b"\x00Old title"), ("TP1", b"\x00Old artist"),
                           ("COM", b"\x00eng\x00c"), ("PIC", b"\x00PNG\x00\x00")]) + audio,
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
        env = dict(os.environ, ASAN_OPTIONS="detect_leaks=0:abort_on_error=0",
                   UBSAN_OPTIONS="print_stacktrace=1")
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


# ---------------------------------------------------------------- main

def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--cli", required=True, help="tunex-cli for the catalogue trials")
    parser.add_argument("--tag-cli", help="tunex-cli for the mp3 run (an ASan build); default --cli")
    parser.add_argument("--shipped-base", required=True, help="data/base of the source tree")
    parser.add_argument("--corpus", action="append", default=[],
                        help="extra folder of mp3 files (copied, never written)")
    parser.add_argument("--kill-trials", type=int, default=300, help="per command")
    parser.add_argument("--fsize-trials", type=int, default=100, help="per command")
    parser.add_argument("--only", action="append",
                        choices=["kill", "fsize", "readonly", "mp3"])
    parser.add_argument("--seed", type=int, default=int(time.time()))
    parser.add_argument("--history-rows", type=int, default=20000)
    parser.add_argument("--mp3-sample", type=int, default=0,
                        help="only this many generated files, spread over the corpus (0: all)")
    parser.add_argument("--keep", action="store_true", help="keep the work folder")
    parser.add_argument("--json", help="write the figures here")
    args = parser.parse_args()
    parts = args.only or ["kill", "fsize", "readonly", "mp3"]
    print("seed %d" % args.seed, flush=True)

    work = tempfile.mkdtemp(prefix="tunex-reliability-")
    figures, problems = {}, []
    try:
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
