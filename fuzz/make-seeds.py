#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets that take card replies, device
lists and workbook XML: a handful of valid inputs each, in the layout the
harness expects (see the comment at the top of each fuzz_*.cpp).

    fuzz/make-seeds.py            rewrites fuzz/corpus/<target>/ for those targets
"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")


def crc16_modbus(data):
    crc = 0xFFFF
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def card_frame(command, payload, padding=0):
    header = b"\xff" * 6 + b"\x02\x00\x00\x00\x00\x01" + b"\x54\x41" + b"\x00\x00\x00\x01"
    header += struct.pack("<II", command, len(payload) + 28)
    body = header + payload + b"\x00" * padding
    return body + struct.pack("<H", crc16_modbus(body))


NETWORK_INFO = (b'{"host":"192.168.1.5","product":"NMC-2","intfInfo":[["eth0","192.168.1.5","255.255.255.0",'
                b'"00:1a:2b:3c:4d:5e"],["eth1","10.0.0.5","255.0.0.0","00:1A:2B:3C:4D:5F"]]}')
NO_MATCH_INFO = b'{"host":"192.168.1.9","product":"NMC-2","intfInfo":[["eth0","192.168.1.5","255.255.255.0","00:1A:2B:3C:4D:5E"]]}'


def udp_entry_short(name, address, netmask):
    return bytes([len(name)]) + name + bytes(address) + bytes(netmask)


def udp_entry_long(name, address, netmask, mac):
    return struct.pack(">H", len(name) + 14) + udp_entry_short(name, address, netmask) + bytes(mac)


SENDER = bytes([192, 168, 1, 5])
UDP_SHORT = b"\x00\x25\x18\x03abc" + udp_entry_short(b"eth0", [192, 168, 1, 5], [255, 255, 255, 0])
UDP_LONG = (b"\x00\x25\x18\x03abc" + udp_entry_long(b"eth0", [192, 168, 1, 5], [255, 255, 255, 0], [0, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e])
            + udp_entry_long(b"eth1", [10, 0, 0, 5], [255, 0, 0, 0], [0, 0x1a, 0x2b, 0x3c, 0x4d, 0x5f]))

FIXED = b'{"ethaddr":"00:1A:2B:3C:4D:5E","name":"NMC card","serialno":"SN-0042","hwver":"3"}'
FIXED_INI = b"[fixed_param]\nethaddr=00:1A:2B:3C:4D:5E\nname=NMC card\nserialno=SN-0042\n\n[other]\nkept=1\n"

NS = b'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
SHEET_SHARED = (b'<?xml version="1.0" encoding="UTF-8"?><worksheet ' + NS + b'><dimension ref="A1:A3"/><sheetData>'
                b'<row r="1"><c r="A1" t="s"><v>0</v></c></row><row r="2"><c r="A2" t="s"><v>1</v></c></row>'
                b'<row r="3"><c r="A3" t="s"><v>0</v></c><c r="B3" t="b"><v>1</v></c></row></sheetData></worksheet>')
STRINGS = (b'<?xml version="1.0" encoding="UTF-8"?><sst ' + NS + b' count="3" uniqueCount="2">'
           b'<si><t>10.0.0.1</t></si><si><r><t>10.0.</t></r><r><t xml:space="preserve">0.2</t></r>'
           b'<rPh sb="0" eb="1"><t>x</t></rPh></si></sst>')
SHEET_INLINE = (b'<worksheet ' + NS + b'><sheetData><row><c t="inlineStr"><is><t>10.0.0.7</t></is></c>'
                b'<c><v>42</v></c></row><row r="5"><c r="B5" t="str"><f>A1</f><v>10.0.0.8</v></c>'
                b'<c r="A5" t="e"><v>#REF!</v></c></row></sheetData></worksheet>')
WORKBOOK_TWO = (b'<workbook ' + NS + b' xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">'
                b'<bookViews><workbookView activeTab="1"/></bookViews><sheets><sheet name="Notes" sheetId="1" r:id="rId3"/>'
                b'<sheet name="Cards" sheetId="2" r:id="rId1"/></sheets></workbook>')
