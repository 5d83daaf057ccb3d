"""A pycapnp asyncio server of the test Calculator on 127.0.0.1.

Prints "PORT <n>" once it listens and serves until it is killed.
"""

from __future__ import annotations

import asyncio
import sys

import capnp

from _common import load

rpc = load()


class Counter(rpc.Counter.Server):
    def __init__(self, start):
        self.value = start

    async def next(self, _context, **kwargs):
        self.value += 1
        _context.results.value = self.value


class Calculator(rpc.Calculator.Server):
    async def ping(self, _context, **kwargs):
        _context.results.pong = "pycapnp"

    async def add(self, a, b, _context, **kwargs):
        _context.results.sum = a + b

    async def echo(self, text, _context, **kwargs):
        _context.results.text = text

    async def scale(self, values, factor, _context, **kwargs):
        out = _context.results.init("values", len(values))
        for i, value in enumerate(values):
            out[i] = value * factor

    async def makeCounter(self, start, _context, **kwargs):
        _context.results.counter = Counter(start)

    async def subscribe(self, listener, value, _context, **kwargs):
        answer = await listener.notify(value=value)
        _context.results.ack = "pycapnp saw " + answer.received

    async def getReflectionVersion(self, _context, **kwargs):
        _context.results.version = "1.0.0"


async def serve(stream):
    await capnp.TwoPartyServer(stream, bootstrap=Calculator()).on_disconnect()


async def main():
    server = await capnp.AsyncIoStream.create_server(serve, "127.0.0.1", 0)
    port = server.sockets[0].getsockname()[1]
    print(f"PORT {port}", flush=True)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    asyncio.run(capnp.run(main()))
    sys.exit(0)
