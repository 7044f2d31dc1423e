#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The file format written out plainly, to check the program against: every byte XOR the key's UTF-16LE bytes
in a repeating cycle.

  xorfiles.py make FOLDER NAME:SIZE ...        writes files of pseudo-random bytes
  xorfiles.py check KEY INPUT OUTPUT           OUTPUT must be INPUT combined with KEY
  xorfiles.py same A B                         A and B must hold the same bytes
"""
import random
import sys


def key_bytes(key):
    return key.encode("utf-16-le")


def combine(data, key):
    k = key_bytes(key)
    return bytes(b ^ k[n % len(k)] for n, b in enumerate(data))


def read(path):
    with open(path, "rb") as f:
        return f.read()


def make(folder, entries):
    generator = random.Random(20240601)
    for entry in entries:
        name, size = entry.rsplit(":", 1)
        with open(f"{folder}/{name}", "wb") as f:
            f.write(generator.randbytes(int(size)))


def check(key, input_path, output_path):
    data, out = read(input_path), read(output_path)
    if out == combine(data, key):
        return True
    latin = "".join(c for c in key if ord(c) < 0x100)
    if latin and out == combine(data, latin):
        print(f"{output_path}: made with the key's characters above U+00FF missing: they never reached the key box")
    else:
        print(f"{output_path}: not {input_path} combined with the key")
    return False


def main():
    command, args = sys.argv[1], sys.argv[2:]
    if command == "make":
        make(args[0], args[1:])
        ok = True
    elif command == "check":
        ok = check(*args)
    elif command == "same":
        ok = read(args[0]) == read(args[1])
        if not ok:
            print(f"{args[1]} differs from {args[0]}")
    else:
        sys.exit(f"unknown command {command}")
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