RELS_ABSOLUTE = (b'<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                 b'<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" '
                 b'Target="/xl/worksheets/sheet1.xml"/><Relationship Id="rId2" '
                 b'Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" '
                 b'Target="./../xl/sharedStrings.xml"/></Relationships>')

SEEDS = {
    "cardframe": {
        "built-network-info": b"\x01\x01\x00" + NETWORK_INFO,
        "built-padded-result": b"\x01\x03\x20" + b'{"result":true}',
        "built-reboot-failed": b"\x01\x05\x00" + b'{"result":false}',
        "captured-network-info": b"\x00" + card_frame(1, NETWORK_INFO, 16),
        "captured-search": b"\x00" + card_frame(0, b""),
    },
    "udpreply": {
        "short-form": SENDER + UDP_SHORT,
        "long-form": SENDER + UDP_LONG,
        "unknown-product": SENDER + b"\x00\x25\x18\x00\x00\x00\x00",
        "cut-in-entry": SENDER + UDP_LONG[:-9],
    },
    "discoveryjson": {
        "network-info": NETWORK_INFO,
        "host-matches-none": NO_MATCH_INFO,
        "result-true": b'{"result":true}',
        "result-not-boolean": b'{"result":"yes"}',
    },
    "fixedparams": {
        "reply-write": b"\x00" + FIXED,
        "reply-save-load": b"\x01" + FIXED,
        "file": b"\x02" + FIXED_INI,
        "bare-mac": b"\x03" + b"001A2B3C4D5E",
    },
    "devicelist": {
        "text": b"\x00" + b"192.168.1.20\n  10.0.0.2 \t\n10.0.0.3,card 3\n\n10.0.0.1\r\n10.0.0.1\n10.0.0.9",
        "csv": b"\x01" + b"IP,\n10.0.0.1,\n10.0.0.4,,\n10.0.0.05\n10.0.0.256\n172.16.0.1,",
        # A line as long as the reader's line buffer, then a short one.
        "long-line": b"\x00" + b"x" * 4095 + b"\n10.0.0.1\n",
    },
    "xlsxsheet": {
        "shared-strings": b"\x01" + SHEET_SHARED + b"\x00" + STRINGS,
        "inline-stored": b"\x02" + SHEET_INLINE,
        "second-tab": b"\x01" + SHEET_SHARED + b"\x00" + STRINGS + b"\x00" + WORKBOOK_TWO,
        "absolute-targets": b"\x00" + SHEET_SHARED + b"\x00" + STRINGS + b"\x00\x00" + RELS_ABSOLUTE,
    },
    "cardreplies": {
        "version-old": b"\x00" + b"v1.2.2 20250101",
        "version-new": b"\x00" + b"v1.3.0 20261201\x00\x00",
        "ports": b"\x01" + bytes([1, 0, 22, 0, 0, 23, 1, 0, 80, 1, 1, 187]),
        "date": b"\x02" + b"2026-12-01 10:20:30",
        "console": b"\x03" + b"eth0 Link encap:Ethernet\r\n\x00rest",
        "serial": b"\x04" + b"<b>hi</b> & 'x'\r\n\x01\xff",
        "result": b"\x05" + b"\x01",
        "backup": b"\x06" + struct.pack(">I", 10) + b"\x04abcd\x06efghij",
        "backup-failed": b"\x06" + struct.pack(">I", 10) + b"\x04abcd\x00",
        "history": b"\x07" + b"192.168.1.10".ljust(16, b"\x00") + b"10.0.0.1".ljust(16, b"\x00") + b"127.0.0.1",
    },
}


def main():
    for target, seeds in SEEDS.items():
        folder = os.path.join(CORPUS, target)
        os.makedirs(folder, exist_ok=True)
        for name in os.listdir(folder):
            os.remove(os.path.join(folder, name))
        for name, data in seeds.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
