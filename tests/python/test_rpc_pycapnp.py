"""Interoperability with pycapnp over loopback TCP, in both directions.

pycapnp carries its own copy of the Cap'n Proto library, so every pycapnp
peer runs in its own process (tests/python/peers/), started with a time-out
and killed when the test ends.
"""

from __future__ import annotations

import asyncio
import json
import pathlib
import subprocess
import sys

import numpy as np
import pytest

from nuvrel.comms import CapnpContext, DynamicClient
from rpc_support import rpc  # noqa: F401

pytest.importorskip("capnp")

PEERS = pathlib.Path(__file__).resolve().parent / "peers"
T = 20


def start_peer(script: str, *args: str) -> subprocess.Popen:
    return subprocess.Popen([sys.executable, str(PEERS / script), *args], cwd=PEERS,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


def stop_peer(process: subprocess.Popen) -> None:
    if process.poll() is None:
        process.kill()
    process.communicate(timeout=T)


@pytest.fixture
def pycapnp_server():
    process = start_peer("pycapnp_server.py")
    try:
        line = process.stdout.readline()  # the peer prints its port at once
        assert line.startswith("PORT "), line + process.stderr.read()
        yield int(line.split()[1])
    finally:
        stop_peer(process)


async def test_our_client_calls_a_pycapnp_server(rpc, pycapnp_server):
    async with CapnpContext() as ctx:
        calc = await asyncio.wait_for(
            ctx.connect("127.0.0.1", pycapnp_server, schema=rpc.CalculatorClient.get_schema()), T)
        assert (await asyncio.wait_for(calc.add(a=-7, b=50), T)).sum == 43
        assert (await asyncio.wait_for(calc.echo(text="ünïcode"), T)).text == "ünïcode"
        assert (await asyncio.wait_for(calc.ping(), T)).pong == "pycapnp"
        scaled = await asyncio.wait_for(calc.scale(values=np.arange(5.0), factor=0.5), T)
        np.testing.assert_array_equal(np.asarray(scaled.values), np.arange(5.0) * 0.5)

        # A capability in a result becomes a client we can call.
        counter = (await asyncio.wait_for(calc.makeCounter(start=3), T)).counter
        assert isinstance(counter, DynamicClient)
        assert [(await asyncio.wait_for(counter.next(), T)).value for _ in range(2)] == [4, 5]

        # Our Callback in a parameter is called back by the pycapnp server.
        seen = []

        async def listener(interface_id, method_index, params, fulfiller):
            seen.append((interface_id, method_index, params.value))
            fulfiller.fulfill(received=params.value * 2)

        answer = await asyncio.wait_for(
            calc.subscribe(listener=ctx.register_callback(listener), value="ab"), T)
        assert answer.ack == "pycapnp saw abab"
        assert seen == [(rpc.ListenerServer.capnp_id, 0, "ab")]


def calculator(rpc, ctx):
    class Calculator(rpc.CalculatorServer):
        async def ping(self):
            return {"pong": "nuvrel"}

        async def add(self, a, b):
            return {"sum": a + b}

        async def echo(self, text):
            return {"text": text}

        async def scale(self, values, factor):
            return {"values": np.asarray(values) * factor}

        async def fail(self, reason, text):
            from nuvrel.comms import errors
            raise errors.OverwhelmedError(text)

        async def makeCounter(self, start):
            state = {"value": start}

            async def counter(interface_id, method_index, params, fulfiller):
                state["value"] += 1
                fulfiller.fulfill(value=state["value"])

            return {"counter": ctx.register_callback(counter)}

        async def subscribe(self, listener, value):
            answer = await asyncio.wait_for(listener.notify(value=value), T)
            return {"ack": "nuvrel saw " + answer.received}

    return Calculator()


async def test_pycapnp_client_calls_our_server(rpc):
    async with CapnpContext() as ctx:
        server = await asyncio.wait_for(ctx.listen("127.0.0.1", 0, calculator(rpc, ctx)), T)
        process = start_peer("pycapnp_client.py", str(server.port))
        try:
            # The peer runs in another process; wait for it without blocking
            # the loop that serves it.
            out, err = await asyncio.wait_for(asyncio.to_thread(process.communicate), T)
        finally:
            stop_peer(process)
        assert process.returncode == 0, err
        result = json.loads(out.strip().splitlines()[-1])
    assert result["sum"] == 42
    assert result["echo"] == "grüß dich"
    assert result["pong"] == "nuvrel"
    assert result["scaled"] == [2.0, 5.0]
    assert result["typeId"] == rpc.CalculatorServer.capnp_id and result["nodes"] > 5
    assert result["counter"] == [11, 12, 13]
    assert result["ack"] == "nuvrel saw cba" and result["listener_seen"] == ["abc"]
    assert result["fail_type"] == "OVERLOADED" and "too busy" in result["fail_text"]
