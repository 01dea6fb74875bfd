#!/usr/bin/env python3
"""An SFTP version 3 peer for sshd's "Subsystem sftp": answers like a server that works, and
breaks the protocol in the one way the first argument names. Every request it takes is
appended to the file named by the second argument, one line each ("OPEN path"...).

  stray      an answer to a request id never sent comes before OPEN's handle
  twice      STAT's answer comes again before OPEN's
  early      STAT's answer is preceded by one for the request id that comes next
  trickle    OPEN is never answered; a message that never ends arrives a byte a second
  badhandle  OPEN's HANDLE holds a string cut short
  short      FSTAT tells half the bytes written: a disk that filled up without a word
  oldrename  no posix-rename extension is offered (a plain RENAME fails over a file)
Every other FSTAT tells the bytes written since the last OPEN or FSTAT.
"""
import struct
import sys
import time

MODE = sys.argv[1]
JOURNAL = open(sys.argv[2], "a", buffering=1)
OUT = sys.stdout.buffer
IN = sys.stdin.buffer

INIT, VERSION, OPEN, CLOSE, WRITE, FSTAT, REMOVE, MKDIR, STAT, RENAME, EXTENDED = (
    1, 2, 3, 4, 6, 8, 13, 14, 17, 18, 200)
STATUS, HANDLE, ATTRS = 101, 102, 105
NAMES = {OPEN: "OPEN", CLOSE: "CLOSE", WRITE: "WRITE", FSTAT: "FSTAT", REMOVE: "REMOVE",
         MKDIR: "MKDIR", STAT: "STAT", RENAME: "RENAME", EXTENDED: "EXTENDED"}
WRITTEN = [0]


def string(data):
    return struct.pack(">I", len(data)) + data


def send(kind, body):
    OUT.write(struct.pack(">IB", len(body) + 1, kind) + body)
    OUT.flush()


def status(rid, code=0):
    send(STATUS, struct.pack(">II", rid, code) + string(b"") + string(b""))


def read_exact(count):
    data = b""
    while len(data) < count:
        chunk = IN.read(count - len(data))
        if not chunk:
            sys.exit(0)
        data += chunk
    return data


def first_string(body):
    (length,) = struct.unpack(">I", body[:4])
    return body[4:4 + length].decode("utf-8", "replace")


def directory(rid):
    send(ATTRS, struct.pack(">III", rid, 0x04, 0o40755))


def answer(kind, rid, body, last_stat):
    if kind == STAT:
        if MODE == "early":
            status(rid + 1)
        directory(rid)
    elif kind == OPEN:
        if MODE == "twice" and last_stat is not None:
            directory(last_stat)
        if MODE == "stray":
            for other in range(rid + 1000, rid + 1100):
                status(other)
        if MODE == "trickle":
            OUT.write(struct.pack(">I", 1000))
            while True:  # until the client gives up
                OUT.write(b"\0")
                OUT.flush()
                time.sleep(1)
        if MODE == "badhandle":
            send(HANDLE, struct.pack(">I", rid) + struct.pack(">I", 40) + b"h1")
        else:
            send(HANDLE, struct.pack(">I", rid) + string(b"h1"))
    elif kind == WRITE:
        (handle_length,) = struct.unpack(">I", body[:4])
        (data_length,) = struct.unpack(">I", body[4 + handle_length + 8:4 + handle_length + 12])
        WRITTEN[0] += data_length
        status(rid)
    elif kind == FSTAT:
        size = WRITTEN[0] // 2 if MODE == "short" else WRITTEN[0]
        send(ATTRS, struct.pack(">IIQ", rid, 0x01, size))
        WRITTEN[0] = 0  # a file's writes and FSTAT come together, before the next file's
    else:
        status(rid)


def main():
    last_stat = None
    while True:
        (length,) = struct.unpack(">I", read_exact(4))
        packet = read_exact(length)
        kind = packet[0]
        if kind == INIT:
            extensions = b"" if MODE == "oldrename" else (
                string(b"posix-rename@openssh.com") + string(b"1"))
            send(VERSION, struct.pack(">I", 3) + extensions)
            continue
        (rid,) = struct.unpack(">I", packet[1:5])
        body = packet[5:]
        JOURNAL.write("%s %s\n" % (NAMES.get(kind, str(kind)),
                                   first_string(body) if kind != WRITE else ""))
        if kind == OPEN:
            WRITTEN[0] = 0
        answer(kind, rid, body, last_stat)
        if kind == STAT:
            last_stat = rid


main()
