#!/usr/bin/python3
"""Small audio files of every tagged format, and what an independent reader sees in them.

  audio_files.py make FORMAT PATH [JSON]   FORMAT: flac ogg oga opus m4a m4a-tail wma ape wv aiff wav
  audio_files.py view PATH

The files are built byte by byte, so the tests depend on no encoder; their "audio" is a
deterministic pattern nobody decodes, framed by headers both mutagen and TagLib accept. JSON, when
given, is an object of field -> list of strings in the format's own keys, plus "picture": true
(one cover picture), "replaygain": true (track gain and peak in the format's usual spelling) and
"padding": N (FLAC, Ogg, MP4: the bytes of padding mutagen leaves).
Initial tags are written by mutagen, never by the code under test.

view prints one fact a line, sorted: format=, id3= (ID3 chunk version), each value of each text
field as KEY=value (ID3 frames as stored, keyed TIT2, TXXX:desc, COMM:desc:lang; the empty slots of
an ASF content description left out), pictures=N and picture=<sha256> <mime>, for MP4 stco= (chunk offsets relative to the
mdat content, so a moved mdat whose offsets were not fixed shows), for Ogg ogg=ok when every page
has a right checksum and consecutive numbers, and audio=<sha256> of the audio payload alone.
"""

import base64
import hashlib
import io
import json
import struct
import sys
import zlib

import mutagen
from mutagen.aiff import AIFF
from mutagen.apev2 import APEValue, BINARY
from mutagen.asf import ASF, ASFByteArrayAttribute
from mutagen.flac import FLAC, Picture
from mutagen.id3 import APIC, COMM, TXXX, Frames
from mutagen.monkeysaudio import MonkeysAudio
from mutagen.mp4 import MP4, MP4Cover, MP4FreeForm
from mutagen.ogg import OggPage
from mutagen.oggflac import OggFLAC
from mutagen.oggopus import OggOpus
from mutagen.oggvorbis import OggVorbis
from mutagen.wave import WAVE
from mutagen.wavpack import WavPack

RATE = 44100
CHANNELS = 2


def fail(message):
    sys.stderr.write("audio_files.py: %s\n" % message)
    sys.exit(2)


def pattern(size, seed):
    """Deterministic bytes that never spell a tag signature (ID3, TAG, APETAGEX, OggS...)."""
    return bytes(0x80 + (i * 7 + seed * 13 + (i >> 5)) % 0x60 for i in range(size))


def png(blue=200):
    """A valid 4x4 RGB PNG."""
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    rows = b"".join(b"\0" + bytes(v for x in range(4) for v in (x * 60, y * 60, blue))
                    for y in range(4))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 4, 4, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


# --- Files from scratch --------------------------------------------------------------------------

def make_flac():
    total = RATE  # one second
    info = struct.pack(">HH", 4096, 4096) + b"\0\0\x10" + b"\0\x20\0"
    # 20 bits rate, 3 bits channels-1, 5 bits bps-1, 36 bits total samples
    packed = (RATE << 44) | ((CHANNELS - 1) << 41) | (15 << 36) | total
    info += struct.pack(">Q", packed) + hashlib.md5(b"tunex").digest()
    header = b"fLaC" + bytes([0x80]) + struct.pack(">I", len(info))[1:] + info
    frames = b"".join(b"\xff\xf8\x69\x18" + pattern(1020, n) for n in range(6))
    return header + frames


def ogg_pages(headers, header_pages, audio_packets, samples_per_packet):
    """Header packets on their pages (granule 0), then the audio packets a few to a page."""
    serial = 0x1D2C3B4A
    pages = []
    for packets in header_pages:
        page = OggPage()
        page.packets = [headers[i] for i in packets]
        page.position = 0
        pages.append(page)
    pages[0].first = True
    granule = 0
    for start in range(0, len(audio_packets), 3):
        page = OggPage()
        page.packets = audio_packets[start:start + 3]
        granule += samples_per_packet * len(page.packets)
        page.position = granule
        pages.append(page)
    pages[-1].last = True
    for sequence, page in enumerate(pages):
        page.serial = serial
        page.sequence = sequence
    return b"".join(page.write() for page in pages)


