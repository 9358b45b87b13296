#!/usr/bin/env python3
"""Writes the seeds of the FAT fuzz targets into tests/fuzz/corpus/: small volumes whose
directories and FATs hold the cases the FAT engine must take: a chain that runs into a free
cluster, into a bad one, onto a reserved value, past the last cluster and around a loop; a
long-name piece numbered 0 right after a complete long name (with its checksum) and one
numbered 21; deleted pieces right before a live entry; names with "/", a control character
and a byte code page 1252 lacks; a Greek long name; a deleted file whose clusters a live
file took. fat_walk_fuzz and fat_chain_fuzz read the volume of fat_volume.h (four bytes of
layout, then the sectors from the FAT on); fat_volume_fuzz reads whole images, made here by
mkfs.fat and cut after a few clusters. Run it again only to remake them (needs mkfs.fat).
Usage: tests/fuzz/make_fat_seeds.py"""
import os
import shutil
import struct
import subprocess
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
CORPUS = os.path.join(ROOT, "tests", "fuzz", "corpus")
AT = [1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30]


def checksum(name11):
    s = 0
    for b in name11:
        s = (((s & 1) << 7) + (s >> 1) + b) & 0xFF
    return s


def short(name11, attr=0x20, cluster=0, size=0):
    e = bytearray(32)
    e[0:11] = name11
    e[11] = attr
    struct.pack_into("<HHI", e, 20, cluster >> 16, 0, 0)
    struct.pack_into("<HI", e, 26, cluster & 0xFFFF, size)
    return bytes(e)


def pieces(name, name11, deleted=False):
    """The long-name pieces of `name` for the short name `name11`, last piece first."""
    units = [ord(c) for c in name] + [0]
    units += [0xFFFF] * (-len(units) % 13)
    count = len(units) // 13
    out = b""
    for k in range(count, 0, -1):
        e = bytearray(32)
        e[0] = 0xE5 if deleted else (k | (0x40 if k == count else 0))
        e[11], e[13] = 0x0F, checksum(name11)
        for i, at in enumerate(AT):
            struct.pack_into("<H", e, at, units[(k - 1) * 13 + i])
        out += e
    return out


def piece(ord_, name11, text):
    return bytes([ord_]) + pieces(text, name11)[-31:]


def root_entries(first, bad_file_cluster):
    """The root's entries; clusters from `first`: a file, a directory, a deleted file."""
    a, d, gone, b = first, first + 2, first + 4, first + 5
    good, live = b"GOOD    TXT", b"LIVE    TXT"
    return b"".join([
        short(b"A       BIN", 0x20, a, 3 * 512),              # runs into a free cluster
        pieces("Ελληνικό αρχείο.txt", b"GREEK~1 TXT") + short(b"GREEK~1 TXT", 0x20, bad_file_cluster, 2048),
        pieces("deleted name.txt", live, deleted=True) + short(live),  # deleted pieces, live entry
        pieces("good.txt", good) + piece(0x20, good, "AAAAAAAAAAAAA") + short(good),
        piece(0x55, b"BIG     TXT", "x") + short(b"BIG     TXT"),  # piece 21
        short(b"A/\x01\x9D    BIN"),
        short(b"DIR        ", 0x10, d),
        short(b"\xE5LD     BIN", 0x20, gone, 3 * 512),        # its clusters: B.BIN took one
        short(b"B       BIN", 0x20, b, 512),
    ])


def directory(self_cluster, parent, loop_file):
    return b"".join([short(b".          ", 0x10, self_cluster), short(b"..         ", 0x10, parent),
                     short(b"LOOP    BIN", 0x20, loop_file, 4096)])


