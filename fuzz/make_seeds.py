#!/usr/bin/env python3
"""Writes the seed inputs of every fuzz target into <out>/<target>/.

Each target starts from well-formed inputs of every kind its parser takes,
and from the near misses that lead into its deeper branches (OSC bundles
nested, empty and with bad element sizes; short and padded ArtDmx; jumbo
frames; every packet type of QSP and KiNet), so that a 30-second run reaches
them. Usage: make_seeds.py OUT"""

import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
# The shared modules are read from the checkout, which stays clean.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
import artnet_frames as art  # noqa: E402
from sacn_frames import e131_packet  # noqa: E402


def osc_string(text):
    raw = text.encode() + b"\0"
    return raw + b"\0" * (-len(raw) % 4)


def osc_message(address, tags=",f", *args):
    out = osc_string(address) + osc_string(tags)
    for a in args:
        out += struct.pack(">f", a) if isinstance(a, float) else struct.pack(">i", a)
    return out


def bundle(*elements, sizes=None):
    out = b"#bundle\0" + bytes(8)
    for k, e in enumerate(elements):
        size = len(e) if sizes is None else sizes[k]
        out += struct.pack(">i", size) + e
    return out


GM = osc_message("/vpro/gm", ",f", 51.0)


def osc_seeds():
    every_type = (osc_string("/cvmk2/1") + osc_string(",TFNI[ifcrm]hdtsSb")
                  + struct.pack(">ifiII", 7, 1.5, 65, 0x11223344, 0x90407F00)
                  + struct.pack(">qdQ", -2, 2.5, 1 << 40) + osc_string("text") + osc_string("sym")
                  + struct.pack(">i", 5) + b"\1\2\3\4\5\0\0\0")
    go = osc_message("/vpro/cuelist/1/command/go", ",f", 1.0)
    return {
        "gm": GM,
        "go": go,
        "pause": osc_message("/vpro/cuelist/0/command/pause", ",f", 1.0),
        "level": osc_message("/vpro/cuelist/1/level", ",f", 32768.0),
        "channel": osc_message("/cvmk2/5", ",f", 77.6),
        "int_argument": osc_message("/vpro/cuelist/1/command/go", ",i", 1),
        "no_argument": osc_message("/vpro/gm", ","),
        "bundle_empty": bundle(),
        "bundle_one": bundle(GM),
        "bundle_two": bundle(go, osc_message("/cvmk2/0", ",f", 128.6)),
        "bundle_nested": bundle(GM, bundle(go, bundle(GM))),
        "bundle_nested_empty": bundle(bundle(), GM),
        "bundle_size_minus_4": bundle(b"", sizes=[-4]),
        "bundle_size_minus_8": bundle(GM, sizes=[-8]),
        "bundle_size_zero": bundle(GM, sizes=[0]),
        "bundle_size_odd": bundle(GM, sizes=[6]),
        "bundle_size_beyond": bundle(GM, sizes=[len(GM) + 4]),
        "bundle_nested_bad": bundle(GM, bundle(b"", sizes=[-4])),
        # Every argument type the library reads, each well formed, and the
        # blob whose size pointed far past the datagram.
        "every_type": every_type,
        "every_type_in_bundle": bundle(GM, bundle(every_type)),
        "blob_beyond": bytes.fromhex("2f63766d6b322f35000000002c626200ffff615000194900429b3333"),
        "string_unterminated": osc_string("/x") + osc_string(",s") + b"abcd",
    }


