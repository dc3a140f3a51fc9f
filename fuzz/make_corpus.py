#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into fuzz/corpus/<target>/.

Seeds are named seed-*; inputs that once made a target fail are kept beside
them as regression-* and are never touched here. Each input layout is the
one described at the top of its target's source file.
"""

import pathlib
import struct

CORPUS = pathlib.Path(__file__).resolve().parent / "corpus"
BLOCK = 1024


def sum8(data):
    return sum(data) & 0xFF


def sum16(data):
    return sum(data) & 0xFFFF


def blocks_of(length):
    return (length + BLOCK - 1) // BLOCK


def pattern(length, step=31):
    return bytes((i * step + i // BLOCK) & 0xFF for i in range(length))


# Frames the tool sends.


def gbe():
    return b"GBE\x01" + b"KOSMA_QRN\x00".ljust(32, b"\x00")


def mbe(image, tag=b"LD", address=0x10000000):
    return (b"MBE" + tag + struct.pack(">HII", blocks_of(len(image)), address, len(image))
            + struct.pack(">H", sum16(image)))


def blk(number, data):
    return (b"BLK" + struct.pack(">HH", number, len(data)) + data.ljust(BLOCK, b"\x00")
            + bytes([sum8(data)]))


def update(image):
    frames = gbe() + mbe(image)
    for number in range(blocks_of(len(image))):
        frames += blk(number, image[number * BLOCK:(number + 1) * BLOCK])
    return frames + b"MEN" + b"GEN"


# A block the box sends back: its checksum covers the frame's first 1031 bytes.


def box_block(number, data, good=True):
    frame = b"BLK" + struct.pack(">HH", number, len(data)) + data.ljust(BLOCK, b"\x00")
    return frame + bytes([(sum8(frame) + (0 if good else 1)) & 0xFF])


class Provider:
    """Builds an input the way FuzzedDataProvider takes it apart: bytes and
    strings from the front, integers from the back, little-endian, the first
    one taken at the very end."""

    def __init__(self):
        self.front = b""
        self.back = []

    def integer(self, value, low, high):
        span = high - low
        width = (span.bit_length() + 7) // 8
        self.back.append((value - low).to_bytes(width, "little"))

    def boolean(self, value):
        self.integer(1 if value else 0, 0, 255)

    def raw(self, data):
        self.front += data

    def string(self, text):
        self.front += text.replace(b"\\", b"\\\\") + b"\\x"

    def build(self, rest=b""):
        return self.front + rest + b"".join(reversed(self.back))


U32 = (0, 2**32 - 1)
I32 = (-(2**31), 2**31 - 1)


def write(target, name, data):
    directory = CORPUS / target
    directory.mkdir(parents=True, exist_ok=True)
    (directory / ("seed-" + name)).write_bytes(data)


def receive_stream_seeds():
    t = "receive_stream_fuzzer"

    def seed(name, stream, image_class=0, lengths=(), restart=False):
        control = len(lengths) | (image_class << 3) | (0x20 if restart else 0)
        write(t, name, bytes([control, *lengths]) + stream)

    acks = lambda n: b"ACK\r\n" * n
    seed("boot", b"BOOT")
    seed("update-one-block", b"BOOT\r\n" + acks(5), image_class=1)
    seed("update-four-blocks-in-pieces", b"BOOT\r\n" + acks(8), image_class=3, lengths=(0, 3, 1))
    seed("naks-then-acks", b"BOOT" + b"NAK" + b"ACK" + b"NAK" + b"ACK" + b"ACK" + b"NAK"
         + b"ACK" + b"ACK" + b"ACK", image_class=2, lengths=(2,))
    seed("readback-good-blocks", b"BOOT\r\nACK" + box_block(0, pattern(BLOCK, 7))
         + box_block(1, pattern(300, 11)) + b"MEN" + b"ACK", image_class=1, lengths=(99, 200, 30))
    seed("readback-bad-checksum", b"BOOTACK" + box_block(0, pattern(BLOCK, 5), good=False)
         + box_block(0, pattern(BLOCK, 5)) + b"MEN\r\nACK", lengths=(255, 6))
    seed("console-text-and-failed-module-end", b">> menu\r\n\x00ready\nBOOT\r\nAC" + b"K\r\n"
         + b"ACK" + b"ACK" + b"NAK", lengths=(4, 1))
    seed("restart", b"BOOT\r\nACKACK" + b"BOOT\r\nACKACKACKACKACK", image_class=1,
         restart=True)


def image_file_seeds():
    t = "image_file_fuzzer"

    def header(kind, free=b"\x00" * 4, gap=b"\x00\x00"):
        return b"ZKMR" + free + b"29" + gap + kind

    write(t, "load-header", header(b"LOAD") + pattern(200))
    write(t, "appl-header", header(b"APPL", b"\x01\x02\x03\x04", b"ab") + pattern(BLOCK + 5))
    write(t, "ldap-header", header(b"LDAP"))
    write(t, "bad-kind", header(b"LDAX") + pattern(40))
    write(t, "bad-version", b"ZKMR\x00\x00\x00\x0028\x00\x00LOAD")
    write(t, "short", b"ZKMR\x00\x00\x00\x0029")
    write(t, "empty", b"")


def settings_seeds():
    t = "settings_reader_fuzzer"

    def seed(name, section, key, fallback, capacity, contents):
        p = Provider()
        p.string(section)
        p.string(key)
        p.string(fallback)
        p.integer(capacity, 0, 300)
        write(t, name, p.build(contents))

    seed("loader-version", b"LOADER VERSION", b"Version", b"", 32,
         b"[LOADER VERSION]\r\nVersion=KOSMA_QRN 1.23 build 7\r\n")
    seed("quoted-value-other-case", b"loader version", b"VERSION", b"none", 12,
         b"; settings\n[Other]\nVersion=no\n[ Loader Version ]\n  version = \"  spaced  \"\n")
    seed("missing-key", b"LOADER VERSION", b"Version", b"fallback value", 5,
         b"[LOADER VERSION]\nRelease=2\n\n[LOADER VERSION\nVersion\n")
    seed("no-capacity", b"S", b"K", b"x", 0, b"[S]\nK=value\n")
    seed("long-value", b"LOADER VERSION", b"Version", b"", 300,
         b"[LOADER VERSION]\nVersion=" + b"0123456789" * 8 + b"\n")


def boxsim_seeds():
    t = "boxsim_parser_fuzzer"

    def seed(name, stream, switches=0, more=0x20, lengths=()):
        write(t, name, bytes([switches, more, len(lengths), *lengths]) + stream)

    image = pattern(1500)
    seed("update", update(image))
    seed("update-in-pieces-with-silences", update(image), lengths=(0x80 | 40, 6, 0x7F))
    seed("naks-on-header-and-block-1", gbe() + mbe(image) + mbe(image) + blk(0, image[:BLOCK])
         + blk(1, image[BLOCK:]) + blk(1, image[BLOCK:]) + b"MEN" + b"GEN", switches=0x20)
    seed("readback", gbe() + mbe(image) + b"ACK" + b"ACK" + b"ACK" + b"GEN", switches=0x02,
         more=0x20 | 0x03, lengths=(0x80 | 52, 2, 0x80 | 2))
    seed("readback-bad-block", gbe() + mbe(image) + b"GEN", switches=0x02,
         more=0x20 | 0x02 | 0x04, lengths=(0x80 | 52,))
    seed("bench-two-updates", update(image) + update(pattern(100, 3)), switches=0x01,
         more=0x20 | 0x40)
    seed("cancel", gbe() + mbe(image) + blk(0, image[:BLOCK]) + b"CNL", more=0x40)
    seed("garbage-and-partial", b"xyz" + gbe() + b"NAK" + b"\r\n" + b"BL", lengths=(1, 2))
    seed("vanish-at-module-end", update(pattern(BLOCK)), switches=0x80)
    seed("shaped-answers", update(pattern(BLOCK)), switches=0x04 | 0x08 | 0x10, more=0x30)


def frame_codec_seeds():
    t = "frame_codec_fuzzer"

    def seed(name, type_, rest=b"", empty=0, kind=0, loader=b"", address=b"", block_count=0,
             block_number=0, block_size=0, image=None, image_length=0, data=None,
             data_length=0, out_size=4096, tag_size=2, split=0):
        p = Provider()
        p.boolean(True)
        p.integer(type_, 0, 8)
        p.boolean(empty == 0)
        if empty != 0:
            p.integer(empty, *U32)
        p.integer(kind, *I32)
        p.raw(loader.ljust(33, b"\x00"))
        p.raw(address.ljust(31, b"\x00"))
        p.integer(block_count, *U32)
        p.integer(block_number, *U32)
        p.boolean(True)
        p.integer(block_size, 0, 2 * BLOCK)
        p.boolean(image is not None)
        if image is not None:
            p.integer(len(image), 0, 4096)
            p.raw(image)
        else:
            p.integer(image_length, *U32)
        p.boolean(data is not None)
        if data is not None:
            p.integer(len(data), 0, 2 * BLOCK + 8)
            p.raw(data)
        else:
            p.integer(data_length, *U32)
        p.integer(min(out_size, 2 * (BLOCK + 8) + 16), 0, 2 * (BLOCK + 8) + 16)
        p.integer(tag_size, 0, 4)
        p.integer(split, 0, 2**16 - 1)
        write(t, name, p.build(rest))

    image = pattern(300)
    seed("gbe", 0, b"BOOT", loader=b"KOSMA_QRN\x00 1.23")
    seed("mbe", 1, b"ACK\r\n", kind=1, address=b"0x10000000", block_count=1, image=image,
         split=2)
    seed("mbe-empty-slot", 1, b"NAK", empty=1, kind=3, address=b"0x10010000")
    seed("mbe-missing-image", 1, b">> ", kind=2, image_length=590848, out_size=17)
    seed("blk-full", 2, b"BLK" + bytes(5), block_number=7, block_size=BLOCK,
         data=pattern(BLOCK), out_size=4097)
    seed("blk-short", 2, b"MEN", block_number=64, block_size=BLOCK, data=pattern(10),
         out_size=BLOCK + 8)
    seed("blk-longer-than-its-area", 2, b"1f2E0x", block_size=16, data=pattern(17))
    seed("blk-buffer-too-small", 2, b"fFfF0000aa", block_size=BLOCK, data=pattern(BLOCK),
         out_size=BLOCK + 7)
    seed("commands", 6, b"GEN", out_size=3)


if __name__ == "__main__":
    receive_stream_seeds()
    image_file_seeds()
    settings_seeds()
    boxsim_seeds()
    frame_codec_seeds()
