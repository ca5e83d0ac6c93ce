#!/usr/bin/env python3
"""Download and unpack benchmarks of the update service, on this machine, in one run.

usage: run_benchmarks.py BIN_FOLDER [SIZE_MIB]

Download: a module of SIZE_MIB (default 512) served over loopback by Python's http.server;
throughput of bench_download (the service's download path) against `curl -o file`, and the
peak resident memory of bench_download. Unpack: the same data as a deflated archive,
unpacked by bench_unpack (our archive library) against Debian's `unzip`. Each tool runs three
times; the best time counts. Nothing here runs under `make test`.
"""
import os
import resource
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import zipfile


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def best_of(runs, command, cwd=None):
    best = None
    for _ in range(runs):
        start = time.monotonic()
        subprocess.run(command, check=True, cwd=cwd, stdout=subprocess.DEVNULL)
        elapsed = time.monotonic() - start
        best = elapsed if best is None else min(best, elapsed)
    return best


def main():
    bin_folder = os.path.abspath(sys.argv[1])
    size_mib = int(sys.argv[2]) if len(sys.argv) > 2 else 512
    work = tempfile.mkdtemp(prefix="quorvel-bench-")
    server = None
    try:
        module = os.path.join(work, "module.bin")
        # Half random, half repeated text: compresses like a real module of binaries and data.
        chunk = os.urandom(1 << 19) + (b"<agent><id>42</id></agent>\r\n" * 18725)[: 1 << 19]
        with open(module, "wb") as out:
            for _ in range(size_mib):
                out.write(chunk)
        port = free_port()
        server = subprocess.Popen(
            [sys.executable, "-m", "http.server", str(port), "--bind", "127.0.0.1",
             "--directory", work],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            try:
                socket.create_connection(("127.0.0.1", port), timeout=0.1).close()
                break
            except OSError:
                time.sleep(0.05)
        url = "http://127.0.0.1:%d/module.bin" % port
        size = os.path.getsize(module)

        curl_time = best_of(3, ["curl", "-s", "-o", os.path.join(work, "by-curl.bin"), url])
        ours_time = best_of(3, [os.path.join(bin_folder, "bench_download"), url,
                                os.path.join(work, "by-service.bin")])
        peak_kib = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
        with open(os.path.join(work, "by-service.bin"), "rb") as a, open(module, "rb") as b:
            same = a.read(1 << 20) == b.read(1 << 20)
        print("download %d MiB: curl %.2f s (%.0f MiB/s), service %.2f s (%.0f MiB/s), "
              "ratio %.2f, same bytes %s" % (size_mib, curl_time, size_mib / curl_time,
                                             ours_time, size_mib / ours_time,
                                             curl_time / ours_time, same))
        # The children's peak includes curl and Python's server is not our child's child;
        # measure the download driver alone for its peak memory.
        peak = subprocess.run(["/usr/bin/time", "-f", "%M",
                               os.path.join(bin_folder, "bench_download"), url,
                               os.path.join(work, "by-service.bin")],
                              check=True, stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE, text=True).stderr.strip().splitlines()[-1]
        print("download peak memory of the service path: %s KiB (all children: %d KiB)" %
              (peak, peak_kib))
        os.remove(os.path.join(work, "by-curl.bin"))
        os.remove(os.path.join(work, "by-service.bin"))

        archive = os.path.join(work, "module.zip")
        with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
            z.write(module, "bin/module.bin")
        os.remove(module)
        unzip_dir = os.path.join(work, "unzip")
        ours_dir = os.path.join(work, "ours")
        os.makedirs(unzip_dir)
        os.makedirs(ours_dir)
        unzip_time = best_of(3, ["unzip", "-o", "-q", archive, "-d", unzip_dir])
        unpack_time = best_of(3, [os.path.join(bin_folder, "bench_unpack"), archive, ours_dir])
        print("unpack %d MiB: unzip %.2f s, archive library %.2f s, ratio %.2f" %
              (size_mib, unzip_time, unpack_time, unzip_time / unpack_time))
    finally:
        if server:
            server.terminate()
            server.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
