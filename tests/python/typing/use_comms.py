"""Type-checked by scripts/test (mypy --strict) against the native module's
stubs: the calls a program makes, with the types it expects back."""

from __future__ import annotations

import asyncio
import typing as t

from nuvrel.comms import (CapnpContext, DestinationParams, DynamicClient, DynamicServer, Fulfiller,
                          InterfaceSchema, LogSeverity, SchemaLoader, errors, init_logs)
from nuvrel.comms.server import CapnpServer


class Adder(CapnpServer):
    async def add(self, a: int, b: int) -> dict[str, int]:
        return {"sum": a + b}


async def serve_and_call(schema: InterfaceSchema) -> int:
    init_logs(LogSeverity.WARNING)

    async def callback(interface_id: int, method_index: int, params: t.Any,
                       fulfiller: Fulfiller) -> None:
        if method_index == 0:
            fulfiller.fulfill(sum=params.a + params.b)
        else:
            fulfiller.reject(Fulfiller.RejectReason.UNIMPLEMENTED, "no")

    async with CapnpContext() as ctx:
        server: DynamicServer = await ctx.listen("127.0.0.1", 0, callback, schema)
        client: DynamicClient = await ctx.connect("127.0.0.1", server.port, timeout=1000)
        kernel: DynamicClient = await ctx.connect_orvane(
            "127.0.0.1", 8004, DestinationParams.device_connection("dev8123"), schema=schema)
        kernel.close()
        pipe_server, pipe_client = await ctx.create_pipe(Adder(), schema)
        try:
            result = await client.add(a=1, b=2)
        except errors.UnavailableError:
            return -1
        pipe_client.close()
        pipe_server.close()
        return int(result.sum) + server.port


def loader_of(blob: str) -> SchemaLoader:
    return SchemaLoader(blob, "4.3.0")


def run(schema: InterfaceSchema) -> int:
    return asyncio.run(serve_and_call(schema))
