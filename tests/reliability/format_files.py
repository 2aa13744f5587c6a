"""Files of the tagged formats besides mp3 for the reliability runs: made, seen through mutagen,
judged after a tag write, and damaged at random.

The files themselves come from tests/support/audio_files.py (its makers, and mutagen for the
initial tags); this module adds what the runs need on top: the keys of the editor's fields in each
format, a judge of a written file against its view before, and the damage.
"""

import contextlib
import io
import json
import os
import struct
import sys
import tempfile

SUPPORT = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support")

# audio_files.py's format -> (extension, tag family).
FORMATS = {
    "flac": ("flac", "vorbis"), "ogg": ("ogg", "vorbis"), "oga": ("oga", "vorbis"),
    "opus": ("opus", "vorbis"),
    "m4a": ("m4a", "mp4"), "m4a-tail": ("m4a", "mp4"), "wma": ("wma", "asf"),
    "ape": ("ape", "ape"), "wv": ("wv", "ape"), "aiff": ("aiff", "id3"), "wav": ("wav", "id3"),
}
EXTENSIONS = tuple(sorted({"." + ext for ext, _ in FORMATS.values()}))

# The keys under which each family keeps the tag editor's fields, as mutagen's view names them:
# title, artist and album first. A write may change only these; every other line must stay.
EDITOR_KEYS = {
    "vorbis": ["TITLE", "ARTIST", "ALBUM", "COMMENT", "DESCRIPTION", "DATE", "YEAR",
               "TRACKNUMBER", "GENRE", "COMPOSER", "PUBLISHER", "LABEL", "ORGANIZATION",
               "COPYRIGHT", "ALBUMARTIST", "DISCNUMBER"],
    "ape": ["TITLE", "ARTIST", "ALBUM", "COMMENT", "YEAR", "TRACK", "GENRE", "COMPOSER",
            "PUBLISHER", "FILE", "COPYRIGHT", "ALBUM ARTIST", "DISC"],
    "mp4": ["\u00a9nam", "\u00a9ART", "\u00a9alb", "\u00a9cmt", "\u00a9day", "trkn", "\u00a9gen",
            "gnre", "\u00a9wrt", "cprt", "aART", "disk"],
    "asf": ["Title", "Author", "WM/AlbumTitle", "Description", "WM/Year", "WM/TrackNumber",
            "WM/Genre", "WM/Composer", "WM/Publisher", "WM/AudioFileURL", "Copyright",
            "WM/AlbumArtist", "WM/PartOfSet"],
    "id3": ["TIT2", "TPE1", "TALB", "COMM:", "TYER", "TDRC", "TRCK", "TCON", "TCOM", "TPUB",
            "WOAF", "TCOP", "TPE2", "TPOS"],
}
FIELD_INDEX = {"title": 0, "artist": 1, "album": 2}

# Keys the initial tags use beside the editor's: a field nobody edits, the year and the track.
SOURCE_KEYS = {
    "vorbis": ("TITLE", "ARTIST", "ALBUM", "MOOD", "DATE", "TRACKNUMBER"),
    "ape": ("Title", "Artist", "Album", "Mood", "Year", "Track"),
    "mp4": ("\u00a9nam", "\u00a9ART", "\u00a9alb", "----:com.apple.iTunes:MOOD", "\u00a9day",
            "trkn"),
    "asf": ("Title", "Author", "WM/AlbumTitle", "WM/Mood", "WM/Year", "WM/TrackNumber"),
    "id3": ("TIT2", "TPE1", "TALB", "TXXX:MOOD", "TYER", "TRCK"),
}

_support = None


def support():
    """tests/support/audio_files.py, imported on first use: it needs mutagen."""
    global _support
    if _support is None:
        sys.path.insert(0, os.path.normpath(SUPPORT))
        import audio_files
        _support = audio_files
    return _support


def family_of(fmt):
    return FORMATS[fmt][1]


