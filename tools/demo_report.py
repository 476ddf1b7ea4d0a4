#!/usr/bin/env python3
"""Turns what scripts/demo collected into a report a person can read."""
import json
import os
import sys

demo, port, digest = sys.argv[1], sys.argv[2], sys.argv[3]


def read(name, mode="r"):
    path = os.path.join(demo, name)
    if not os.path.exists(path):
        return "" if mode == "r" else b""
    with open(path, mode) as f:
        return f.read()


def requests(run):
    return [json.loads(line) for line in read(run + ".requests.log").splitlines() if line]


def show_request(r):
    first = r["request"].split("\r\n")[0]
    return "%s  -> %s, %d body bytes" % (first, r["status"], r["body_bytes"])


def report_lines(run):
    return read(run + ".report.txt").splitlines()


def fields(line):
    return dict(w.split("=", 1) for w in line.split() if "=" in w)


def describe(run, title):
    print(title)
    reqs = requests(run)
    for r in reqs:
        print("  update server got: " + show_request(r))
    if not reqs:
        print("  update server got: nothing (it is not running)")
    for line in read(run + ".doHandle.log").splitlines():
        w = line.split()
        payload = bytes.fromhex(w[2]).rstrip(b"\0")  # the text ends at its NUL
        f = fields(line)
        print("  doHandle(%s, %r) called; splash on screen: %s; host window disabled: %s"
              % (w[1], payload.decode("cp1251"), "yes" if f.get("splash_visible") == "1" else "no",
                 "yes" if f.get("others_enabled") == "0" else "no"))
    for line in report_lines(run):
        if line.startswith("box "):
            f = fields(line)
            print("  message box: %s / %s (icon %s, owner %s, splash visible: %s)"
                  % (bytes.fromhex(f["caption"]).decode("cp1251"),
                     bytes.fromhex(f["text"]).decode("cp1251").replace("\r\n", " | "),
                     f["icon"], f["owner"], "yes" if f.get("splash-visible") == "1" else "no"))
        elif line.startswith("load "):
            f = fields(line)
            print("  host: load returned; splash window afterwards: %s"
                  % ("hidden" if f.get("splash-visible") == "0" else "visible"))
    code = read(run + ".exit").strip()
    print("  host exit code: %s" % code)


print("qStave demo: update server http://127.0.0.1:%s/l2/stave/, module digest %s" % (port, digest))
print("game folder: %s" % os.path.join(demo, "game"))
describe("first", "start 1 (Brimstave\\qStave.des missing: expect the manifest, a download, doHandle)")
describe("second", "start 2 (module up to date: expect the manifest only, doHandle)")
describe("third", "start 3 (update server down: expect message 3 and exit code 1)")
shot = os.path.join(demo, "splash.png")
print("splash screenshot taken while doHandle ran: %s" % (shot if os.path.exists(shot) else "missing"))
