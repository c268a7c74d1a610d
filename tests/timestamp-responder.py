#!/usr/bin/env python3
"""A timestamp authority on 127.0.0.1 for the release tests: every RFC 3161
query POSTed to it is answered by `openssl ts -reply` with the given
configuration. Prints the port it listens on, then serves until killed.
    timestamp-responder.py CONFIG"""
import http.server
import subprocess
import sys


class Responder(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        reply = subprocess.run(
            ["openssl", "ts", "-reply", "-config", sys.argv[1], "-queryfile", "/dev/stdin",
             "-out", "/dev/stdout"], input=query, capture_output=True, check=False)
        self.send_response(200 if reply.returncode == 0 else 500)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply.stdout)))
        self.end_headers()
        self.wfile.write(reply.stdout)

    def log_message(self, *_):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Responder)
print(server.server_address[1], flush=True)
server.serve_forever()
