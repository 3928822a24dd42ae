"""E1.31 (sACN) data packets as a source sends them, for the tests and the
fuzz seeds."""

import struct


def e131_packet(universe, priority, slots, cid=bytes(16), source=b"test source"):
    """One data packet: start code 0, then `slots`."""
    count = len(slots) + 1
    dmp = struct.pack("!HBBHHH", 0x7000 | (10 + count), 0x02, 0xA1, 0, 1, count) + b"\0" + slots
    framing = (struct.pack("!HI", 0x7000 | (77 + len(dmp)), 2) + source.ljust(64, b"\0")
               + struct.pack("!BHBBH", priority, 0, 0, 0, universe)) + dmp
    root = struct.pack("!HI", 0x7000 | (22 + len(framing)), 4) + cid + framing
    return struct.pack("!HH", 0x0010, 0) + b"ASC-E1.17\0\0\0" + root
