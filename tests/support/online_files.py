#!/usr/bin/env python3
"""Writes version records and advertisement files for tests that serve an
update site (the end-to-end tests, the download tests against a local HTTP
server). The offsets are written out here as numbers, independently of the
program's own reader.

  online_files.py version OUT [--record-version N] [--title-version N]
        [--title-files N] [--title-base URL] [--cm-version N] [--cm-last N]
        [--cm-base URL] [--program-version N] [--updater-url URL]
        [--last-check DAYS] [--next-check DAYS]
  online_files.py title OUT FILENAME:TITLE:CATEGORY:EXT,EXT... [...]
  online_files.py ad OUT [--name TEXT] [--clicks N] [--display-ms MS]
        [--link URL]... [--link-count N] [--pause SECONDS] [--clip FILE]
        [--clip-size N]

Texts are given in UTF-8 and written in Shift_JIS (cp932).
"""
import argparse
import struct
import sys


def _text(buf, at, width, text):
    data = text.encode("cp932")[: width - 1]
    buf[at : at + len(data)] = data


def version_record(record_version=1, title_version=0, title_files=0, title_base="",
                   cm_version=0, cm_last=-1, cm_base="", program_version=0,
                   updater_url="", last_check=0.0, next_check=0.0):
    b = bytearray(1648)
    struct.pack_into("<d", b, 0, last_check)
    struct.pack_into("<i", b, 8, record_version)
    struct.pack_into("<d", b, 16, next_check)
    struct.pack_into("<i", b, 32, title_version)
    struct.pack_into("<i", b, 48, title_files)
    _text(b, 52, 512, title_base)
    struct.pack_into("<i", b, 576, cm_version)
    struct.pack_into("<i", b, 592, cm_last)
    _text(b, 596, 512, cm_base)
    struct.pack_into("<i", b, 1120, program_version)
    _text(b, 1136, 512, updater_url)
    return bytes(b)


def title_file(entries):
    """A title file: entries of (file name, title, category, [extensions])."""
    b = bytearray(272)
    out = bytes(b) + struct.pack("<i", len(entries))
    for no, (name, title, category, exts) in enumerate(entries):
        e = bytearray(1408)
        struct.pack_into("<i", e, 0, no + 1)
        _text(e, 4, 40, title)
        _text(e, 44, 40, name)
        _text(e, 596, 40, category)
        struct.pack_into("<i", e, 1404, len(exts))
        out += bytes(e)
        for ext in exts:
            x = bytearray(16)
            _text(x, 0, 16, ext)
            out += bytes(x)
    return out


def advertisement(name="", clicks=0, display_ms=0.0, links=(), link_count=None,
                  pause=0.0, clip=b"", clip_size=None):
    b = bytearray(2104)
    _text(b, 0, 256, name)
    struct.pack_into("<i", b, 256, clicks)
    struct.pack_into("<d", b, 264, display_ms)
    struct.pack_into("<i", b, 272, len(links) if link_count is None else link_count)
    for i, link in enumerate(links[:3]):
        _text(b, 276 + 512 * i, 512, link)
    struct.pack_into("<d", b, 1816, pause)
    struct.pack_into("<i", b, 2096, len(clip) if clip_size is None else clip_size)
    return bytes(b) + clip


def read_advertisement(data):
    """The statistics of an advertisement file: (name, clicks, display_ms, clip)."""
    name = data[0:256].split(b"\0", 1)[0].decode("cp932")
    clicks, = struct.unpack_from("<i", data, 256)
    display_ms, = struct.unpack_from("<d", data, 264)
    size, = struct.unpack_from("<i", data, 2096)
    return name, clicks, display_ms, data[2104 : 2104 + size]


def main(argv):
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = p.add_subparsers(dest="kind", required=True)
    v = sub.add_parser("version")
    v.add_argument("out")
    v.add_argument("--record-version", type=int, default=1)
    v.add_argument("--title-version", type=int, default=0)
    v.add_argument("--title-files", type=int, default=0)
    v.add_argument("--title-base", default="")
    v.add_argument("--cm-version", type=int, default=0)
    v.add_argument("--cm-last", type=int, default=-1)
    v.add_argument("--cm-base", default="")
    v.add_argument("--program-version", type=int, default=0)
    v.add_argument("--updater-url", default="")
    v.add_argument("--last-check", type=float, default=0.0)
    v.add_argument("--next-check", type=float, default=0.0)
    t = sub.add_parser("title")
    t.add_argument("out")
    t.add_argument("entry", nargs="*")
    a = sub.add_parser("ad")
    a.add_argument("out")
    a.add_argument("--name", default="")
    a.add_argument("--clicks", type=int, default=0)
    a.add_argument("--display-ms", type=float, default=0.0)
    a.add_argument("--link", action="append", default=[])
    a.add_argument("--link-count", type=int)
    a.add_argument("--pause", type=float, default=0.0)
    a.add_argument("--clip")
    a.add_argument("--clip-size", type=int)
    args = p.parse_args(argv)
    if args.kind == "version":
        data = version_record(args.record_version, args.title_version, args.title_files, args.title_base,
                              args.cm_version, args.cm_last, args.cm_base, args.program_version,
                              args.updater_url, args.last_check, args.next_check)
    elif args.kind == "title":
        entries = []
        for entry in args.entry:
            name, title, category, exts = entry.split(":")
            entries.append((name, title, category, [x for x in exts.split(",") if x]))
        data = title_file(entries)
    else:
        clip = open(args.clip, "rb").read() if args.clip else b""
        data = advertisement(args.name, args.clicks, args.display_ms, args.link, args.link_count,
                             args.pause, clip, args.clip_size)
    with open(args.out, "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