def artnet_seeds():
    # The first byte picks the path: even the Art-Net port, odd the jumbo port.
    dmx = art.art_dmx(1, bytes(range(256)) * 2)
    short = art.HEADER + bytes([0x00, 0x50, 0, 14, 0, 0, 1, 0, 0, 4, 10, 20, 30, 0])
    tod = art.HEADER + bytes([0x00, 0x80, 0, 14]) + bytes(10) + bytes([0, 3, 0, 1, 2])
    return {
        "artdmx": b"\0" + dmx,
        "artdmx_short": b"\0" + short,
        "artdmx_two_channels": b"\0" + art.art_dmx(2, [7, 8]),
        "artdmx_padded": b"\0" + short + bytes(100),
        "artpoll": b"\0" + art.art_poll(),
        "todrequest": b"\0" + tod,
        "todcontrol": b"\0" + art.HEADER + bytes([0x00, 0x82, 0, 14]),
        "jumbo": b"\1" + art.jumbo(530, [dmx, art.art_dmx(2, [1] * 512)]),
        "jumbo_short_slots": b"\1" + art.jumbo(22, [short, short]),
        "jumbo_poll_slot": b"\1" + art.jumbo(20, [art.art_poll()]),
    }


def sacn_seeds():
    cid = bytes.fromhex("a1b2c3d4000102030405060708090a0b")
    return {
        "data_u1": e131_packet(1, 100, bytes(range(256)) * 2),
        "data_u2_cid": e131_packet(2, 50, b"\x80" * 512, cid),
        "data_short": e131_packet(1, 200, b"\x01\x02\x03"),
        "data_u256": e131_packet(256, 0, b"\xff" * 24),
        "cid_text": b"A1B2C3D4-0001-0203-0405-060708090A0B",
    }


def qsp_seeds():
    # The first byte picks the sender: odd is the device itself.
    return {
        "data": b"\0QSDD" + bytes([1, 0, 0]) + struct.pack(">H", 512) + bytes(range(256)) * 2,
        "data_short": b"\0QSDD" + bytes([1, 0, 0]) + struct.pack(">H", 3) + b"\1\2\3",
        "data_own": b"\1QSDD" + bytes([1, 0, 0]) + struct.pack(">H", 2) + b"\1\2",
        "poll": b"\0QSPP",
        "stream_request": b"\0QDSP\x01\x00",
        "stream_request_far": b"\0QDSP\xff\xff",
        "rdm_request": b"\0QSRD" + bytes([0, 1]) + bytes(30),
        "rdm_get": b"\0QSRD" + bytes([0, 3]) + bytes.fromhex("4a5b00000001")
        + struct.pack("<H", 0x0082) + bytes(2),
        "rdm_set": b"\0QSRD" + bytes([0, 4]) + bytes.fromhex("4a5b00000001")
        + struct.pack("<H", 0x00F0) + b"\0\2\1\x2c",
    }


def kinet_header(ptype, sequence=1):
    return struct.pack("<IHHI", 0x4ADC0104, 1, ptype, sequence)


def kinet_seeds():
    return {
        "discovery": b"\0" + kinet_header(0x0001),
        "port_discovery": b"\0" + kinet_header(0x000A),
        "dmx_out": b"\0" + kinet_header(0x0101) + bytes([1]) + bytes(7) + bytes([255] * 512),
        "dmx_out_short": b"\0" + kinet_header(0x0101) + bytes([1]) + bytes(7) + b"\1\2",
        "port_out": (b"\0" + kinet_header(0x0108) + bytes(4) + bytes([1, 0, 0, 0])
                     + struct.pack("<H", 512) + bytes(2) + bytes(range(256)) * 2),
        "sync": b"\0" + kinet_header(0x0109),
    }


def text_seeds(path_names):
    seeds = {}
    for name in path_names:
        with open(os.path.join(HERE, "..", "examples", "artnet", name), "rb") as f:
            seeds[name.replace(".", "_")] = f.read()
    return seeds


def config_seeds():
    seeds = text_seeds(["serial.dat", "config.dat"])
    seeds["every_kind"] = (b"SA001127000000001O\nSE002255255255255I\nSK001000000000001000000000000I\n"
                           b"S001100000000000000A1B2C3D4-0001-0203-0405-060708090A0B" b"I\n"
                           b"V\nDXO127000000001\nC000255128064\nC002\nL000001002003\nP000001\n")
    return seeds