def make_ogg():
    ident = (b"\x01vorbis" + struct.pack("<IBIiiiBB", 0, CHANNELS, RATE, 0, 128000, 0, 0xB8, 1))
    vendor = b"Tunex test"
    comment = b"\x03vorbis" + struct.pack("<I", len(vendor)) + vendor + struct.pack("<I", 0) + b"\x01"
    setup = b"\x05vorbis" + pattern(300, 1)
    audio = [bytes([0]) + pattern(400 + n * 10, n) for n in range(9)]
    return ogg_pages([ident, comment, setup], [[0], [1, 2]], audio, 1024)


def make_oga():
    """FLAC in Ogg: the mapping's first packet holds STREAMINFO, the next the comment block."""
    flac = make_flac()
    info = flac[8:8 + 34]
    first = b"\x7fFLAC\x01\x00" + struct.pack(">H", 1) + b"fLaC" + b"\x00" + \
        struct.pack(">I", len(info))[1:] + info
    vendor = b"Tunex test"
    comment = struct.pack("<I", len(vendor)) + vendor + struct.pack("<I", 0)
    block = bytes([0x84]) + struct.pack(">I", len(comment))[1:] + comment
    frames = [b"\xff\xf8\x69\x18" + pattern(1020, n) for n in range(6)]
    return ogg_pages([first, block], [[0], [1]], frames, 4096)


def make_opus():
    head = b"OpusHead" + struct.pack("<BBHIhB", 1, CHANNELS, 312, 48000, 0, 0)
    vendor = b"Tunex test"
    tags = b"OpusTags" + struct.pack("<I", len(vendor)) + vendor + struct.pack("<I", 0)
    audio = [bytes([0xFC]) + pattern(300 + n * 10, n) for n in range(9)]
    return ogg_pages([head, tags], [[0], [1]], audio, 960)


def atom(kind, body):
    return struct.pack(">I", 8 + len(body)) + kind + body


def full_atom(kind, body, version=0, flags=0):
    return atom(kind, struct.pack(">I", (version << 24) | flags) + body)


