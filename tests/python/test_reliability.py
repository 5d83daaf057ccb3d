"""Faults a deployment meets: a server process killed mid-call, a context
closed under load, server callbacks that misbehave, and peers that send bytes
which are no Cap'n Proto message. In every case the calls end, nothing hangs
and the rest of the system keeps working."""

from __future__ import annotations

import asyncio
import pathlib
import signal
import socket
import struct
import subprocess
import sys
import time

import pytest

from nuvrel.comms import CapnpContext, Fulfiller, errors
from rpc_support import ctx, rpc  # noqa: F401

T = 10  # seconds; every await below is bounded
PEERS = pathlib.Path(__file__).resolve().parent / "peers"
Reason = Fulfiller.RejectReason


def calculator(rpc):
    class Calculator(rpc.CalculatorServer):
        async def add(self, a, b):
            return {"sum": a + b}

        async def sleep(self, ms):
            await asyncio.sleep(ms / 1000)

    return Calculator()


@pytest.fixture
def server_ctx():
    context = CapnpContext()
    yield context
    context.close()


async def _read_line(stream, timeout):
    loop = asyncio.get_running_loop()
    return await asyncio.wait_for(loop.run_in_executor(None, stream.readline), timeout)


@pytest.mark.timeout(45)
async def test_server_killed_during_a_hundred_calls(rpc, ctx, server_ctx):
    proc = subprocess.Popen([sys.executable, str(PEERS / "nuvrel_server.py"), rpc.__file__],
                            stdout=subprocess.PIPE, text=True)
    try:
        port = int(await _read_line(proc.stdout, 30))
        client = await asyncio.wait_for(ctx.connect("127.0.0.1", port), T)
        calls = [asyncio.ensure_future(client.sleep(ms=20000)) for _ in range(100)]
        # Answered after the hundred requests went out on the same connection.
        assert (await asyncio.wait_for(client.add(a=1, b=2), T)).sum == 3
        killed = time.monotonic()
        proc.send_signal(signal.SIGKILL)
        done, pending = await asyncio.wait(calls, timeout=1.0)
        elapsed = time.monotonic() - killed
        assert not pending, f"{len(pending)} calls still pending {elapsed:.2f}s after the kill"
        for call in done:
            assert isinstance(call.exception(), errors.DisconnectError), call.exception()
        with pytest.raises(errors.DisconnectError,
                           match=r"Client \d+ already disconnected \(.+\)\. Cannot send any request anymore\."):
            await asyncio.wait_for(client.add(a=1, b=2), T)
        # The context still makes new connections.
        server = await asyncio.wait_for(server_ctx.listen("127.0.0.1", 0, calculator(rpc)), T)
        other = await asyncio.wait_for(ctx.connect("127.0.0.1", server.port), T)
        assert (await asyncio.wait_for(other.add(a=2, b=2), T)).sum == 4
    finally:
        proc.kill()
        proc.wait(10)
        proc.stdout.close()


async def test_context_closed_with_a_thousand_calls_in_flight(rpc, server_ctx):
    server = await asyncio.wait_for(server_ctx.listen("127.0.0.1", 0, calculator(rpc)), T)
    context = CapnpContext()
    try:
        client = await asyncio.wait_for(context.connect("127.0.0.1", server.port), T)
        calls = [asyncio.ensure_future(client.sleep(ms=20000) if i % 2 else client.add(a=i, b=1))
                 for i in range(1000)]
        await asyncio.sleep(0.05)
        started = time.monotonic()
        context.close()
        done, pending = await asyncio.wait(calls, timeout=max(0.1, 2.0 - (time.monotonic() - started)))
        assert not pending, f"{len(pending)} of 1000 calls left pending"
        for i, call in enumerate(calls):
            if call.exception() is None:
                assert i % 2 == 0 and call.result().sum == i + 1
            else:
                assert isinstance(call.exception(), errors.BaseError)
                assert "Operation was cancelled." in str(call.exception())
    finally:
        context.close()