def source_tags(fmt, title, artist, album, extras=True):
    """audio_files.py's JSON for a tagged file: the three fields and, with extras, a field the
    editor does not know, a year, a track, a cover picture and ReplayGain."""
    keys = SOURCE_KEYS[family_of(fmt)]
    tags = {keys[0]: [title], keys[1]: [artist], keys[2]: [album]}
    if extras:
        tags.update({keys[3]: ["calm"], keys[4]: ["1999"], keys[5]: ["3/12"],
                     "picture": True, "replaygain": True})
        if family_of(fmt) == "vorbis":
            tags[keys[1]] = [artist, "Second Artist"]  # shown and catalogued joined by "; "
    return tags


def make_bytes(fmt, tags=None):
    handle, path = tempfile.mkstemp(suffix="." + FORMATS[fmt][0])
    os.close(handle)
    try:
        support().make(fmt, path, json.dumps(tags) if tags else "")
        with open(path, "rb") as f:
            return f.read()
    finally:
        os.unlink(path)


def view(path):
    """mutagen's view of the file as audio_files.py prints it, one fact a line; None when mutagen
    cannot read it."""
    out = io.StringIO()
    try:
        with contextlib.redirect_stdout(out), contextlib.redirect_stderr(io.StringIO()):
            support().view(path)
    except (SystemExit, Exception):
        return None
    return out.getvalue().splitlines()


def editor_key(family, key):
    """The key as EDITOR_KEYS spells it when it holds an editor field, else None."""
    if family in ("vorbis", "ape"):
        key = key.upper()
    elif family == "id3" and key.startswith("COMM::"):
        key = "COMM:"  # a comment without a description: the one the editor shows
    return key if key in EDITOR_KEYS[family] else None


def split_view(lines, family):
    """(editor field lines by key, every other line) of a view."""
    fields, rest = {}, []
    for line in lines:
        key, _, value = line.partition("=")
        name = editor_key(family, key)
        if name is None:
            rest.append(line)
        else:
            fields.setdefault(name, []).append(value)
    return fields, sorted(rest)


def malformed_key(line):
    """A key no tag of these formats may hold: a Vorbis comment key must be ASCII from space to
    "}", and the others are ASCII too. Readers differ on what to do with such a field. mutagen
    shows a byte of a Vorbis comment key that is not ASCII as "?"."""
    key = line.partition("=")[0]
    return any(not 0x20 <= ord(c) <= 0x7D for c in key.replace("\u00a9", "")) or \
        key.startswith("----::") or "::" in key[5:] or "?" in key


MALFORMED_KEY_LOST = "a field with a malformed key lost or renamed"


def judge_write(before, after, fmt, expected=None, strict=True):
    """(kind, text) of what is wrong with a written file, or None. `expected` maps "title",
    "artist" and "album" to their new values; without it the write was a clear and no editor
    field may be left. The audio, the pictures, every other field and the editor fields not named
    stay as they were. Not `strict` (a damaged file): what mutagen saw before must still be
    there, but it may now see more, where the write mended a structure mutagen could not follow."""
    if after is None:
        return "mutagen cannot read the written file", ""
    family = family_of(fmt)
    old_fields, old_rest = split_view(before, family)
    new_fields, new_rest = split_view(after, family)
    audio = [line for line in old_rest if line.startswith(("audio=", "stco=", "format="))]
    if "ogg=ok" in old_rest:
        audio.append("ogg=ok")
    lost_audio = [line for line in audio if line not in new_rest]
    if lost_audio:
        return "audio changed", "%s, now %s" % (lost_audio, [
            line for line in new_rest if line.startswith(("audio=", "stco=", "ogg="))])
    # The health of damaged Ogg pages before the write is no promise about them after it.
    ignored = ("ogg=", "pictures=")
    # A file without an ID3 chunk gets one, and a clear may leave none.
    if expected is None or not any(line.startswith("id3=") for line in old_rest):
        ignored += ("id3=",)
    old_rest = [line for line in old_rest if not line.startswith(ignored)]
    new_rest = [line for line in new_rest if not line.startswith(ignored)]
    lost = [line for line in old_rest if old_rest.count(line) > new_rest.count(line)]
    gained = [line for line in new_rest if new_rest.count(line) > old_rest.count(line)]
    if lost or (strict and gained):
        kind = "another field or a picture lost or changed"
        if lost and all(malformed_key(line) for line in lost):
            kind = MALFORMED_KEY_LOST
        return kind, "lost %s, gained %s" % (lost[:4], gained[:4])
    if expected is None:
        return ("fields left after a clear", "%r" % new_fields) if new_fields else None
    wanted = dict(old_fields)
    for field, value in expected.items():
        wanted[EDITOR_KEYS[family][FIELD_INDEX[field]]] = [value]
    if not strict:
        new_fields = {key: values for key, values in new_fields.items() if key in wanted}
    if new_fields != wanted:
        return "editor fields not as written", "%r, expected %r" % (new_fields, wanted)
    return None


