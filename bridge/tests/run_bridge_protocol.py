#!/usr/bin/env python3
"""The bridge program itself over pipes, as a browser runs it: norvex-bridge natively, or
NorvexBridge.exe under Wine (--emulator /usr/lib/wine/wine64, inside scripts/with-wine.sh).

  run_bridge_protocol.py --program BIN [--emulator WINE] --source REPO

Checks the framing in both directions with lengths whose bytes are 10 and 13 (a text-mode
stream would change them), the handshake, a search that writes the history, the errors that
end the bridge and those that do not, the refused origin, and that the daily usage report
waits for the first answer without holding it up. Prints "bridge protocol: N passed, M failed".
"""
import argparse
import http.server
import json
import os
import select
import shutil
import struct
import subprocess
import sys
import tempfile
import threading

from extension_ids import extension_origin

ORIGIN = None  # read from storage/extension_ids.h
TIMEOUT = 60


class Bridge:
    def __init__(self, args, program, emulator, env_extra=None, arguments=None):
        self.windows = program.lower().endswith(".exe")
        command = ([emulator] if emulator else []) + [program]
        command += arguments if arguments is not None else [ORIGIN]
        env = dict(os.environ)
        env.update(env_extra or {})
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, env=env)

    def send_raw(self, data):
        self.process.stdin.write(data)
        self.process.stdin.flush()

    def send(self, message, pad_to=None):
        body = json.dumps(message, ensure_ascii=False).encode("utf-8")
        if pad_to is not None:
            assert len(body) <= pad_to, (len(body), pad_to)
            body += b" " * (pad_to - len(body))  # white space after a JSON text is still JSON
        self.send_raw(struct.pack("=I", len(body)) + body)
        return len(body)

    def read_exactly(self, size):
        data = b""
        while len(data) < size:
            chunk = self.process.stdout.read(size - len(data))
            if not chunk:
                break
            data += chunk
        return data

    def receive(self):
        """One answer: (length, parsed); None at the end of output."""
        head = self.read_exactly(4)
        if not head:
            return None
        if len(head) < 4:
            raise AssertionError("output ended inside a length: %r" % head)
        (length,) = struct.unpack("=I", head)
        if length > 1024 * 1024:
            raise AssertionError("an answer of %d bytes" % length)
        body = self.read_exactly(length)
        if len(body) != length:
            raise AssertionError("output ended inside an answer (%d of %d bytes)" % (len(body), length))
        return length, json.loads(body.decode("utf-8"))

    def ask(self, message, pad_to=None):
        self.send(message, pad_to)
        answer = self.receive()
        if answer is None:
            raise AssertionError("no answer to %s" % message)
        return answer

    def finish(self):
        """Closes the input; the exit status and whatever else came on standard output."""
        if not self.process.stdin.closed:
            self.process.stdin.close()
        rest = self.process.stdout.read()
        status = self.process.wait(timeout=TIMEOUT)
        self.process.stderr.read()
        return status, rest


def path_for(program, path):
    """A path as the program takes it: under Wine the Linux file system is drive Z:."""
    return "Z:" + path if program.lower().endswith(".exe") else path


class Report(http.server.BaseHTTPRequestHandler):
    """The daily report's server: it holds each request until the test lets it go."""
    release = threading.Event()
    arrived = threading.Event()
    paths = []

    answer_waiting = None
    bridge_output = None

    def do_GET(self):
        Report.paths.append(self.path)
        if Report.bridge_output is not None:
            readable, _, _ = select.select([Report.bridge_output], [], [], 0)
            Report.answer_waiting = bool(readable)
        Report.arrived.set()
        Report.release.wait(TIMEOUT)
        self.send_response(200)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def log_message(self, *args):
        pass


