"""The cover batch in the `tagwrite` part of reliability.py: `tags cover FOLDER --set IMAGE` is
killed and cut short like the other tag writes there; here are what it adds: the image it sets, the
check of a written file of another format (every other picture, field and the audio kept, the
front cover the image), undo after each trial, and a file the process may not write.
"""

import hashlib
import os
import random
import shutil
import subprocess

import reliability as rel

IMAGE_NAME = "cover.jpg"


def image_bytes():
    """A JPEG of 600x600 by its header, and enough bytes behind it that every tag must grow."""
    rng = random.Random(600)
    header = b"\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00"
    frame = b"\xff\xc0\x00\x11\x08\x02\x58\x02\x58\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01"
    return header + frame + b"\xff\xda\x00\x08\x01\x01\x00\x00\x3f\x00" + \
        bytes(rng.randrange(0x80) for _ in range(48 * 1024)) + b"\xff\xd9"


IMAGE_SHA = hashlib.sha256(image_bytes()).hexdigest()


def lay_down_image(root):
    path = os.path.join(root, IMAGE_NAME)
    with open(path, "wb") as out:
        out.write(image_bytes())
    os.chmod(path, 0o644)
    return path


def judge_format(before, after):
    """What is wrong with a file of another format after the batch, or None: the image is its
    front cover, and nothing but pictures changed (the picture count stays or grows by one)."""
    if after is None:
        return "mutagen cannot read the written file"
    if not any(line.startswith("picture=" + IMAGE_SHA + " ") for line in after):
        return "the image is not among its pictures"

    def rest(view):
        return sorted(line for line in view if not line.startswith(("picture=", "pictures=")))

    if rest(before) != rest(after):
        lost = [line for line in rest(before) if line not in rest(after)]
        return "a field or the audio changed: lost %s" % lost[:4]
    count = {int(line.split("=")[1]) for line in before if line.startswith("pictures=")}
    now = {int(line.split("=")[1]) for line in after if line.startswith("pictures=")}
    if not now or not count or not (min(count) <= min(now) <= min(count) + 1):
        return "pictures %s became %s" % (sorted(count), sorted(now))
    return None


def undo_all(run, trial, label):
    """One undo takes the batch back: every file ends as it was before the trial."""
    result = subprocess.run([run.cli, "--base", trial.base, "tags", "undo"],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=rel.TIMEOUT,
                            env=trial.env)
    after = rel.tree_snapshot(trial.music, run.xattrs)
    changed = sorted(r for r, f in after[1].items() if f["sha"] != trial.before[1][r]["sha"])
    if changed:
        run.problem("cover undo leaves files changed", label, "exit %d, %s: %s" % (
            result.returncode, ", ".join(changed[:3]),
            result.stderr.decode(errors="replace")[-200:]), trial)
    else:
        run.count("cover: undo gave back every byte")


def readonly_trial(run):
    """A file the process may not write (as nobody when we are root) is named and left as it
    was; every other file is set, and undo takes them back."""
    trial = rel.Trial(run, "readonly", "cover")
    # A file that differs from the reference only in its own bytes.
    target = next(r for r, f in sorted(trial.before[1].items())
                  if f["nlink"] == 1 and r.endswith(".mp3"))
    drop = None
    if run.as_root:
        os.chmod(run.work, 0o755)  # for nobody to reach the trial
        for folder, dirs, files in os.walk(trial.root):
            for entry in dirs + files:
                os.lchown(os.path.join(folder, entry), rel.NOBODY, rel.NOBODY)
        os.lchown(trial.root, rel.NOBODY, rel.NOBODY)
        drop = (rel.NOBODY, rel.NOBODY)
    os.chmod(os.path.join(trial.music, target), 0o444)
    trial.before = rel.tree_snapshot(trial.music, run.xattrs)

    def as_nobody():
        if drop:
            os.setgroups([])
            os.setgid(drop[1])
            os.setuid(drop[0])

    label = "read-only %s" % target
    result = run.run(trial, preexec_fn=as_nobody)
    stderr = result.stderr.decode(errors="replace")
    after = rel.tree_snapshot(trial.music, run.xattrs)
    if after[1][target]["sha"] != trial.before[1][target]["sha"]:
        run.problem("cover writes a read-only file", label, target, trial)
    if result.returncode != 3 or os.path.basename(target) not in stderr:
        run.problem("cover does not name a read-only file", label,
                    "exit %d: %s" % (result.returncode, stderr[-300:]), trial)
    new = run.reference[("cover", None)]
    wrong = sorted(r for r, s in run.state_of(after, new, trial).items()
                   if s == "damaged" or (s == "old" and r != target and
                                         new[r] != trial.before[1][r]["sha"]))
    if wrong:
        run.problem("cover read-only trial leaves other files unwritten", label,
                    ", ".join(wrong[:3]), trial)
    result = subprocess.run([run.cli, "--base", trial.base, "tags", "undo"],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=rel.TIMEOUT,
                            env=trial.env, preexec_fn=as_nobody)
    if rel.tree_snapshot(trial.music, run.xattrs)[1] != trial.before[1]:
        run.problem("cover undo after a read-only file leaves files changed", label,
                    result.stderr.decode(errors="replace")[-300:], trial)
    else:
        run.count("cover readonly: file left alone and named, the rest undone")
    shutil.rmtree(trial.root)
