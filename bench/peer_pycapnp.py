"""The pycapnp side of the benchmarks, used as a Python user would use it.

    peer_pycapnp.py server                      # prints "PORT <n>", serves until killed
    peer_pycapnp.py client PORT SCENARIO ARG REPEATS
    peer_pycapnp.py serialize COUNT REPEATS

pycapnp has no buffer path for lists: numbers go in as `arr.tolist()` and
come out as `list(...)`.
"""

from __future__ import annotations

import asyncio
import json
import sys
import time

import numpy as np

import _common

bench = _common.load_pycapnp()

import capnp  # noqa: E402  (loaded by _common)


class Bench(bench.Bench.Server):
    async def add(self, a, b, _context, **kwargs):
        _context.results.sum = a + b

    async def echoFloats(self, values, _context, **kwargs):
        _context.results.values = list(values)

    async def echoPoints(self, points, _context, **kwargs):
        _context.results.points = points

    async def getReflectionVersion(self, _context, **kwargs):
        _context.results.version = "1.0.0"


async def _serve_stream(stream):
    await capnp.TwoPartyServer(stream, bootstrap=Bench()).on_disconnect()


async def serve() -> None:
    server = await capnp.AsyncIoStream.create_server(_serve_stream, "127.0.0.1", 0)
    print(f"PORT {server.sockets[0].getsockname()[1]}", flush=True)
    async with server:
        await server.serve_forever()


async def floats(client, size: int) -> dict:
    values = np.random.default_rng(1).random(size // 8)
    start = time.perf_counter()
    result = await client.echoFloats(values=values.tolist())
    back = list(result.values)
    elapsed = time.perf_counter() - start
    assert len(back) == len(values) and back[-1] == values[-1]
    return {"rate": size / elapsed / 1e6, "seconds": elapsed}


async def many_points(client, count: int) -> dict:
    sent = _common.points(count)
    start = time.perf_counter()
    result = await client.echoPoints(points=sent)
    total = sum(point.id for point in result.points)
    elapsed = time.perf_counter() - start
    assert total == count * (count - 1) // 2
    return {"rate": count / elapsed, "seconds": elapsed}


SCENARIOS = {"sequential": _common.sequential, "in_flight": _common.in_flight, "floats": floats,
             "points": many_points}


async def run_client(port: int, scenario: str, arg: int, repeats: int) -> dict:
    stream = await capnp.AsyncIoStream.create_connection(host="127.0.0.1", port=port)
    # The client reads results without a traversal limit, as ours does.
    client = capnp.TwoPartyClient(stream, traversal_limit_in_words=2**63)
    bench_client = client.bootstrap().cast_as(bench.Bench)
    action = SCENARIOS[scenario]
    await action(bench_client, max(1, arg // 10) if scenario != "floats" else 8)  # warm-up
    return {"runs": [await action(bench_client, arg) for _ in range(repeats)]}


def run_serialize(count: int, repeats: int) -> dict:
    inputs = _common.records(count)
    runs = []
    for _ in range(repeats):
        start = time.perf_counter()
        packed = [bench.Record.new_message(**item).to_bytes_packed() for item in inputs]
        encode = time.perf_counter() - start
        start = time.perf_counter()
        checksum = 0
        for blob in packed:
            record = bench.Record.from_bytes_packed(blob)
            point = record.point
            checksum += record.id + len(record.name) + int(record.flag) + point.id
            checksum += int(record.value + point.x + point.y) + int(point.flag)
        decode = time.perf_counter() - start
        runs.append({"encode_rate": count / encode, "decode_rate": count / decode,
                     "checksum": checksum})
    return {"runs": runs}


def main(argv: list[str]) -> None:
    mode = argv[0]
    if mode == "server":
        asyncio.run(capnp.run(serve()))
    elif mode == "client":
        port, scenario, arg, repeats = int(argv[1]), argv[2], int(argv[3]), int(argv[4])
        result = asyncio.run(capnp.run(run_client(port, scenario, arg, repeats)))
        print(json.dumps(result), flush=True)
    elif mode == "serialize":
        print(json.dumps(run_serialize(int(argv[1]), int(argv[2]))), flush=True)
    else:
        raise SystemExit(f"unknown mode {mode!r}")


if __name__ == "__main__":
    main(sys.argv[1:])
