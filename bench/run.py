"""Runs every benchmark scenario, ours and pycapnp side by side, and writes
docs/BENCHMARKS.md.

    python bench/run.py            # full run, 5 repeats per measurement
    python bench/run.py --quick    # fewer repeats and smaller workloads

Servers and clients run in separate processes and talk over loopback TCP.
Each figure is the median of the repeats; the ratio is ours / pycapnp from
the same run.
"""

from __future__ import annotations

import argparse
import datetime
import json
import os
import pathlib
import platform
import subprocess
import sys
import tempfile
import time

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

import _common  # noqa: E402

PEERS = {"ours": HERE / "peer_ours.py", "pycapnp": HERE / "peer_pycapnp.py"}
TIMEOUT = 600
NOTES_MARKER = "<!-- notes: kept by bench/run.py -->"


def peer_command(impl: str, mode: str, generated: str, *args: object) -> list[str]:
    command = [sys.executable, str(PEERS[impl]), mode]
    if impl == "ours":
        command.append(generated)
    return command + [str(arg) for arg in args]


class Server:
    def __init__(self, impl: str, generated: str):
        self.impl = impl
        self.process = subprocess.Popen(peer_command(impl, "server", generated), cwd=HERE,
                                        stdout=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        if not line.startswith("PORT "):
            self.close()
            raise RuntimeError(f"{impl} server did not start: {line!r}")
        self.port = int(line.split()[1])

    def close(self) -> None:
        self.process.kill()
        self.process.wait(timeout=10)


def run_peer(command: list[str]) -> list[dict]:
    done = subprocess.run(command, cwd=HERE, capture_output=True, text=True, timeout=TIMEOUT)
    if done.returncode != 0:
        raise RuntimeError(f"{' '.join(command)} failed:\n{done.stderr}")
    return json.loads(done.stdout.strip().splitlines()[-1])["runs"]


def med(runs: list[dict], key: str) -> float:
    return _common.median([run[key] for run in runs])


def fmt(value: float) -> str:
    if value >= 100:
        return f"{value:,.0f}"
    if value >= 10:
        return f"{value:.1f}"
    return f"{value:.2f}"


def machine() -> str:
    model = "unknown CPU"
    try:
        for line in pathlib.Path("/proc/cpuinfo").read_text().splitlines():
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    import capnp
    import numpy
    return (f"{model}, {os.cpu_count()} logical CPUs, {platform.system()} {platform.release()}, "
            f"Python {platform.python_version()}, numpy {numpy.__version__}, "
            f"pycapnp {capnp.__version__} (its bundled Cap'n Proto), ours on Cap'n Proto 0.9.2")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--quick", action="store_true", help="fewer repeats, smaller workloads")
    parser.add_argument("--repeats", type=int, default=None)
    parser.add_argument("--output", default=str(_common.REPO / "docs" / "BENCHMARKS.md"))
    parser.add_argument("--note", default="", help="a line added to the report (e.g. machine load)")
    options = parser.parse_args()
    repeats = options.repeats or (2 if options.quick else 5)
    sequential_calls = 500 if options.quick else 3000
    # The servers of both libraries read requests with a traversal limit of
    # 8 Mi words (64 MiB), so the largest argument that fits is a little
    # under 64 MiB: 8,000,000 doubles (64 MB = 61 MiB).
    big = 8_000_000 * 8
    float_sizes = [1 << 20] + ([] if options.quick else [big])
    serialize_count = 2_000 if options.quick else 10_000

    from nuvrel.comms import compiler

    generated = tempfile.mkdtemp(prefix="nuvrel-bench-")
    compiler.compile(src=[str(_common.SCHEMA)], src_prefix=str(HERE), output_folder=generated,
                     import_paths=[str(_common.SRC_NATIVE)])
    load_before = os.getloadavg()
    started = time.time()
    rows: list[tuple[str, str, float, float]] = []   # scenario, unit, ours, pycapnp
    latency_rows: list[tuple[str, dict, dict]] = []
    cross_rows: list[tuple[str, str, float, float]] = []

    servers = {impl: Server(impl, generated) for impl in PEERS}
    try:
        def client(impl: str, server: str, scenario: str, arg: int) -> list[dict]:
            print(f"  {impl} client -> {server} server: {scenario} {arg}", flush=True)
            return run_peer(peer_command(impl, "client", generated, servers[server].port,
                                         scenario, arg, repeats))

        same = {impl: client(impl, impl, "sequential", sequential_calls) for impl in PEERS}
        latency_rows.append((f"1. sequential add(a, b), {sequential_calls} calls",
                             same["ours"], same["pycapnp"]))
        rows.append(("1. sequential add(a, b)", "calls/s", med(same["ours"], "rate"),
                     med(same["pycapnp"], "rate")))
        for depth in (100, 1000):
            runs = {impl: client(impl, impl, "in_flight", depth) for impl in PEERS}
            rows.append((f"2. {depth} calls in flight", "calls/s", med(runs["ours"], "rate"),
                         med(runs["pycapnp"], "rate")))
        for size in float_sizes:
            runs = {impl: client(impl, impl, "floats", size) for impl in PEERS}
            label = "1 MiB" if size == 1 << 20 else "64 MB (8,000,000 doubles)"
            rows.append((f"3. List(Float64) round trip, {label}", "MB/s",
                         med(runs["ours"], "rate"), med(runs["pycapnp"], "rate")))
        runs = {impl: client(impl, impl, "points", 10_000) for impl in PEERS}
        rows.append(("4. 10,000 structs of 4 fields echoed", "structs/s",
                     med(runs["ours"], "rate"), med(runs["pycapnp"], "rate")))
        for scenario, arg, label in (("sequential", sequential_calls, "sequential add"),
                                     ("in_flight", 100, "100 in flight")):
            # The same client against both servers isolates the server path.
            for impl in PEERS:
                against = {server: client(impl, server, scenario, arg) for server in PEERS}
                cross_rows.append((f"{label}, {impl} client", "calls/s",
                                   med(against["ours"], "rate"), med(against["pycapnp"], "rate")))
    finally:
        for server in servers.values():
            server.close()

    print(f"  serialization, {serialize_count} messages", flush=True)
    serial = {impl: run_peer(peer_command(impl, "serialize", generated, serialize_count, repeats))
              for impl in PEERS}
    rows.append((f"5a. dict -> packed bytes, {serialize_count:,} messages", "messages/s",
                 med(serial["ours"], "encode_rate"), med(serial["pycapnp"], "encode_rate")))
    rows.append((f"5b. packed -> struct -> field reads, {serialize_count:,} messages", "messages/s",
                 med(serial["ours"], "decode_rate"), med(serial["pycapnp"], "decode_rate")))
    elapsed = time.time() - started
    load_after = os.getloadavg()

    lines = ["# Benchmarks", "",
             "nuvrel.comms (\"ours\") against pycapnp on the same schema (`bench/bench.capnp`), "
             "measured side by side in one run. Server and client run in separate processes "
             "over loopback TCP. Each figure is the median of "
             f"{repeats} repeats; the ratio is ours / pycapnp.", "",
             "Command: `python bench/run.py" + (" --quick" if options.quick else "") + "`", "",
             f"Run: {datetime.datetime.now(datetime.timezone.utc):%Y-%m-%d %H:%M} UTC, "
             f"{elapsed:.0f} s.", "",
             f"Machine: {machine()}.", "",
             f"Load average (1 min) before / after the run: {load_before[0]:.2f} / "
             f"{load_after[0]:.2f}." + (f" {options.note}" if options.note else ""), "",
             "## Throughput", "",
             "| scenario | unit | ours | pycapnp | ours / pycapnp |",
             "|---|---|---:|---:|---:|"]
    for label, unit, ours, peer in rows:
        lines.append(f"| {label} | {unit} | {fmt(ours)} | {fmt(peer)} | {ours / peer:.2f} |")
    lines += ["", "## Latency of sequential calls", "",
              "| scenario | ours p50 µs | ours p99 µs | pycapnp p50 µs | pycapnp p99 µs | p50 ours / pycapnp |",
              "|---|---:|---:|---:|---:|---:|"]
    for label, ours_runs, peer_runs in latency_rows:
        o50, o99 = med(ours_runs, "p50_us"), med(ours_runs, "p99_us")
        p50, p99 = med(peer_runs, "p50_us"), med(peer_runs, "p99_us")
        lines.append(f"| {label} | {fmt(o50)} | {fmt(o99)} | {fmt(p50)} | {fmt(p99)} | {o50 / p50:.2f} |")
    lines += ["", "## 6. Server side: the same client against both servers", "",
              "| scenario | unit | our server | pycapnp server | ours / pycapnp |",
              "|---|---|---:|---:|---:|"]
    for label, unit, ours, peer in cross_rows:
        lines.append(f"| {label} | {unit} | {fmt(ours)} | {fmt(peer)} | {ours / peer:.2f} |")
    lines += ["", "## What is measured", "",
              "- 1: `add(a, b)` awaited one after the other; latency per call, client side.",
              "- 2: batches of N `add` calls gathered from one asyncio loop (10,000 calls or "
              "10 batches, whichever is more).",
              "- 3: `echoFloats(values)` with a random Float64 array; MB/s is the payload size "
              "(one way) divided by the round-trip time. Ours: the client passes the numpy "
              "array, the server answers with `np.asarray(values)` (a zero-copy view of the "
              "request) and the client reads the result with `np.asarray`. pycapnp has no "
              "buffer path: the client sends `arr.tolist()` and reads `list(result.values)`, "
              "the server answers with `list(values)`. Both servers read requests with a "
              "traversal limit of 8 Mi words (64 MiB), so the large case is 8,000,000 "
              "doubles, the largest round figure that fits.",
              "- 4: `echoPoints(points)` with 10,000 dicts of 4 fields; the server returns the "
              "received list, the client sums the `id` of every returned struct.",
              "- 5: no network. 5a builds a message from a dict and packs it; 5b reads the "
              "packed bytes into a struct (ours: `serialize.from_packed_capnp` → "
              "`DynamicStruct`; pycapnp: `from_bytes_packed`) and reads all 8 fields "
              "(4 of them in a nested struct).",
              "- 6: each client library against our `listen` server and against pycapnp's "
              "server; with the client fixed, the ratio is that of the servers.", ""]
    output = pathlib.Path(options.output)
    output.parent.mkdir(parents=True, exist_ok=True)
    # Hand-written analysis below the marker survives a new run.
    if output.exists() and NOTES_MARKER in output.read_text():
        lines += ["", NOTES_MARKER + output.read_text().split(NOTES_MARKER, 1)[1]]
    output.write_text("\n".join(lines))
    print("\n".join(lines))


if __name__ == "__main__":
    main()
