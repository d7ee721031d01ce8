#!/usr/bin/python3
"""Opens COUNT connections to the relay that never send a request and holds them until
killed.   relay_flood.py PORT COUNT READY_FILE"""
import socket
import sys
import time

port, count, ready = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
held = []
refused = 0
for _ in range(count):
    s = socket.socket()
    s.settimeout(0.3)  # a full queue drops the attempt; the next one goes on
    try:
        s.connect(("127.0.0.1", port))
        held.append(s)
    except OSError:
        refused += 1
        s.close()
with open(ready, "w") as out:
    out.write("%d %d\n" % (len(held), refused))
while True:
    time.sleep(60)