# ---------------------------------------------------------------- structure, for the damage

def ogg_crc(page):
    crc = 0
    for byte in page:
        crc ^= byte << 24
        for _ in range(8):
            crc = ((crc << 1) ^ 0x04C11DB7) if crc & 0x80000000 else crc << 1
            crc &= 0xFFFFFFFF
    return crc


def ogg_pages(data):
    """(offset, segment count, whole size) of each page that parses from the start."""
    pages, pos = [], 0
    while pos + 27 <= len(data) and data[pos:pos + 4] == b"OggS":
        count = data[pos + 26]
        lacing = data[pos + 27:pos + 27 + count]
        if len(lacing) < count:
            break
        size = 27 + count + sum(lacing)
        pages.append((pos, count, size))
        pos += size
    return pages


def reseal_ogg_page(data, pos):
    """A page's checksum made right again, so that a reader goes on into what was changed."""
    pages = [p for p in ogg_pages(bytes(data)) if p[0] == pos]
    if not pages or pos + pages[0][2] > len(data):
        return
    size = pages[0][2]
    data[pos + 22:pos + 26] = b"\0\0\0\0"
    data[pos + 22:pos + 26] = struct.pack("<I", ogg_crc(bytes(data[pos:pos + size])))


def flac_blocks(data):
    """(header offset, type, length) of each metadata block, after any ID3v2 tag before it."""
    pos = 0
    if data[:3] == b"ID3" and len(data) >= 10:
        pos = 10 + sum((b & 0x7F) << (7 * (3 - i)) for i, b in enumerate(data[6:10]))
    if data[pos:pos + 4] != b"fLaC":
        return []
    pos += 4
    blocks = []
    while pos + 4 <= len(data):
        header = data[pos]
        length = int.from_bytes(data[pos + 1:pos + 4], "big")
        blocks.append((pos, header & 0x7F, length))
        pos += 4 + length
        if header & 0x80:
            break
    return blocks


MP4_CONTAINERS = {b"moov", b"trak", b"mdia", b"minf", b"stbl", b"udta", b"ilst", b"dinf"}


def mp4_atoms(data, start=0, end=None, parent=b"", found=None):
    """(offset, kind, size, parent kind) of every atom that parses, depth first."""
    end = len(data) if end is None else end
    found = [] if found is None else found
    pos = start
    while pos + 8 <= end:
        size, kind = struct.unpack(">I4s", data[pos:pos + 8])
        if size < 8 or pos + size > end:
            break
        found.append((pos, kind, size, parent))
        if kind in MP4_CONTAINERS or parent == b"ilst":
            mp4_atoms(data, pos + 8, pos + size, kind, found)
        elif kind == b"meta":
            mp4_atoms(data, pos + 12, pos + size, kind, found)
        pos += size
    return found


def asf_objects(data):
    """(offset, size) of the header object and of each object inside it."""
    if len(data) < 30:
        return []
    found = [(0, struct.unpack("<Q", data[16:24])[0])]
    pos, end = 30, min(len(data), found[0][1])
    while pos + 24 <= end:
        size = struct.unpack("<Q", data[pos + 16:pos + 24])[0]
        if size < 24:
            break
        found.append((pos, size))
        pos += size
    return found


def ape_tag_span(data):
    """(start, footer offset) of an APEv2 tag at the end (before an ID3v1 tag), or None."""
    end = len(data) - 128 if len(data) >= 128 and data[-128:-125] == b"TAG" else len(data)
    footer = end - 32
    if footer < 0 or data[footer:footer + 8] != b"APETAGEX":
        return None
    size, _, flags = struct.unpack("<III", data[footer + 12:footer + 24])
    start = end - size - (32 if flags & 0x80000000 else 0)
    return (max(start, 0), footer)


