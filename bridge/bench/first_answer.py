#!/usr/bin/env python3
"""Benchmark: the bridge's first answer, as a browser sees it when the extension connects: the
program started, `hello` and `model` sent at once, the time until each answer has arrived. Five
rounds, each with a fresh per-user folder, on the 30-agent catalogue of the benchmarks.

  first_answer.py --program BIN --writer write_bench_catalogue --source REPO [--emulator WINE]
"""
import argparse
import json
import os
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))
from extension_ids import extension_origin  # noqa: E402


def frame(message):
    body = json.dumps(message).encode()
    return struct.pack("=I", len(body)) + body


def read_answer(stream):
    head = stream.read(4)
    if len(head) < 4:
        raise SystemExit("the bridge ended without answering")
    (length,) = struct.unpack("=I", head)
    return json.loads(stream.read(length))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--writer", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--emulator", default="")
    parser.add_argument("--rounds", type=int, default=5)
    args = parser.parse_args()
    wine = args.program.lower().endswith(".exe")
    place = (lambda p: "Z:" + p) if wine else (lambda p: p)

    work = tempfile.mkdtemp(prefix="bridge-bench-")
    install = os.path.join(work, "install")
    subprocess.run([args.writer, install], check=True)
    hello_times, model_times, agents = [], [], 0
    for round_ in range(args.rounds):
        profile = os.path.join(work, "profile%d" % round_)
        os.makedirs(profile)
        command = ([args.emulator] if args.emulator else []) + [
            args.program, extension_origin(args.source), "--install", place(install), "--profile", place(profile)]
        start = time.perf_counter()
        process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                   stderr=subprocess.DEVNULL)
        process.stdin.write(frame({"type": "hello", "protocol": 1}) + frame({"type": "model"}))
        process.stdin.flush()
        hello = read_answer(process.stdout)
        hello_times.append((time.perf_counter() - start) * 1000)
        model = read_answer(process.stdout)
        model_times.append((time.perf_counter() - start) * 1000)
        if hello.get("type") != "hello" or model.get("type") != "model":
            raise SystemExit("unexpected answers: %s %s" % (hello.get("type"), model.get("type")))
        agents = len(model["agents"])
        process.stdin.close()
        process.wait()
    shutil.rmtree(work, ignore_errors=True)
    with open("/proc/loadavg") as f:
        load = " ".join(f.read().split()[:3])
    name = os.path.basename(args.program)
    print("%s first answer (hello, from the start of the program): median %.1f ms "
          "(fastest %.1f, slowest %.1f); the model of %d agents: median %.1f ms; "
          "%d rounds; load %s" % (name, statistics.median(hello_times), min(hello_times),
                                  max(hello_times), agents, statistics.median(model_times),
                                  args.rounds, load))
    return 0


if __name__ == "__main__":
    sys.exit(main())