async def test_misbehaving_callbacks_leave_the_server_serving(rpc, ctx):
    held = []

    async def callback(interface_id, method_index, params, fulfiller):
        if interface_id != rpc.CalculatorServer.capnp_id:  # the responsiveness check
            fulfiller.reject(Reason.UNIMPLEMENTED, "no reflection here")
            return
        mode = params.a
        if mode == 1:
            raise RuntimeError("callback failed")
        if mode == 2:
            held.append(fulfiller)  # never fulfilled
            return
        if mode == 3:
            fulfiller.fulfill(sum=1)
            fulfiller.fulfill(sum=2)
            fulfiller.reject(Reason.FAILED, "too late")
            return
        if mode == 4:
            fulfiller.fulfill(sum="not a number")
            return
        fulfiller.fulfill(sum=params.a + params.b)

    server, client = await asyncio.wait_for(
        ctx.create_pipe(callback, rpc.CalculatorServer.get_schema()), T)

    async def healthy():
        assert (await asyncio.wait_for(client.add(a=10, b=5), T)).sum == 15

    # The raised exception ends the coroutine, which releases the fulfiller.
    released = "cross-thread PromiseFulfiller was destroyed without fulfilling the promise."
    with pytest.raises(errors.BadRequestError, match=released):
        await asyncio.wait_for(client.add(a=1), T)
    await healthy()
    with pytest.raises(asyncio.TimeoutError):
        await asyncio.wait_for(client.add(a=2), 0.3)  # the caller gives up
    await healthy()
    held.pop().fulfill(sum=7)  # after the caller went away: dropped
    await healthy()
    assert (await asyncio.wait_for(client.add(a=3), T)).sum == 1  # the first answer wins
    await healthy()
    with pytest.raises(errors.BadRequestError, match=released):  # the conversion raised
        await asyncio.wait_for(client.add(a=4), T)
    await healthy()


def _frame(segment_words):
    """The stream framing's table for the given segment sizes (in words)."""
    table = struct.pack("<I", len(segment_words) - 1)
    table += b"".join(struct.pack("<I", n) for n in segment_words)
    if len(segment_words) % 2 == 0:
        table += b"\0" * 4
    return table


# payload, half-close after it, the reason of the Abort message the server
# sends before it closes (None: the peer gets only the close).
GARBAGE = [
    pytest.param(b"\xff" * 64, True, b"Message did not contain a root pointer.", id="garbage"),
    pytest.param(_frame([100]) + b"\x01" * 24, True, None, id="truncated"),
    pytest.param(_frame([9 * 1024 * 1024]) + b"\0" * 64, True,
                 b"[9437184 <= 8388608]; Message is too large.", id="beyond-the-reader-limit"),
    pytest.param(_frame([2]) + b"\xab" * 16, False,
                 b"Message contains non-struct pointer where struct pointer was expected.",
                 id="framed-nonsense"),
]


@pytest.mark.parametrize("payload,half_close,reason", GARBAGE)
async def test_a_peer_sending_garbage_is_dropped(rpc, ctx, server_ctx, payload, half_close, reason):
    server = await asyncio.wait_for(server_ctx.listen("127.0.0.1", 0, calculator(rpc)), T)
    before = await asyncio.wait_for(ctx.connect("127.0.0.1", server.port), T)
    loop = asyncio.get_running_loop()

    def misbehave():
        with socket.create_connection(("127.0.0.1", server.port), timeout=T) as peer:
            peer.sendall(payload)
            received = b""
            try:
                if half_close:
                    peer.shutdown(socket.SHUT_WR)
            except OSError:  # the server was quicker and closed already
                pass
            try:
                while chunk := peer.recv(65536):
                    received += chunk
            except ConnectionResetError:
                pass
            return received

    # The server ends the connection (recv sees its end) instead of waiting.
    received = await asyncio.wait_for(loop.run_in_executor(None, misbehave), T)
    if reason is not None:
        assert reason in received
    assert (await asyncio.wait_for(before.add(a=1, b=2), T)).sum == 3
    after = await asyncio.wait_for(ctx.connect("127.0.0.1", server.port), T)
    assert (await asyncio.wait_for(after.add(a=3, b=4), T)).sum == 7