def iff_chunks(data, big_endian):
    """(offset, kind, size) of each chunk inside the FORM or RIFF chunk."""
    found, pos = [], 12
    while pos + 8 <= len(data):
        size = struct.unpack(">I" if big_endian else "<I", data[pos + 4:pos + 8])[0]
        found.append((pos, data[pos:pos + 4], size))
        pos += 8 + size + (size & 1)
    return found


def metadata_span(data, fmt):
    """Where the format keeps its headers and tag: the bytes a flip is aimed at."""
    if fmt == "flac":
        blocks = flac_blocks(data)
        if blocks:
            return blocks[0][0] - 4, blocks[-1][0] + 4 + blocks[-1][2]
    elif fmt in ("ogg", "oga", "opus"):
        pages = ogg_pages(data)
        if len(pages) >= 3:
            return 0, pages[2][0]  # two pages of headers
    elif fmt.startswith("m4a"):
        for pos, kind, size, parent in mp4_atoms(data):
            if kind == b"moov":
                return pos, pos + size
    elif fmt == "wma":
        objects = asf_objects(data)
        if objects:
            return 0, objects[0][1]
    elif fmt in ("ape", "wv"):
        span = ape_tag_span(data)
        if span:
            return span[0], len(data)
    elif fmt in ("aiff", "wav"):
        for pos, kind, size in iff_chunks(data, fmt == "aiff"):
            if kind in (b"ID3 ", b"id3 "):
                return pos, pos + 8 + size
    return 0, min(len(data), 64)


# ---------------------------------------------------------------- damage

ODD_SIZES32 = [0, 1, 7, 8, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFF0]
DAMAGE_KINDS = ["truncated", "bytes flipped", "size field", "other content", "duplicated",
                "junk added"]


def odd_size(rng, size, limit=0xFFFFFFFF):
    value = rng.choice(ODD_SIZES32 + [size - 1, size + 1, size + 8, size * 2, size // 2,
                                      size + rng.randrange(1, 5000)])
    return max(0, min(value, limit))


def put(data, pos, fmt_code, value):
    width = struct.calcsize(fmt_code)
    if 0 <= pos and pos + width <= len(data):
        data[pos:pos + width] = struct.pack(fmt_code, value)


