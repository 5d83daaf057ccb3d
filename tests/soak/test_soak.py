"""Soak tests: many calls through one connection, many connect/close and
context create/close cycles, with resident memory, descriptors and threads
measured before and after. Excluded from the default run (marker `soak`).

    python -m pytest tests/soak -m soak -s                      # full figures
    NUVREL_SOAK_CALLS=20000 NUVREL_SOAK_CYCLES=100 \\
        python -m pytest tests/soak -m soak -s                  # short variant

Each test prints one line of figures ("soak: ...") and appends it as JSON to
the file named by NUVREL_SOAK_REPORT, if set.
"""

from __future__ import annotations

import asyncio
import gc
import json
import os
import threading
import time

import pytest

from nuvrel.comms import CapnpContext, _comms
from rpc_support import rpc  # noqa: F401

pytestmark = [pytest.mark.soak, pytest.mark.timeout(3600)]

CALLS = int(os.environ.get("NUVREL_SOAK_CALLS", "1000000"))
CYCLES = int(os.environ.get("NUVREL_SOAK_CYCLES", "2000"))
BATCH = 100  # calls in flight at once
T = 30


def rss_kib() -> int:
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise AssertionError("no VmRSS")


def fds() -> int:
    return len(os.listdir("/proc/self/fd"))


def os_threads() -> int:
    return len(os.listdir("/proc/self/task"))


def snapshot(*contexts) -> dict:
    gc.collect()
    tracked = [_comms._testing.tracked_python_objects(c) for c in contexts]
    return {"tracked": [t for t, _ in tracked], "graveyard": [g for _, g in tracked],
            "rss_kib": rss_kib(), "fds": fds(), "os_threads": os_threads(),
            "python_threads": threading.active_count(),
            "workers": _comms._testing.running_worker_threads(),
            "gc_objects": len(gc.get_objects())}


def report(name: str, **figures) -> None:
    line = {"test": name, **figures}
    print(f"\nsoak: {json.dumps(line)}")
    path = os.environ.get("NUVREL_SOAK_REPORT")
    if path:
        with open(path, "a") as out:
            out.write(json.dumps(line) + "\n")


def calculator(rpc):
    class Calculator(rpc.CalculatorServer):
        async def add(self, a, b):
            return {"sum": a + b}

    return Calculator()


async def _calls(client, count: int) -> None:
    for start in range(0, count, BATCH):
        n = min(BATCH, count - start)
        results = await asyncio.wait_for(
            asyncio.gather(*(client.add(a=start + i, b=1) for i in range(n))), T)
        assert results[-1].sum == start + n


async def test_calls_through_one_connection(rpc):
    with CapnpContext() as server_ctx, CapnpContext() as ctx:
        server = await asyncio.wait_for(server_ctx.listen("127.0.0.1", 0, calculator(rpc)), T)
        client = await asyncio.wait_for(ctx.connect("127.0.0.1", server.port), T)
        warm_up = min(20000, max(CALLS // 10, 1000))
        await _calls(client, warm_up)
        before = snapshot(server_ctx, ctx)
        started = time.monotonic()
        await _calls(client, CALLS)
        seconds = time.monotonic() - started
        after = snapshot(server_ctx, ctx)
        client.close()
        server.close()
    report("calls_through_one_connection", calls=CALLS, warm_up=warm_up,
           seconds=round(seconds, 1), before=before, after=after)
    # Flat after warm-up: no per-call growth. 16 MiB leaves room for allocator
    # noise; a leak of even 20 bytes per call over a million calls exceeds it.
    assert after["rss_kib"] - before["rss_kib"] < 16 * 1024
    assert after["fds"] == before["fds"]
    assert after["tracked"] == before["tracked"]
    assert after["gc_objects"] - before["gc_objects"] < 1000


async def test_connect_close_cycles(rpc):
    with CapnpContext() as server_ctx, CapnpContext() as ctx:
        server = await asyncio.wait_for(server_ctx.listen("127.0.0.1", 0, calculator(rpc)), T)
        for _ in range(10):  # warm-up
            client = await asyncio.wait_for(ctx.connect("127.0.0.1", server.port), T)
            client.close()
        await asyncio.sleep(0.2)
        before = snapshot(server_ctx, ctx)
        for i in range(CYCLES):
            client = await asyncio.wait_for(ctx.connect("127.0.0.1", server.port), T)
            assert (await asyncio.wait_for(client.add(a=i, b=1), T)).sum == i + 1
            client.close()
        await asyncio.sleep(0.5)  # the closes reach the worker and the server
        after = snapshot(server_ctx, ctx)
        server.close()
    report("connect_close_cycles", cycles=CYCLES, before=before, after=after)
    assert after["fds"] - before["fds"] <= 2
    assert after["os_threads"] == before["os_threads"]
    assert after["tracked"] == before["tracked"]
    assert after["rss_kib"] - before["rss_kib"] < 16 * 1024


async def test_context_create_close_cycles(rpc):
    with CapnpContext() as server_ctx:
        server = await asyncio.wait_for(server_ctx.listen("127.0.0.1", 0, calculator(rpc)), T)
        for _ in range(10):  # warm-up
            CapnpContext().close()
        before = snapshot(server_ctx)
        for i in range(CYCLES):
            ctx = CapnpContext()
            if i % 10 == 0:  # every tenth also connects and calls
                client = await asyncio.wait_for(ctx.connect("127.0.0.1", server.port), T)
                assert (await asyncio.wait_for(client.add(a=i, b=1), T)).sum == i + 1
                del client
            ctx.close()
        await asyncio.sleep(0.5)
        after = snapshot(server_ctx)
        server.close()
    report("context_create_close_cycles", cycles=CYCLES, before=before, after=after)
    assert after["workers"] == before["workers"]
    assert after["os_threads"] == before["os_threads"]
    assert after["fds"] - before["fds"] <= 2
    assert after["rss_kib"] - before["rss_kib"] < 16 * 1024