def rules_seeds():
    # The first byte chooses how many streams exist.
    seeds = {"example": b"\x0b" + text_seeds(["rules.dat"])["rules_dat"]}
    seeds["every_rule"] = (b"\x0b" b"F000,001\nC000000001000010\nH000001002512\nL000001002512\n"
                           b"P000001002010\nS000001002003100\nZ000001002003\nO000001\n"
                           b"QA001002003\nQX007008009\nK001010\n")
    seeds["missing_stream"] = b"\x02F000 011\n"
    return seeds


def show_seeds():
    hold = "Timing 3 0 0 %d 0 100000 0 0 0 0 100000 0 0 0 0 100000 "
    show = ("ENDP 1 Cues 1 Cue 0 Vals 2 0 255 5 10 Oscs 1 0 -1 0 1000 0 500 50 " + hold % 500
            + "Cuelists 2 Cues 1 Cue 0 Vals 3 0 200 1 100 2 50 Oscs 0 " + hold % 2000
            + "Cues 1 Cue 0 Vals 1 3 250 Oscs 0 " + hold % 0
            + "DefVals 2 0 9 1 9 ChTypes 4 2 0 7 0 ChSubtypes 1 3")
    return {"show": show.encode(), "empty": b"ENDP 1 Cues 0 Cuelists 0 DefVals 0 ChTypes 0 ChSubtypes 0"}


def rdm_frame(destination, source, command_class, pid, data=b"", response_type=1):
    frame = (bytes([0xCC, 0x01, 24 + len(data)]) + destination + source
             + bytes([1, response_type, 0, 0, 0, command_class]) + struct.pack(">H", pid)
             + bytes([len(data)]) + data)
    return frame + struct.pack(">H", sum(frame) & 0xFFFF)


def rdm_seeds():
    # The first byte picks the path: 0 a "QSRD" (magic given), 1 bytes as a
    # port receives them, 2 a request to the simulated responders.
    par, own, everyone = bytes.fromhex("4a5b00000001"), bytes.fromhex("574b00000001"), b"\xff" * 6
    encoded = b"".join(bytes([b | 0xAA, b | 0x55]) for b in par)
    checksum = sum(encoded)
    encoded += b"".join(bytes([b | 0xAA, b | 0x55]) for b in struct.pack(">H", checksum))
    return {
        "qsrd_discovery": b"\0" + bytes([0, 1]) + par + bytes(4),
        "qsrd_get": b"\0" + bytes([0, 3]) + par + struct.pack("<H", 0x0082) + bytes(2),
        "qsrd_set": b"\0" + bytes([0, 4]) + par + struct.pack("<H", 0x00F0) + b"\0\2\1\x2c",
        "dub_reply": b"\1" + b"\xfe" * 3 + b"\xaa" + encoded,
        "response": b"\1" + rdm_frame(own, par, 0x21, 0x0082, b"Par", response_type=0),
        "responder_dub": b"\2" + rdm_frame(everyone, own, 0x10, 0x0001, bytes(6) + everyone),
        "responder_set": b"\2" + rdm_frame(par, own, 0x30, 0x00F0, b"\1\x2c"),
    }


TARGETS = {
    "fuzz_rdm": rdm_seeds,
    "fuzz_osc_message": osc_seeds,
    "fuzz_artnet_receive": artnet_seeds,
    "fuzz_sacn_receive": sacn_seeds,
    "fuzz_qsp_receive": qsp_seeds,
    "fuzz_kinet_receive": kinet_seeds,
    "fuzz_config_text": config_seeds,
    "fuzz_rules_file": rules_seeds,
    "fuzz_show_text": show_seeds,
}


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    for target, make in TARGETS.items():
        folder = os.path.join(sys.argv[1], target)
        os.makedirs(folder, exist_ok=True)
        for name, data in make().items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
