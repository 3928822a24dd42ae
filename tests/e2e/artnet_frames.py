"""Art-Net and jumbo datagrams as the engine's peers send them."""

import struct

HEADER = b"Art-Net\x00"


def art_dmx(universe, data):
    return HEADER + struct.pack("<HBBBBH", 0x5000, 0, 14, 0, 0, universe) + \
        struct.pack(">H", len(data)) + bytes(data)


def art_poll():
    return HEADER + struct.pack("<HBBBB", 0x2000, 0, 14, 2, 0)


def jumbo(size, slots):
    """A "QSJF" frame of len(slots) + 1 slots of `size` bytes; slot 0 is the
    header, the given packets fill slots 1 and up."""
    frame = bytearray(4 + (len(slots) + 1) * size)
    frame[0:13] = b"QSJF\x01\x00\x00\x00\x00\x01" + struct.pack("<BH", len(slots) + 1, size)
    for k, packet in enumerate(slots, start=1):
        frame[4 + k * size:4 + k * size + len(packet)] = packet
    return bytes(frame)


def stats_line(stream, writes, changes):
    return "%d,%d,%d,%d Kb" % (stream, writes, changes, (512 * writes) >> 10)
