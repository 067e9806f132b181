#!/usr/bin/env python3
"""Writes small valid element-tree streams into fuzz/corpus/element_tree/."""
import os
import struct
import sys


def text(t):
    return struct.pack("<H", len(t)) + t


def element(key, value):
    return b"\x01" + text(key) + text(value)


def sublist(name, *members):
    return b"\x00" + text(name) + b"".join(members) + b"\x02"


SEEDS = {
    "element": element(b"Name", b"Kitchen"),
    "empty_value": element(b"a", b""),
    "plan": sublist(
        b"Wall",
        element(b"Length", b"120.000000"),
        element(b"Height", b"96.000000"),
        sublist(b"Outline", element(b"X", b"0.500000"), element(b"Y", b"-2.000000")),
        sublist(b"Material", element(b"URL", b"tex/brick.jpg")),
    ) + element(b"transactionObjectId", b"42") + b"\x03",
    "nested": sublist(b"a", sublist(b"b", sublist(b"c", element(b"k", b"v")))),
    "duplicates_and_bytes": element(b"Color", b"red") + element(b"COLOR", b"caf\xc3\xa9")
    + element(b"raw", b"line\nfeed\x00zero") + sublist(b"color"),
    "long_text": element(b"k" * 1023, b"v" * 1023),
}


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "fuzz", "corpus", "element_tree")
    os.makedirs(folder, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(folder, name + ".bin"), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