def damage_sizes(data, fmt, rng):
    """One size or count field of the format's structure given an odd value; text of what."""
    if fmt == "flac":
        blocks = flac_blocks(bytes(data))
        if not blocks:
            return None
        pos, kind, length = rng.choice(blocks)
        body = pos + 4
        choice = rng.randrange(4)
        if kind == 4 and choice == 0 and length >= 8:
            # The vendor string's length, or the count or length of the comments after it.
            vendor = struct.unpack("<I", bytes(data[body:body + 4]))[0]
            at = rng.choice([body, body + 4 + vendor, body + 8 + vendor])
            put(data, at, "<I", odd_size(rng, length))
            return "comment block length field at %d" % at
        if kind == 6 and choice == 0 and length >= 8:
            mime = struct.unpack(">I", bytes(data[body + 4:body + 8]))[0]
            at = rng.choice([body + 4, body + 8 + mime])
            put(data, at, ">I", odd_size(rng, length))
            return "picture block length field at %d" % at
        if choice == 1:
            data[pos] ^= 0x80
            return "last-block flag of block %d toggled" % kind
        data[pos + 1:pos + 4] = odd_size(rng, length, 0xFFFFFF).to_bytes(3, "big")
        return "length of block type %d set to %d" % (kind, int.from_bytes(data[pos + 1:pos + 4],
                                                                           "big"))
    if fmt in ("ogg", "oga", "opus"):
        pages = ogg_pages(bytes(data))[:3]
        if not pages:
            return None
        pos, count, size = rng.choice(pages)
        choice = rng.randrange(5)
        if choice == 0:
            data[pos + 26] = rng.choice([0, 1, 255, max(0, count - 1), count + 1])
            what = "segment count"
        elif choice == 1 and count:
            data[pos + 27 + rng.randrange(count)] = rng.choice([0, 1, 254, 255])
            what = "a lacing value"
        elif choice == 2:
            data[pos + 5] = rng.choice([0, 1, 2, 4, 7, 0xFF])
            what = "header type"
        elif choice == 3:
            put(data, pos + 18, "<I", rng.choice([0, 5, 0xFFFFFFFF]))
            what = "page number"
        else:
            # The comment packet's own lengths: vendor, count, first comment.
            heads = (b"\x03vorbis", b"OpusTags")
            packet = next((p for p in pages
                           if bytes(data[p[0] + 27 + p[1]:p[0] + 35 + p[1]]).startswith(heads)),
                          None)
            if packet is None:
                return None
            body = packet[0] + 27 + packet[1] + (7 if fmt == "ogg" else 8)
            vendor = struct.unpack("<I", bytes(data[body:body + 4]))[0]
            at = rng.choice([body, body + 4 + vendor, body + 8 + vendor])
            put(data, at, "<I", odd_size(rng, packet[2]))
            pos, what = packet[0], "comment length field at %d" % at
        reseal_ogg_page(data, pos)
        return "%s of the page at %d (checksum made right)" % (what, pos)
    if fmt.startswith("m4a"):
        atoms = mp4_atoms(bytes(data))
        if not atoms:
            return None
        pos, kind, size, parent = rng.choice([a for a in atoms if a[1] != b"mdat"] or atoms)
        if kind in (b"stco", b"data", b"hdlr") and rng.random() < 0.5:
            put(data, pos + 12, ">I", odd_size(rng, size))
            return "count or type of %r at %d" % (kind, pos)
        put(data, pos, ">I", odd_size(rng, size))
        return "size of %r (in %r) at %d" % (kind, parent, pos)
    if fmt == "wma":
        objects = asf_objects(bytes(data))
        if not objects:
            return None
        pos, size = rng.choice(objects)
        if pos == 0 and rng.random() < 0.5:
            put(data, 24, "<I", rng.choice([0, 1, 2, 200, 0xFFFFFFFF]))
            return "object count of the header"
        put(data, pos + 16, "<Q", rng.choice([0, 23, 24, size - 1, size + 1, 1 << 40,
                                               (1 << 64) - 1]))
        return "size of the object at %d" % pos
    if fmt in ("ape", "wv"):
        span = ape_tag_span(bytes(data))
        choice = rng.randrange(3)
        if span and choice < 2:
            start, footer = span
            if choice == 0:
                at = rng.choice([footer + 12, footer + 16, start + 12, start + 16])
                put(data, at, "<I", odd_size(rng, footer - start))
                return "size or item count of the APE tag at %d" % at
            items = start + (32 if data[start:start + 8] == b"APETAGEX" else 0)
            put(data, items, "<I", odd_size(rng, footer - items))
            return "length of the first APE item"
        if fmt == "wv":
            put(data, 4, "<I", odd_size(rng, 1024))
            return "size of the first WavPack block"
        at = rng.choice([8, 12, 16, 20, 24])
        put(data, at, "<I", odd_size(rng, 64))
        return "descriptor field at %d" % at
    if fmt in ("aiff", "wav"):
        big = fmt == "aiff"
        chunks = iff_chunks(bytes(data), big)
        choice = rng.randrange(4)
        if choice == 0 or not chunks:
            put(data, 4, ">I" if big else "<I", odd_size(rng, len(data)))
            return "size of the outer chunk"
        pos, kind, size = rng.choice(chunks)
        if kind in (b"ID3 ", b"id3 ") and choice == 1:
            # The ID3v2 header inside the chunk: a tag size past the chunk's end.
            data[pos + 14:pos + 18] = bytes(rng.randrange(128) for _ in range(4))
            return "ID3v2 tag size inside the chunk at %d" % pos
        put(data, pos + 4, ">I" if big else "<I", odd_size(rng, size))
        return "size of chunk %r at %d" % (kind, pos)
    return None


