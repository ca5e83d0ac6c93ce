#!/usr/bin/env python3
"""host-timers-test.py HOST [--dll NorvexToolbar.dll]: a host's "wait" runs the toolbar's timers.

The sample installation, its daily report address turned to a local HTTP server, in a folder of
its own; the host plays "wait 6500", and the daily report (timer 3010, five seconds after the
toolbar is made) must reach the server exactly once. HOST is norvex-host, or NorvexHost.exe with
--dll, which then runs under Wine inside the session of scripts/with-wine.sh.
"""
import argparse
import glob
import http.server
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import threading

ROOT = pathlib.Path(__file__).resolve().parent.parent
WINE = "/usr/lib/wine/wine64"


class Recorder(http.server.BaseHTTPRequestHandler):
    requests = []

    def do_GET(self):
        Recorder.requests.append(self.requestline)
        self.send_response(200)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def log_message(self, *args):
        pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("host")
    parser.add_argument("--dll")
    args = parser.parse_args()

    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Recorder)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    port = server.server_address[1]

    with tempfile.TemporaryDirectory(prefix="norvex-host-timers.") as work:
        install = pathlib.Path(work, "install")
        shutil.copytree(ROOT / "sample" / "install", install)
        (install / "LogUrls.ini").write_text(
            "[Agent_Urls]\r\ndaily=http://127.0.0.1:%d/daily?oem=nvx0001\r\n" % port)
        if args.dll:
            shutil.copy(args.dll, install / "NorvexToolbar.dll")
            shutil.copy(args.host, install / "NorvexHost.exe")
            prefix = os.environ.get("WINEPREFIX")
            if not prefix or not os.environ.get("DISPLAY"):
                print("host-timers-test.py: run it inside scripts/with-wine.sh", file=sys.stderr)
                return 2
            # The last report's time lives in the user's folder: a fresh one, as for a new user.
            for folder in glob.glob(prefix + "/drive_c/users/*/AppData/*/Norvex"):
                shutil.rmtree(folder, ignore_errors=True)
            command = [WINE, str(install / "NorvexHost.exe"), "--install", str(install)]
        else:
            command = [args.host, "--install", str(install), "--profile", str(pathlib.Path(work, "profile"))]
        result = subprocess.run(command, input="wait 6500\n", capture_output=True, text=True,
                                timeout=120, cwd=work)
    server.shutdown()

    daily = [r for r in Recorder.requests if r.startswith("GET /daily?oem=nvx0001 HTTP/1.0")]
    if result.returncode != 0 or len(daily) != 1 or len(Recorder.requests) != 1:
        print("host timers: status %d, requests %r" % (result.returncode, Recorder.requests))
        print(result.stdout + result.stderr)
        return 1
    print("host timers: wait 6500 sent the daily report once")
    return 0


if __name__ == "__main__":
    sys.exit(main())
