"""The nuvrel.comms side of the benchmarks: a server or a client process.

    peer_ours.py server GENERATED_DIR           # prints "PORT <n>", serves until killed
    peer_ours.py client GENERATED_DIR PORT SCENARIO ARG REPEATS
    peer_ours.py serialize GENERATED_DIR COUNT REPEATS

A client prints one JSON object: {"runs": [measurement, ...]}.
"""

from __future__ import annotations

import asyncio
import json
import sys
import time

import numpy as np

import _common
from nuvrel.comms import CapnpContext, serialize


def make_server(schema):
    class Bench(schema.BenchServer):
        async def add(self, a, b):
            return {"sum": a + b}

        async def echoFloats(self, values):
            # A read-only view over the request; answered with one bulk copy.
            return {"values": np.asarray(values)}

        async def echoPoints(self, points):
            return {"points": points}

        async def getReflectionVersion(self):
            return {"version": "1.0.0"}

    return Bench()


async def serve(schema) -> None:
    async with CapnpContext() as ctx:
        server = await ctx.listen("127.0.0.1", 0, make_server(schema))
        print(f"PORT {server.port}", flush=True)
        await asyncio.Event().wait()


async def floats(client, size: int) -> dict:
    values = np.random.default_rng(1).random(size // 8)
    start = time.perf_counter()
    result = await client.echoFloats(values=values)
    back = np.asarray(result.values)
    elapsed = time.perf_counter() - start
    assert back.shape == values.shape and back[-1] == values[-1]
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


async def run_client(schema, port: int, scenario: str, arg: int, repeats: int) -> dict:
    async with CapnpContext() as ctx:
        client = await asyncio.wait_for(
            ctx.connect("127.0.0.1", port, schema=schema.BenchClient.get_schema()), 10)
        action = SCENARIOS[scenario]
        await action(client, max(1, arg // 10) if scenario != "floats" else 8)  # warm-up
        return {"runs": [await action(client, arg) for _ in range(repeats)]}


def run_serialize(schema, count: int, repeats: int) -> dict:
    loader = schema.get_schema_loader()
    record_id = schema.Record.capnp_id
    inputs = _common.records(count)
    runs = []
    for _ in range(repeats):
        start = time.perf_counter()
        packed = [serialize.from_dict(item, loader, record_id).to_packed_capnp() for item in inputs]
        encode = time.perf_counter() - start
        start = time.perf_counter()
        checksum = 0
        for blob in packed:
            record = serialize.from_packed_capnp(blob, loader, record_id)
            point = record.point
            checksum += record.id + len(record.name) + int(record.flag) + point.id
            checksum += int(record.value + point.x + point.y) + int(point.flag)
        decode = time.perf_counter() - start
        runs.append({"encode_rate": count / encode, "decode_rate": count / decode,
                     "checksum": checksum})
    return {"runs": runs}


def main(argv: list[str]) -> None:
    mode, folder = argv[0], argv[1]
    schema = _common.load_generated(folder)
    if mode == "server":
        asyncio.run(serve(schema))
    elif mode == "client":
        port, scenario, arg, repeats = int(argv[2]), argv[3], int(argv[4]), int(argv[5])
        print(json.dumps(asyncio.run(run_client(schema, port, scenario, arg, repeats))), flush=True)
    elif mode == "serialize":
        print(json.dumps(run_serialize(schema, int(argv[2]), int(argv[3]))), flush=True)
    else:
        raise SystemExit(f"unknown mode {mode!r}")


if __name__ == "__main__":
    main(sys.argv[1:])