def make_mp4(moov_first):
    chunks = [pattern(1024, n) for n in range(4)]
    samples = len(chunks)
    ftyp = atom(b"ftyp", b"M4A " + struct.pack(">I", 0) + b"M4A mp42isom")
    matrix = struct.pack(">9I", 0x10000, 0, 0, 0, 0x10000, 0, 0, 0, 0x40000000)

    def moov(chunk_offsets):
        mvhd = full_atom(b"mvhd", struct.pack(">IIII", 0, 0, 1000, 1000) +
                         struct.pack(">IH", 0x10000, 0x100) + b"\0" * 10 + matrix + b"\0" * 24 +
                         struct.pack(">I", 2))
        tkhd = full_atom(b"tkhd", struct.pack(">IIIII", 0, 0, 1, 0, 1000) + b"\0" * 8 +
                         struct.pack(">HHHH", 0, 0, 0x100, 0) + matrix + struct.pack(">II", 0, 0),
                         flags=7)
        mdhd = full_atom(b"mdhd", struct.pack(">IIIIHH", 0, 0, RATE, RATE, 0x55C4, 0))
        hdlr = full_atom(b"hdlr", struct.pack(">I", 0) + b"soun" + b"\0" * 12 + b"SoundHandler\0")
        esds = full_atom(b"esds", bytes([0x03, 0x19]) + struct.pack(">HB", 1, 0) +
                         bytes([0x04, 0x11, 0x40, 0x15]) + b"\0\x03\0" +
                         struct.pack(">II", 128000, 128000) + bytes([0x05, 0x02, 0x12, 0x10]) +
                         bytes([0x06, 0x01, 0x02]))
        mp4a = atom(b"mp4a", b"\0" * 6 + struct.pack(">H", 1) + b"\0" * 8 +
                    struct.pack(">HHHHI", CHANNELS, 16, 0, 0, RATE << 16) + esds)
        stsd = full_atom(b"stsd", struct.pack(">I", 1) + mp4a)
        stts = full_atom(b"stts", struct.pack(">III", 1, samples, RATE // samples))
        stsc = full_atom(b"stsc", struct.pack(">IIII", 1, 1, 1, 1))
        stsz = full_atom(b"stsz", struct.pack(">II", 0, samples) +
                         b"".join(struct.pack(">I", len(c)) for c in chunks))
        stco = full_atom(b"stco", struct.pack(">I", len(chunk_offsets)) +
                         b"".join(struct.pack(">I", o) for o in chunk_offsets))
        stbl = atom(b"stbl", stsd + stts + stsc + stsz + stco)
        smhd = full_atom(b"smhd", struct.pack(">HH", 0, 0))
        dref = full_atom(b"dref", struct.pack(">I", 1) + full_atom(b"url ", b"", flags=1))
        minf = atom(b"minf", smhd + atom(b"dinf", dref) + stbl)
        trak = atom(b"trak", tkhd + atom(b"mdia", mdhd + hdlr + minf))
        return atom(b"moov", mvhd + trak)

    mdat = atom(b"mdat", b"".join(chunks))
    relative = [sum(len(c) for c in chunks[:n]) for n in range(samples)]
    placeholder = moov(relative)
    if moov_first:
        start = len(ftyp) + len(placeholder) + 8
        return ftyp + moov([start + r for r in relative]) + mdat
    start = len(ftyp) + 8
    return ftyp + mdat + moov([start + r for r in relative])


def guid(text):
    """An ASF GUID from its usual spelling (first three groups little-endian)."""
    parts = text.split("-")
    return (struct.pack("<IHH", int(parts[0], 16), int(parts[1], 16), int(parts[2], 16)) +
            bytes.fromhex(parts[3] + parts[4]))


ASF_HEADER = guid("75B22630-668E-11CF-A6D9-00AA0062CE6C")
ASF_DATA = guid("75B22636-668E-11CF-A6D9-00AA0062CE6C")
ASF_DESCRIPTION = ("Title", "Author", "Copyright", "Description", "Rating")


def asf_object(kind, body):
    return kind + struct.pack("<Q", 24 + len(body)) + body


def make_wma():
    packet_size, packets = 512, 8
    file_id = guid("1C2B3A49-5867-4756-8A9B-ACBDCEDFE0F1")
    data_body = file_id + struct.pack("<QH", packets, 0x0101) + b"".join(
        b"\x82\0\0" + pattern(packet_size - 3, n) for n in range(packets))
    data = asf_object(ASF_DATA, data_body)
    duration = 10000000  # one second in 100 ns units
    file_props = asf_object(guid("8CABDCA1-A947-11CF-8EE4-00C00C205365"), file_id + struct.pack(
        "<QQQQQQIIII", 0, 0, packets, duration + 30000000, duration, 3000, 2, packet_size,
        packet_size, 128000))
    wave_format = struct.pack("<HHIIHHH", 0x0161, CHANNELS, RATE, 16000, packet_size, 16, 10)
    wave_format += b"\0" * 10
    stream_props = asf_object(guid("B7DC0791-A9B7-11CF-8EE6-00C00C205365"),
                              guid("F8699E40-5B4D-11CF-A8FD-00805F5C442B") +
                              guid("20FB5700-5B55-11CF-A8FD-00805F5C442B") +
                              struct.pack("<QIIHI", 0, len(wave_format), 0, 1, 0) + wave_format)
    extension = asf_object(guid("5FBF03B5-A92E-11CF-8EE3-00C00C205365"),
                           guid("ABD3D211-A9BA-11CF-8EE6-00C00C205365") + struct.pack("<HI", 6, 0))
    objects = [file_props, stream_props, extension]
    body = struct.pack("<IBB", len(objects), 1, 2) + b"".join(objects)
    header = asf_object(ASF_HEADER, body)
    # The file size in the file properties counts everything.
    size = len(header) + len(data)
    header = header.replace(file_id + struct.pack("<Q", 0), file_id + struct.pack("<Q", size), 1)
    return header + data


def make_ape():
    frames, blocks_per_frame, final_blocks = 3, 73728, 2000
    frame_data = b"".join(pattern(1200, n) for n in range(frames))
    seek_table = b""
    offset = 52 + 24 + 4 * frames
    for n in range(frames):
        seek_table += struct.pack("<I", offset + n * 1200)
    descriptor = b"MAC " + struct.pack("<HHIIIIIII", 3990, 0, 52, 24, len(seek_table), 0,
                                       len(frame_data), 0, 0) + hashlib.md5(frame_data).digest()
    header = struct.pack("<HHIIIHHI", 2000, 0, blocks_per_frame, final_blocks, frames, 16,
                         CHANNELS, RATE)
    return descriptor + header + seek_table + frame_data


def make_wv():
    blocks, samples = 4, 22050
    flags = 1 | 0x800 | 0x1000 | (9 << 23)  # 16-bit stereo, one block per channel set, 44.1 kHz
    out = b""
    for n in range(blocks):
        payload = pattern(1000, n)
        out += b"wvpk" + struct.pack("<IHBBIIIII", 24 + len(payload), 0x410, 0, 0, blocks * samples,
                                     n * samples, samples, flags, 0) + payload
    return out


def iff_chunk(kind, body, big_endian):
    size = struct.pack(">I" if big_endian else "<I", len(body))
    return kind + size + body + (b"\0" if len(body) % 2 else b"")


def make_aiff():
    sound = pattern(4096, 3)
    frames = len(sound) // (2 * CHANNELS)
    # 44100 as an 80-bit extended float: exponent 16383 + 15, mantissa 44100 << 48.
    rate = struct.pack(">HQ", 16383 + 15, RATE << 48)
    comm = iff_chunk(b"COMM", struct.pack(">hIh", CHANNELS, frames, 16) + rate, True)
    ssnd = iff_chunk(b"SSND", struct.pack(">II", 0, 0) + sound, True)
    body = b"AIFF" + comm + ssnd
    return b"FORM" + struct.pack(">I", len(body)) + body


def make_wav():
    sound = pattern(4096, 4)
    fmt = iff_chunk(b"fmt ", struct.pack("<HHIIHH", 1, CHANNELS, RATE, RATE * 4, 4, 16), False)
    data = iff_chunk(b"data", sound, False)
    body = b"WAVE" + fmt + data
    return b"RIFF" + struct.pack("<I", len(body)) + body


MAKERS = {
    "flac": make_flac, "ogg": make_ogg, "oga": make_oga, "opus": make_opus,
    "m4a": lambda: make_mp4(True), "m4a-tail": lambda: make_mp4(False),
    "wma": make_wma, "ape": make_ape, "wv": make_wv, "aiff": make_aiff, "wav": make_wav,
}


# --- Initial tags through mutagen ----------------------------------------------------------------

GAIN, PEAK = "-6.50 dB", "0.988525"


def flac_picture(back=False):
    picture = Picture()
    picture.type = 4 if back else 3
    picture.mime = "image/png"
    picture.desc = "back" if back else "cover"
    picture.width, picture.height, picture.depth = 4, 4, 24
    picture.data = png(100) if back else png()
    return picture


def tag_vorbis(f, fields, picture, replaygain, opus=False):
    for key, values in fields.items():
        f[key] = values
    if replaygain:
        if opus:
            f["R128_TRACK_GAIN"] = ["-1664"]
        else:
            f["REPLAYGAIN_TRACK_GAIN"] = [GAIN]
            f["REPLAYGAIN_TRACK_PEAK"] = [PEAK]
    if picture:
        pictures = [flac_picture()] + ([flac_picture(True)] if picture == 2 else [])
        if isinstance(f, FLAC):
            for one in pictures:
                f.add_picture(one)
        else:
            f["METADATA_BLOCK_PICTURE"] = [base64.b64encode(p.write()).decode() for p in pictures]


def mp4_value(key, values):
    if key in ("trkn", "disk"):
        pairs = []
        for v in values:
            number, _, total = v.partition("/")
            pairs.append((int(number), int(total or 0)))
        return pairs
    if key == "tmpo":
        return [int(v) for v in values]
    if key.startswith("----:"):
        return [MP4FreeForm(v.encode("utf-8")) for v in values]
    return values


def tag_mp4(f, fields, picture, replaygain):
    if f.tags is None:
        f.add_tags()
    for key, values in fields.items():
        f[key] = mp4_value(key, values)
    if replaygain:
        f["----:com.apple.iTunes:replaygain_track_gain"] = [MP4FreeForm(GAIN.encode())]
        f["----:com.apple.iTunes:replaygain_track_peak"] = [MP4FreeForm(PEAK.encode())]
    if picture:
        f["covr"] = [MP4Cover(png(), imageformat=MP4Cover.FORMAT_PNG)] + (
            [MP4Cover(png(100), imageformat=MP4Cover.FORMAT_PNG)] if picture == 2 else [])


def asf_picture(back=False):
    def utf16z(text):
        return text.encode("utf-16-le") + b"\0\0"
    data = png(100) if back else png()
    return struct.pack("<BI", 4 if back else 3, len(data)) + utf16z("image/png") + utf16z("cover") + data


def tag_asf(f, fields, picture, replaygain):
    for key, values in fields.items():
        f[key] = values
    if replaygain:
        f["REPLAYGAIN_TRACK_GAIN"] = [GAIN]
        f["REPLAYGAIN_TRACK_PEAK"] = [PEAK]
    if picture:
        f["WM/Picture"] = [ASFByteArrayAttribute(asf_picture())] + (
            [ASFByteArrayAttribute(asf_picture(True))] if picture == 2 else [])


def tag_ape(f, fields, picture, replaygain):
    if f.tags is None:
        f.add_tags()
    for key, values in fields.items():
        f[key] = values
    if replaygain:
        f["REPLAYGAIN_TRACK_GAIN"] = GAIN
        f["REPLAYGAIN_TRACK_PEAK"] = PEAK
    if picture:
        f["Cover Art (Front)"] = APEValue(b"cover.png\0" + png(), BINARY)
        if picture == 2:
            f["Cover Art (Back)"] = APEValue(b"back.png\0" + png(100), BINARY)


def id3_frame(key, values):
    kind, _, rest = key.partition(":")
    if kind == "TXXX":
        return TXXX(encoding=3, desc=rest, text=values)
    if kind == "COMM":
        desc, _, lang = rest.partition(":")
        return COMM(encoding=3, lang=lang or "eng", desc=desc, text=values)
    if kind not in Frames:
        fail("no ID3 frame %r" % key)
    if kind.startswith("W"):
        return Frames[kind](url=values[0])
    return Frames[kind](encoding=3, text=values)


def tag_id3(f, fields, picture, replaygain):
    if f.tags is None:
        f.add_tags()
    for key, values in fields.items():
        f.tags.add(id3_frame(key, values))
    if replaygain:
        f.tags.add(TXXX(encoding=3, desc="REPLAYGAIN_TRACK_GAIN", text=[GAIN]))
        f.tags.add(TXXX(encoding=3, desc="REPLAYGAIN_TRACK_PEAK", text=[PEAK]))
    if picture:
        f.tags.add(APIC(encoding=3, mime="image/png", type=3, desc="cover", data=png()))
        if picture == 2:
            f.tags.add(APIC(encoding=3, mime="image/png", type=4, desc="back", data=png(100)))


TAGGERS = {
    "flac": (FLAC, tag_vorbis), "ogg": (OggVorbis, tag_vorbis), "oga": (OggFLAC, tag_vorbis),
    "opus": (OggOpus, lambda f, *a: tag_vorbis(f, *a, opus=True)),
    "m4a": (MP4, tag_mp4), "m4a-tail": (MP4, tag_mp4), "wma": (ASF, tag_asf),
    "ape": (MonkeysAudio, tag_ape), "wv": (WavPack, tag_ape),
    "aiff": (AIFF, tag_id3), "wav": (WAVE, tag_id3),
}


def make(fmt, path, tags_json):
    if fmt not in MAKERS:
        fail("unknown format %r (one of %s)" % (fmt, ", ".join(sorted(MAKERS))))
    with open(path, "wb") as out:
        out.write(MAKERS[fmt]())
    try:
        fields = json.loads(tags_json) if tags_json else {}
    except ValueError as e:
        fail("bad JSON: %s" % e)
    picture = int(fields.pop("picture", 0))  # 2: a back cover too
    replaygain = bool(fields.pop("replaygain", False))
    padding = fields.pop("padding", None)
    if not fields and not picture and not replaygain:
        return
    for key, values in fields.items():
        if not isinstance(values, list) or not all(isinstance(v, str) for v in values):
            fail("field %r needs a list of strings" % key)
    kind, tagger = TAGGERS[fmt]
    try:
        f = kind(path)
        tagger(f, fields, picture, replaygain)
        if fmt in ("aiff", "wav"):
            f.save(v2_version=3)
        elif padding is not None:
            f.save(padding=lambda info: padding)
        else:
            f.save()
    except Exception as e:
        fail("mutagen cannot tag the %s file: %s: %s" % (fmt, type(e).__name__, e))


# --- The independent view ------------------------------------------------------------------------

def sha(data):
    return hashlib.sha256(data).hexdigest()


def strip_id3v1_and_apev2(data):
    """The bytes before trailing ID3v1 and APEv2 tags, in either order. The APE footer is looked
    for first: in an APE tag of 131 bytes the "TAG" of its header's "APETAGEX" lies 128 bytes
    from the end and would pass for an ID3v1 tag."""
    while True:
        if len(data) >= 32 and data[-32:-24] == b"APETAGEX":
            size, _, flags = struct.unpack("<III", data[-20:-8])
            start = len(data) - size - (32 if flags & 0x80000000 else 0)
            if start < 0:
                fail("APEv2 tag larger than the file")
            data = data[:start]
        elif len(data) >= 128 and data[-128:-125] == b"TAG":
            data = data[:-128]
        else:
            return data


def flac_audio(data):
    pos = 0
    if data[:3] == b"ID3":
        size = 0
        for b in data[6:10]:
            size = size * 128 + b
        pos = 10 + size
    if data[pos:pos + 4] != b"fLaC":
        fail("no fLaC marker")
    pos += 4
    while True:
        header = data[pos:pos + 4]
        if len(header) < 4:
            fail("metadata blocks run past the end")
        pos += 4 + struct.unpack(">I", b"\0" + header[1:])[0]
        if header[0] & 0x80:
            return data[pos:]


def ogg_facts(data, header_count):
    stream = io.BytesIO(data)
    pages, problems = [], []
    while True:
        try:
            page = OggPage(stream)
        except EOFError:
            break
        raw = data[page.offset:stream.tell()]
        if page.write() != raw:
            problems.append("checksum of page %d" % page.sequence)
        if page.sequence != len(pages):
            problems.append("page %d numbered %d" % (len(pages), page.sequence))
        pages.append(page)
    if not pages or not pages[-1].last:
        problems.append("no end-of-stream page")
    packets = OggPage.to_packets(pages)
    digest = hashlib.sha256()
    for packet in packets[header_count:]:
        digest.update(struct.pack("<I", len(packet)) + packet)
    return ["ogg=" + ("ok" if not problems else "bad " + ", ".join(problems)),
            "audio=" + digest.hexdigest()]


def mp4_atoms(data, start, end):
    pos = start
    while pos + 8 <= end:
        size, kind = struct.unpack(">I4s", data[pos:pos + 8])
        header = 8
        if size == 1:
            size, header = struct.unpack(">Q", data[pos + 8:pos + 16])[0], 16
        elif size == 0:
            size = end - pos
        if size < header or pos + size > end:
            fail("MP4 atom %r at %d has a bad size" % (kind, pos))
        yield kind, pos + header, pos + size
        pos += size


def mp4_facts(data):
    mdat = None
    offsets = []
    for kind, body, end in mp4_atoms(data, 0, len(data)):
        if kind == b"mdat":
            mdat = (body, end)
        elif kind == b"moov":
            def walk(start, stop):
                for k, b, e in mp4_atoms(data, start, stop):
                    if k in (b"trak", b"mdia", b"minf", b"stbl"):
                        walk(b, e)
                    elif k in (b"stco", b"co64"):
                        count = struct.unpack(">I", data[b + 4:b + 8])[0]
                        wide = k == b"co64"
                        step = 8 if wide else 4
                        for n in range(count):
                            at = b + 8 + n * step
                            offsets.append(struct.unpack(">Q" if wide else ">I",
                                                         data[at:at + step])[0])
            walk(body, end)
    if mdat is None:
        fail("no mdat atom")
    relative = ",".join(str(o - mdat[0]) for o in offsets)
    return ["stco=" + relative, "audio=" + sha(data[mdat[0]:mdat[1]])]


def asf_audio(data):
    pos = 0
    while pos + 24 <= len(data):
        kind, size = struct.unpack("<16sQ", data[pos:pos + 24])
        if size < 24:
            fail("ASF object with a bad size at %d" % pos)
        if kind == ASF_DATA:
            return data[pos + 24:pos + size]
        pos += size
    fail("no ASF data object")


def iff_chunks(data, big_endian):
    pos = 12
    while pos + 8 <= len(data):
        kind = data[pos:pos + 4]
        size = struct.unpack(">I" if big_endian else "<I", data[pos + 4:pos + 8])[0]
        yield kind, data[pos + 8:pos + 8 + size]
        pos += 8 + size + (size & 1)


def iff_audio(data, big_endian, name):
    for kind, body in iff_chunks(data, big_endian):
        if kind == name:
            return body
    fail("no %r chunk" % name)


def picture_line(data, mime):
    return "picture=%s %s" % (sha(data), mime)


def text_of(value):
    if isinstance(value, bytes):
        return value.decode("utf-8", "replace")
    return str(value)


def view(path):
    data = open(path, "rb").read()
    try:
        f = mutagen.File(path)
    except Exception as e:
        fail("mutagen cannot read %s: %s: %s" % (path, type(e).__name__, e))
    if f is None:
        fail("mutagen does not know the format of %s" % path)
    facts, pictures = [], []
    tags = f.tags
    if isinstance(f, FLAC) or isinstance(f, (OggVorbis, OggOpus, OggFLAC)):
        facts.append("format=" + {FLAC: "flac", OggVorbis: "ogg", OggOpus: "opus",
                                  OggFLAC: "oga"}[type(f)])
        for key, value in (tags or []):
            if key.upper() == "METADATA_BLOCK_PICTURE":
                picture = Picture(base64.b64decode(value))
                pictures.append(picture_line(picture.data, picture.mime))
            else:
                facts.append("%s=%s" % (key, value))
        if isinstance(f, FLAC):
            for picture in f.pictures:
                pictures.append(picture_line(picture.data, picture.mime))
            facts.append("audio=" + sha(flac_audio(data)))
        else:
            facts += ogg_facts(data, 3 if isinstance(f, OggVorbis) else 2)
    elif isinstance(f, MP4):
        facts.append("format=mp4")
        for key, values in (tags or {}).items():
            for value in values:
                if key == "covr":
                    mime = "image/png" if value.imageformat == MP4Cover.FORMAT_PNG else "image/jpeg"
                    pictures.append(picture_line(bytes(value), mime))
                elif key in ("trkn", "disk"):
                    facts.append("%s=%d/%d" % (key, value[0], value[1]))
                else:
                    facts.append("%s=%s" % (key, text_of(value)))
        facts += mp4_facts(data)
    elif isinstance(f, ASF):
        facts.append("format=asf")
        for key, values in (tags or {}).items():
            for value in values:
                if key == "WM/Picture":
                    raw = value.value
                    size = struct.unpack("<I", raw[1:5])[0]
                    end = raw.index(b"\0\0", 5)
                    end += (end - 5) % 2  # UTF-16 units
                    pictures.append(picture_line(raw[-size:], raw[5:end].decode("utf-16-le")))
                elif key in ASF_DESCRIPTION and not value.value:
                    continue  # the description object always has these five slots
                else:
                    facts.append("%s=%s" % (key, text_of(value.value)))
        facts.append("audio=" + sha(asf_audio(data)))
    elif isinstance(f, (MonkeysAudio, WavPack)):
        facts.append("format=" + ("ape" if isinstance(f, MonkeysAudio) else "wv"))
        for key, value in (tags or {}).items():
            if value.kind == BINARY:
                name, _, body = bytes(value).partition(b"\0")
                if key.lower().startswith("cover art"):
                    pictures.append(picture_line(body, name.decode("utf-8", "replace")))
                else:
                    facts.append("%s=<binary %s>" % (key, sha(bytes(value))))
            else:
                for item in value:
                    facts.append("%s=%s" % (key, item))
        facts.append("audio=" + sha(strip_id3v1_and_apev2(data)))
    elif isinstance(f, (AIFF, WAVE)):
        facts.append("format=" + ("aiff" if isinstance(f, AIFF) else "wav"))
        # The frames as stored: no v2.3 frame renamed to its v2.4 successor.
        tags = type(f)(path, translate=False).tags
        if tags is not None:
            facts.append("id3=2.%d" % tags.version[1])
            for frame in tags.values():
                if frame.FrameID == "APIC":
                    pictures.append(picture_line(frame.data, frame.mime))
                elif hasattr(frame, "url"):
                    key = frame.HashKey if frame.FrameID == "WXXX" else frame.FrameID
                    facts.append("%s=%s" % (key, frame.url))
                elif hasattr(frame, "text"):
                    for value in frame.text:
                        facts.append("%s=%s" % (frame.HashKey, value))
                else:
                    facts.append("%s=<frame %s>" % (frame.HashKey, sha(frame._writeData())))
        if isinstance(f, AIFF):
            facts.append("audio=" + sha(iff_audio(data, True, b"SSND")))
        else:
            facts.append("audio=" + sha(iff_audio(data, False, b"data")))
    else:
        fail("%s is a %s, not one of the formats here" % (path, type(f).__name__))
    facts.append("pictures=%d" % len(pictures))
    facts += pictures
    sys.stdout.write("".join(line + "\n" for line in sorted(facts)))


def main(argv):
    sys.stdout.reconfigure(encoding="utf-8")
    if len(argv) in (3, 4) and argv[0] == "make":
        make(argv[1], argv[2], argv[3] if len(argv) == 4 else "")
    elif len(argv) == 2 and argv[0] == "view":
        view(argv[1])
    else:
        fail("usage: make FORMAT PATH [JSON] | view PATH")


if __name__ == "__main__":
    main(sys.argv[1:])
