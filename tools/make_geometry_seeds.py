#!/usr/bin/env python3
"""Writes small model geometry token streams into fuzz/corpus/model_geometry/."""
import os
import struct
import sys


def token(t):
    return struct.pack("<H", t)


def vertices(first, rng, offset, steps):
    out = token(1) + struct.pack("<I", len(steps) + 1)
    out += struct.pack("<9d", *first, *rng, *offset)
    return out + b"".join(struct.pack("<3h", *s) for s in steps)


def faces(records):
    return token(2) + struct.pack("<I", len(records)) + b"".join(
        struct.pack("<3I2B", *r) for r in records)


def tex_coords(first, rng, offset, steps):
    out = token(3) + struct.pack("<I", len(steps) + 1) + struct.pack("<6d", *first, *rng, *offset)
    return out + b"".join(struct.pack("<2b", *s) for s in steps)


def tex_indices(records):
    return token(4) + struct.pack("<I", len(records)) + b"".join(struct.pack("<3I", *r) for r in records)


def animation(kind, pivot, axis, radians, translation):
    rows = [1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, *pivot, 1]
    return token(12) + struct.pack("<B16d3dd3d", kind, *rows, *axis, radians, *translation)


def outline(points, t=9):
    return token(t) + struct.pack("<I", len(points)) + b"".join(
        struct.pack("<3d", *p) for p in points) + b"\x00\x00"


def triangle(z=0.0, smoothing=0):
    return vertices((0, 0, z), (1, 1, 1), (0, 0, 0), [(32767, 0, 0), (0, 32767, 0)]) + faces(
        [(0, 1, 2, 7, smoothing)])


END = token(0x00FF)
PART = token(14)

SEEDS = {
    "end_only": END,
    "triangle": triangle() + PART + END,
    "textured_quad": vertices((0, 0, 0), (4, 4, 1), (0, 0, 0),
                              [(32767, 0, 0), (32767, 32767, 0), (0, 32767, 0)])
    + faces([(0, 1, 2, 3, 1), (0, 2, 3, 6, 1)])
    + tex_coords((0, 0), (1, 1), (0, 0), [(127, 0), (127, 127), (0, 127)])
    + tex_indices([(0, 1, 2), (0, 2, 3)]) + token(13) + struct.pack("<h", 1) + PART + END,
    "door_group": token(10) + animation(2, (1, 0, 0), (0, 0, 1), 1.5707963, (0, 0, 0))
    + triangle() + PART + token(11) + token(15) + triangle(2.0) + PART + END,
    "sub_object": token(19) + b"Seat;" + token(21) + struct.pack("<16d", *range(16))
    + token(16) + triangle() + PART + token(20) + outline([(1, 2, 3), (4, 5, 6)], 18) + END,
    "odd_tokens": token(7) + token(5) + token(13) + struct.pack("<h", -3) + triangle()
    + faces([(0, 1, 9, 7, 2)]) + PART + token(14) + END,
}


def main():
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "fuzz", "corpus", "model_geometry")
    os.makedirs(folder, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(folder, name + ".geo"), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
