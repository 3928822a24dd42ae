"""Art-Net and jumbo datagrams as the engine's peers send and receive them."""

import struct

import engine_harness as h

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


def artdmx_out(universe=None, data=b"", dst=h.PEER_IP):
    """Matches a captured ArtDmx from the Art-Net port to dst, of `universe` (any when None),
    whose channels start with `data`; its header bytes are the unit tests' business."""
    def match(pkt):
        _, sport, pdst, dport, payload = pkt
        return ((sport, pdst, dport) == (6454, dst, 6454) and payload[:10] == HEADER + b"\x00\x50"
                and (universe is None or payload[14:16] == struct.pack("<H", universe))
                and payload[18:18 + len(data)] == bytes(data))
    return match


def stats_lines(*counts):
    """/tmp/stats.dat for streams 0, 1, ... with these (writes, changes)."""
    return "".join("%d,%d,%d,%d Kb\n" % (i, w, c, (512 * w) >> 10)
                   for i, (w, c) in enumerate(counts))