def main():
    global ORIGIN
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--emulator", default="")
    parser.add_argument("--source", required=True)
    args = parser.parse_args()
    ORIGIN = extension_origin(args.source)
    program, emulator = args.program, args.emulator

    work = tempfile.mkdtemp(prefix="bridge-protocol-")
    install = os.path.join(work, "install")
    shutil.copytree(os.path.join(args.source, "sample", "install"), install)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Report)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    with open(os.path.join(install, "LogUrls.ini"), "w", encoding="utf-8") as f:
        f.write("[Agent_Urls]\ndaily=http://127.0.0.1:%d/daily?oem=nvx0001\n" % server.server_port)

    results = []

    def case(name):
        def wrap(function):
            profile = os.path.join(work, "profile-" + function.__name__)
            os.makedirs(profile)
            arguments = [ORIGIN, "--install", path_for(program, install),
                         "--profile", path_for(program, profile)]
            try:
                function(lambda extra=None, argv=None: Bridge(
                    args, program, emulator, arguments=argv if argv is not None else arguments), profile)
                results.append((name, None))
            except Exception as e:  # a failed case is reported, the others still run
                results.append((name, "%s: %s" % (type(e).__name__, e)))
            return function
        return wrap

    def expect(condition, what):
        if not condition:
            raise AssertionError(what)

    @case("handshake, search, history; lengths whose bytes are 10 and 13 both ways")
    def session(start, profile):
        bridge = start()
        _, hello = bridge.ask({"type": "hello", "seq": 1, "protocol": 1})
        expect(hello.get("type") == "hello" and hello.get("protocol") == 1, hello)
        expect(hello["platform"] == ("windows" if program.lower().endswith(".exe") else "linux"), hello)
        # Requests of exactly these lengths: 10 (LF), 13 (CR), 26 (Ctrl+Z), 0x0A0D, 0x0D0A, 0x1A0A.
        for length, body, expected in ((10, b'{"type":5}', "bad-request"),
                                       (13, b'{"type":"x"}', "unknown-type"),
                                       (26, b'{"type":"about"}', "about"),
                                       (0x0A0D, b'{"type":"about"}', "about"),
                                       (0x0D0A, b'{"type":"about"}', "about"),
                                       (0x1A0A, b'{"type":"about"}', "about")):
            data = body + b" " * (length - len(body))
            bridge.send_raw(struct.pack("=I", len(data)) + data)
            got = bridge.receive()
            expect(got is not None, "no answer to a request of %d bytes" % length)
            _, answer = got
            expect(answer.get("code", answer["type"]) == expected, (length, answer))
        # Answers of chosen lengths: the seq string grows the answer one byte at a time.
        probe_length, _ = bridge.ask({"type": "words", "seq": "", "text": ""})
        for target in (0x10A, 0x10D, 0x20A, 0x0A0D, 0x0D0A):
            length, answer = bridge.ask({"type": "words", "seq": "s" * (target - probe_length), "text": ""})
            expect(length == target and answer["type"] == "words", (hex(length), hex(target)))
        _, found = bridge.ask({"type": "search", "seq": 3, "text": "テスト", "engine": 8201})
        expect(found["actions"] == [{"do": "navigate",
                                     "url": "http://images.norvex.example/find?kw=%83e%83X%83g&oem=nvx0001"}],
               found)
        _, private = bridge.ask({"type": "search", "text": "秘密", "private": True})
        expect(private["type"] == "search", private)
        _, history = bridge.ask({"type": "history"})
        expect(history["entries"] == ["テスト"], history)
        status, rest = bridge.finish()
        expect(status == 0 and rest == b"", (status, rest))
        expect(os.path.exists(os.path.join(profile, "Norvex", "NorvexHistory.ini")), "no history file")

    @case("bad content: an error answer, then the bridge goes on")
    def bad_content(start, profile):
        bridge = start()
        for body in (b"not json", b"[1]", b'{"type":"nope"}', b'{"type":"command","id":9999}',
                     "{\"type\":\"search\",\"text\":\"\xff\"}".encode("latin-1")):
            bridge.send_raw(struct.pack("=I", len(body)) + body)
            _, answer = bridge.receive()
            expect(answer["type"] == "error", answer)
        _, about = bridge.ask({"type": "about"})
        expect(about["type"] == "about", about)
        status, rest = bridge.finish()
        expect(status == 0 and rest == b"", (status, rest))

    @case("a length over 1 MiB: an error answer, then the end")
    def too_long(start, profile):
        bridge = start()
        bridge.ask({"type": "hello", "protocol": 1})
        bridge.send_raw(struct.pack("=I", 1024 * 1024 + 1) + b"{}")
        _, answer = bridge.receive()
        expect(answer["type"] == "error" and answer["code"] == "frame-length", answer)
        status, rest = bridge.finish()
        expect(status == 1 and rest == b"", (status, rest))

    @case("a length of 0: an error answer, then the end")
    def zero(start, profile):
        bridge = start()
        bridge.send_raw(struct.pack("=I", 0))
        _, answer = bridge.receive()
        expect(answer["code"] == "frame-length", answer)
        status, _ = bridge.finish()
        expect(status == 1, status)

    @case("input ending inside a message: an error answer, then the end")
    def truncated(start, profile):
        bridge = start()
        bridge.send_raw(struct.pack("=I", 50) + b'{"type":')
        bridge.process.stdin.close()
        _, answer = bridge.receive()
        expect(answer["code"] == "truncated", answer)
        status, rest = bridge.finish()
        expect(status == 1 and rest == b"", (status, rest))

    @case("another extension's origin is refused")
    def origin(start, profile):
        for argv in (["chrome-extension://abcdefghijklmnopabcdefghijklmnop/"], []):
            bridge = start(argv=argv)
            _, answer = bridge.receive()
            expect(answer["code"] == "origin", answer)
            status, rest = bridge.finish()
            expect(status == 3 and rest == b"", (status, rest))

    @case("the daily report goes after the first answer, which does not wait for it")
    def daily(start, profile):
        Report.release.clear()
        Report.arrived.clear()
        Report.paths.clear()
        bridge = start()
        # When the report arrives, the answer to the first request must already be in the pipe:
        # nothing of the bridge's output has been read yet, so it is there to see.
        Report.answer_waiting = None
        Report.bridge_output = bridge.process.stdout.fileno()
        bridge.send({"type": "hello", "protocol": 1})
        expect(Report.arrived.wait(TIMEOUT), "no daily report")
        expect(Report.answer_waiting is True, "the daily report went before the first answer")
        _, hello = bridge.receive()
        expect(hello["type"] == "hello", hello)
        _, model = bridge.ask({"type": "options"})
        expect(model["dailyReport"]["configured"] is True, model)
        Report.release.set()
        status, _ = bridge.finish()
        expect(status == 0, status)
        expect(Report.paths == ["/daily?oem=nvx0001"], Report.paths)
        log = os.path.join(profile, "Norvex", "AgentLog.ini")
        expect(os.path.exists(log), "no AgentLog.ini")

    server.shutdown()
    shutil.rmtree(work, ignore_errors=True)
    failed = [r for r in results if r[1]]
    for name, problem in results:
        print("%s: %s" % ("FAILED" if problem else "ok", name))
        if problem:
            print("    " + problem)
    print("bridge protocol: %d passed, %d failed" % (len(results) - len(failed), len(failed)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
