#!/usr/bin/env python3
"""Writes the hand-made seed inputs of the dispatcher fuzzer into corpus/dispatcher.

Each seed is a short host session in the byte layout described at the top of
DispatcherFuzzer.cpp. The rest of the corpus is what the fuzzer itself kept (libFuzzer -merge).
Deterministic; run from anywhere: tests/fuzz/make-seeds.py
"""
import os
import struct

RAW = b"\xff"


def raw_float(x):
    return RAW + struct.pack("<f", x)


def raw_bits(bits):
    return RAW + struct.pack("<I", bits)


def raw_int(n):
    return RAW + struct.pack("<i", n)


def small(n):
    """An integer argument from -16 to 207 in one byte."""
    assert -16 <= n <= 207
    return bytes([n + 16])


def dispatch(opcode, index=small(0), value=small(0), pointer=1, opt=b"\x00"):
    return b"\x00" + bytes([opcode]) + index + value + bytes([pointer]) + opt


def set_param(index, value):
    return b"\x01" + small(index) + value


def get_param(index):
    return b"\x02" + small(index)


def program(n):
    return b"\x03" + small(n)


def rate(b):
    return b"\x04" + bytes([b])


def replacing(frames, signal, arrangement=0, extra=b""):
    return b"\x06" + bytes([frames, signal]) + extra + bytes([arrangement])


def accumulating(frames, signal, arrangement=0, extra=b""):
    return b"\x07" + bytes([frames, signal]) + extra + bytes([arrangement])


TEXTS = b"\x08"
REOPEN = b"\x09"

NAN = raw_bits(0x7FC00000)
INF = raw_bits(0x7F800000)

SEEDS = {
    # A host's first minutes: rate and block size, resume, names, a program, audio.
    "host-session": rate(0) + b"\x05" + small(200) + b"\x00" + dispatch(12, value=small(1))
    + dispatch(45) + dispatch(47) + dispatch(48) + dispatch(33, small(0)) + dispatch(34, small(1))
    + program(3) + dispatch(5) + TEXTS + replacing(128, 3, extra=b"\x40")
    + replacing(64, 7) + dispatch(12, value=small(0)),
    # Every program, each read back and played.
    "programs": b"".join(program(p) + dispatch(5) + replacing(32, 2, extra=b"\x7f\x03")
                         for p in range(16)),
    # Parameters far outside 0..1, NaN and infinity, read back and shown.
    "odd-values": set_param(0, NAN) + set_param(3, INF) + set_param(10, raw_float(-3.5))
    + set_param(42, raw_float(1e30)) + set_param(38, raw_float(2.0)) + set_param(60, b"\x10")
    + get_param(0) + get_param(60) + TEXTS + replacing(200, 4, extra=b"\x00"),
    # Hostile samples, in place and in separate buffers, then the accumulating entry.
    "hostile-audio": replacing(100, 4, 1, b"\x05") + replacing(100, 1, 0, NAN)
    + replacing(100, 1, 0, raw_float(-1e30)) + replacing(100, 6) + replacing(100, 7, 1)
    + accumulating(50, 4, 0, b"\x02") + replacing(0xF0 + 12, 5),
    # Sample-rate changes between blocks, including rates that mean nothing.
    "rates": b"".join(rate(r) + replacing(64, 3, extra=b"\x60") + dispatch(7, small(5))
                      for r in range(16)),
    # Program copies and names, with a program called Init.
    "program-names": dispatch(4) + b"Init\x00" + b"\x00" * 27 + dispatch(5)
    + dispatch(30, small(15)) + dispatch(29, small(15)) + program(15) + dispatch(5)
    + dispatch(4) + b"A name that is longer than thirty-one characters",
    # The editor's requests, with and without a pointer.
    "editor": dispatch(13) + dispatch(14, pointer=0) + dispatch(19) + dispatch(59, small(65),
                                                                             small(13), 2, NAN)
    + dispatch(60) + dispatch(61, value=small(2)) + set_param(6, b"\x20") + dispatch(19)
    + dispatch(15) + dispatch(13, pointer=0),
    # Requests without buffers, and opcodes nobody knows.
    "null-pointers": b"".join(dispatch(op, pointer=0) for op in range(72))
    + dispatch(0xF0) + raw_int(-1) + small(0) + small(0) + b"\x00\x00"
    + dispatch(0xF0) + raw_int(1000) + small(0) + small(0) + b"\x00\x00",
    # Close and reopen, with work on both sides.
    "reopen": set_param(1, b"\x7f") + REOPEN + get_param(1) + replacing(16, 7) + REOPEN + program(2),
}


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "dispatcher")
    os.makedirs(folder, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(folder, "seed-" + name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
