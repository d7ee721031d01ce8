#!/usr/bin/python3
"""Hostile HTTP peers on loopback, one behaviour per path, for the fault tests.

  hostile_server.py PORT_FILE
Listens on a free port (written to PORT_FILE) until killed.
"""
import socket
import sys
import threading
import zlib

MIB = 1024 * 1024


def send_forever(conn, head, chunk):
    conn.sendall(head)
    while True:
        conn.sendall(chunk)


def handle(conn, port):
    try:
        request = b""
        while b"\r\n\r\n" not in request and len(request) < 65536:
            data = conn.recv(4096)
            if not data:
                return
            request += data
        path = request.split(b" ")[1].decode("latin-1") if b" " in request else "/"
        if path == "/endless-headers":
            send_forever(conn, b"HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n",
                         b"X-Filler: " + b"a" * 100 + b"\r\n")
        elif path == "/long-header":
            conn.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\nX-Long: " +
                         b"a" * MIB + b"\r\n\r\n" + b"\x00" * 4096)
        elif path.startswith("/redirect-loop"):
            other = "/redirect-loop-b" if path == "/redirect-loop" else "/redirect-loop"
            conn.sendall(("HTTP/1.0 302 Found\r\nLocation: http://127.0.0.1:%d%s\r\n"
                          "Content-Length: 0\r\n\r\n" % (port, other)).encode())
        elif path == "/self-playlist":
            body = ("[playlist]\nNumberOfEntries=1\nFile1=http://127.0.0.1:%d/self-playlist\n"
                    % port).encode()
            conn.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: audio/x-scpls\r\nContent-Length: " +
                         str(len(body)).encode() + b"\r\n\r\n" + body)
        elif path == "/gzip-bomb":
            # Zeros compressed on the fly: a few KiB on the wire for every MiB unpacked.
            compressor = zlib.compressobj(9, zlib.DEFLATED, 31)
            conn.sendall(b"HTTP/1.0 200 OK\r\nContent-Type: audio/mpeg\r\n"
                         b"Content-Encoding: gzip\r\n\r\n")
            zeros = b"\x00" * MIB
            while True:
                conn.sendall(compressor.compress(zeros) + compressor.flush(zlib.Z_SYNC_FLUSH))
        elif path == "/silent":
            while conn.recv(4096):
                pass
        elif path == "/metadata-only":
            # Metadata blocks every 16000 bytes, and no audio between them.
            block = b"StreamTitle='Nothing - To Hear';"
            block += b"\x00" * (-len(block) % 16)
            send_forever(conn, b"ICY 200 OK\r\nContent-Type: audio/mpeg\r\nicy-metaint: 16000\r\n\r\n",
                         b"\x00" * 16000 + bytes([len(block) // 16]) + block)
        else:
            conn.sendall(b"HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n")
    except OSError:
        pass
    finally:
        conn.close()


def main():
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", 0))
    server.listen(64)
    port = server.getsockname()[1]
    with open(sys.argv[1], "w") as out:
        out.write("%d\n" % port)
    while True:
        conn, _ = server.accept()
        threading.Thread(target=handle, args=(conn, port), daemon=True).start()


if __name__ == "__main__":
    main()