def duplicate_unit(data, fmt, rng):
    """A block, page, atom, object or chunk written twice in a row."""
    if fmt == "flac":
        blocks = flac_blocks(bytes(data))
        if not blocks:
            return None
        pos, kind, length = rng.choice(blocks)
        unit = bytes(data[pos:pos + 4 + length])
        unit = bytes([unit[0] & 0x7F]) + unit[1:]
        data[pos:pos] = unit
        return "block type %d twice" % kind
    if fmt in ("ogg", "oga", "opus"):
        pages = ogg_pages(bytes(data))[:3]
        if not pages:
            return None
        pos, _, size = rng.choice(pages)
        data[pos:pos] = data[pos:pos + size]
        return "page at %d twice" % pos
    if fmt.startswith("m4a"):
        atoms = [a for a in mp4_atoms(bytes(data)) if a[1] in (b"udta", b"meta", b"ilst") or
                 a[3] == b"ilst"]
        if not atoms:
            return None
        pos, kind, size, parent = rng.choice(atoms)
        data[pos:pos] = data[pos:pos + size]
        return "atom %r twice (parents not resized)" % kind
    if fmt == "wma":
        objects = asf_objects(bytes(data))[1:]
        if not objects:
            return None
        pos, size = rng.choice(objects)
        data[pos:pos] = data[pos:pos + size]
        return "object at %d twice (header not resized)" % pos
    if fmt in ("ape", "wv"):
        span = ape_tag_span(bytes(data))
        if not span:
            return None
        data[span[0]:span[0]] = data[span[0]:span[1] + 32]
        return "APE tag twice"
    if fmt in ("aiff", "wav"):
        chunks = iff_chunks(bytes(data), fmt == "aiff")
        if not chunks:
            return None
        pos, kind, size = rng.choice(chunks)
        data[pos:pos] = data[pos:pos + 8 + size + (size & 1)]
        return "chunk %r twice" % kind
    return None


def damage(data, fmt, rng, others):
    """`data` damaged in one or two ways chosen by `rng`; `others` maps a name to bytes of another
    content (other formats, an mp3). Returns the bytes and what was done."""
    data = bytearray(data)
    done = []
    for kind in rng.sample(DAMAGE_KINDS, rng.choice([1, 1, 2])):
        span = metadata_span(bytes(data), fmt)
        if kind == "truncated":
            inside = rng.random() < 0.6 and span[1] > span[0]
            cut = rng.randrange(span[0], span[1]) if inside else rng.randrange(len(data) + 1)
            del data[cut:]
            done.append("cut to %d bytes" % cut)
        elif kind == "bytes flipped":
            flips = rng.randrange(1, 9)
            low, high = span[0], min(span[1], len(data))
            for _ in range(flips if data else 0):
                inside = high > low and rng.random() < 0.8
                data[rng.randrange(low, high) if inside else rng.randrange(len(data))] = \
                    rng.randrange(256)
            done.append("%d bytes overwritten in %d..%d" % (flips, span[0], span[1]))
        elif kind == "size field":
            what = damage_sizes(data, fmt, rng)
            if what:
                done.append(what)
        elif kind == "other content":
            choice = rng.randrange(5)
            if choice == 0:
                data = bytearray()
                done.append("zero-length")
            elif choice == 1:
                keep = rng.choice([4, 8, 12, 16, 30])
                del data[keep:]
                done.append("only the first %d bytes" % keep)
            elif choice == 2:
                name = rng.choice(sorted(others))
                data = bytearray(others[name])
                done.append("the content of %s" % name)
            elif choice == 3:
                name = rng.choice(sorted(others))
                half = len(data) // 2
                data = data[:half] + bytearray(others[name][half:])
                done.append("first half kept, the rest from %s" % name)
            else:
                size = rng.randrange(1, 20000)
                data = bytearray(rng.randbytes(size))
                done.append("%d random bytes" % size)
        elif kind == "duplicated":
            what = duplicate_unit(data, fmt, rng)
            if what:
                done.append(what)
        elif kind == "junk added":
            junk = rng.randbytes(rng.randrange(1, 5000))
            if rng.random() < 0.5:
                data += junk
                done.append("%d random bytes appended" % len(junk))
            else:
                data[0:0] = junk
                done.append("%d random bytes put in front" % len(junk))
    return bytes(data), "; ".join(done) or "unchanged"