def fuzz_volume(kind, count, bits):
    """A volume of fat_volume.h: FAT `kind` (0, 1, 2), `count` clusters of one sector."""
    head = bytes([kind, 0, (count - 1) & 0xFF, ((count - 1) >> 8) & 1])
    fat_sectors = (count + 2) * bits // 8 // 512 + 1
    root_sectors = 0 if kind == 2 else 1
    first = 3 if kind == 2 else 2            # FAT32: the root is cluster 2
    data = fat_sectors + root_sectors
    image = bytearray((data + count) * 512)
    end, bad, reserved = (1 << min(bits, 28)) - 1, (1 << min(bits, 28)) - 9, (1 << min(bits, 28)) - 16

    def link(n, v):
        if bits == 12:
            at = n * 3 // 2
            old = struct.unpack_from("<H", image, at)[0]
            v = (old & 0xF) | (v << 4) if n % 2 else (old & 0xF000) | v
            struct.pack_into("<H", image, at, v)
        else:
            struct.pack_into("<H" if bits == 16 else "<I", image, n * bits // 8, v)

    def cluster(n):
        return (data + n - 2) * 512

    link(0, end - 7), link(1, end)
    a, d, gone, b = first, first + 2, first + 4, first + 5
    link(a, a + 1), link(a + 1, count)                   # A.BIN: into the free last cluster
    link(d, end)                                         # DIR
    link(b, end)                                         # B.BIN, inside the deleted file's run
    loop = first + 8
    link(loop, loop + 1), link(loop + 1, loop + 2), link(loop + 2, loop)  # a loop
    bad_file = first + 12
    link(bad_file, bad_file + 1), link(bad_file + 1, bad)  # into a bad cluster ...
    link(bad_file + 2, reserved), link(bad_file + 3, end + 5 if bits == 32 else count + 40)
    entries = root_entries(first, bad_file)
    if kind == 2:
        link(2, end)
        image[cluster(2):cluster(2) + len(entries)] = entries
    else:
        image[fat_sectors * 512:fat_sectors * 512 + len(entries)] = entries
    sub = directory(d, 0, loop)
    image[cluster(d):cluster(d) + len(sub)] = sub
    # 4 KiB, the targets' longest input: the FAT, the root and the first clusters; the others
    # read as missing.
    return (head + bytes(image))[:4096]


def whole_image(fat, sectors, options, keep):
    """A volume made by mkfs.fat with the root's cases poked in, cut after `keep` sectors."""
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "v.img")
        subprocess.run(["mkfs.fat", "-C", "-F", str(fat)] + options + [path, str(sectors // 2)],
                       check=True, stdout=subprocess.DEVNULL)
        image = bytearray(open(path, "rb").read())
    rsvd, nfats, rootents = struct.unpack_from("<HBH", image, 14)
    fatsz = struct.unpack_from("<H", image, 22)[0]
    spc = image[13]
    root = rsvd + nfats * fatsz
    data = root + (rootents * 32 + 511) // 512
    bits = 12 if fat == 12 else 16

    def link(n, v):
        for k in range(nfats):
            base = (rsvd + k * fatsz) * 512
            if bits == 12:
                at = base + n * 3 // 2
                old = struct.unpack_from("<H", image, at)[0]
                w = (old & 0xF) | (v << 4) if n % 2 else (old & 0xF000) | v
                struct.pack_into("<H", image, at, w)
            else:
                struct.pack_into("<H", image, base + n * 2, v)

    end = (1 << bits) - 1
    link(2, 3), link(3, 40)                           # A.BIN: into the free cluster 40
    link(4, end), link(7, end)                        # DIR, B.BIN
    link(10, 11), link(11, 12), link(12, 10)          # a loop
    link(14, 15), link(15, end - 8)                   # into a bad cluster
    link(16, end - 15), link(17, 0x0FF5 if bits == 12 else 0xFF00)
    entries = root_entries(2, 14)
    image[root * 512:root * 512 + len(entries)] = entries
    sub = directory(4, 0, 10)
    at = (data + 2 * spc) * 512
    image[at:at + len(sub)] = sub
    return bytes(image[:keep * 512])


def folder(target):
    """The seed folder of `target`; seeds kept there from findings stay."""
    path = os.path.join(CORPUS, target)
    os.makedirs(path, exist_ok=True)
    return path


out = folder("fat_walk_fuzz")
for name, kind, count, bits in [("fat12", 0, 60, 12), ("fat16", 1, 60, 16), ("fat32", 2, 60, 32)]:
    open(os.path.join(out, name + "-cases"), "wb").write(fuzz_volume(kind, count, bits))
chain = os.path.join(CORPUS, "fat_chain_fuzz")
if not os.path.islink(chain):
    shutil.rmtree(chain, ignore_errors=True)
    os.symlink("fat_walk_fuzz", chain)  # the same volumes, their chains followed
out = folder("fat_volume_fuzz")
open(os.path.join(out, "fat12-floppy"), "wb").write(whole_image(12, 2880, [], 40))
open(os.path.join(out, "fat12-root100"), "wb").write(whole_image(12, 2880, ["-r", "100"], 40))
open(os.path.join(out, "fat16"), "wb").write(
    whole_image(16, 40000, ["-s", "1", "-f", "1", "-r", "16"], 38))
