"""A pycapnp client of the test Calculator served by nuvrel.comms.

Usage: pycapnp_client.py PORT. Calls the server, prints one JSON object with
what it received and exits 0; any failure exits non-zero with the error.
"""

from __future__ import annotations

import asyncio
import json
import sys

import capnp

from _common import load

rpc = load()


class Listener(rpc.Listener.Server):
    def __init__(self):
        self.seen = []

    async def notify(self, value, _context, **kwargs):
        self.seen.append(value)
        _context.results.received = value[::-1]


async def main(port: int) -> dict:
    stream = await capnp.AsyncIoStream.create_connection(host="127.0.0.1", port=port)
    client = capnp.TwoPartyClient(stream)
    calc = client.bootstrap().cast_as(rpc.Calculator)
    out: dict = {}
    out["sum"] = (await calc.add(a=40, b=2)).sum
    out["echo"] = (await calc.echo(text="grüß dich")).text
    out["pong"] = (await calc.ping()).pong
    out["scaled"] = list((await calc.scale(values=[1.0, 2.5], factor=2.0)).values)
    schema = (await calc.getTheSchema()).theSchema
    out["typeId"] = schema.typeId
    out["nodes"] = len(schema.theSchema)
    counter = (await calc.makeCounter(start=10)).counter
    out["counter"] = [(await counter.next()).value for _ in range(3)]
    listener = Listener()
    out["ack"] = (await calc.subscribe(listener=listener, value="abc")).ack
    out["listener_seen"] = listener.seen
    try:
        await calc.fail(reason=1, text="too busy")
    except capnp.KjException as error:
        out["fail_type"] = str(error.type)
        out["fail_text"] = error.description
    return out


if __name__ == "__main__":
    result = asyncio.run(capnp.run(main(int(sys.argv[1]))))
    print(json.dumps(result), flush=True)
