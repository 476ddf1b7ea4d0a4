#!/usr/bin/env python3
"""A small update server for the demo, on 127.0.0.1.

Answers the manifest request (GET /l2/stave/npgmup.php?<id>&client) with a
manifest and the module download (GET /l2/stave/rxm/qStave.des) with a module
file, both with a Content-Length. Every request is logged with its raw bytes,
one JSON object a line, so the demo can show exactly what went over the wire.
"""
import argparse
import json
import os
import socket
import sys
import threading


def read_request(conn):
    data = b""
    while b"\r\n\r\n" not in data:
        piece = conn.recv(65536)
        if not piece:
            break
        data += piece
    return data


def scramble(text, key_position=66):
    import base64
    # Marker "z", the key position, ten filler bytes, then the Base64 text of
    # the manifest XORed with the byte at key_position - 64.
    filler = bytes([0x5A + i for i in range(10)])
    head = b"z" + bytes([key_position]) + filler
    key = head[key_position - 64]
    return head + base64.b64encode(bytes(b ^ key for b in text))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--manifest", required=True, help="file with the manifest text")
    parser.add_argument("--module", required=True, help="file served as rxm/qStave.des")
    parser.add_argument("--log", required=True)
    parser.add_argument("--scrambled", action="store_true")
    args = parser.parse_args()

    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", args.port))
    listener.listen(8)
    log = open(args.log, "a", buffering=1)
    print("listening", flush=True)

    def serve(conn):
        with conn:
            request = read_request(conn)
            target = request.split(b" ")[1] if request.count(b" ") >= 2 else b""
            if target.startswith(b"/l2/stave/npgmup.php?"):
                with open(args.manifest, "rb") as f:
                    body = f.read()
                if args.scrambled:
                    body = scramble(body)
            elif target == b"/l2/stave/rxm/qStave.des":
                with open(args.module, "rb") as f:
                    body = f.read()
            else:
                body = b"<html><body>404 Not Found</body></html>"
            status = b"200 OK" if not body.startswith(b"<html>") else b"404 Not Found"
            reply = (b"HTTP/1.1 " + status + b"\r\nContent-Type: application/octet-stream\r\n"
                     b"Content-Length: " + str(len(body)).encode() + b"\r\n\r\n" + body)
            conn.sendall(reply)
            log.write(json.dumps({"request": request.decode("latin-1"),
                                  "status": status.decode(), "body_bytes": len(body)}) + "\n")
            try:
                conn.shutdown(socket.SHUT_WR)
                conn.settimeout(5)
                while conn.recv(65536):
                    pass
            except OSError:
                pass

    while True:
        conn, _ = listener.accept()
        threading.Thread(target=serve, args=(conn,), daemon=True).start()


if __name__ == "__main__":
    sys.exit(main())
