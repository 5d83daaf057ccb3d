"""The context class that user code creates: one worker thread for all RPC."""

from __future__ import annotations

import asyncio
import typing as t

from . import _comms


def _callback_and_schema(
        callback: object, schema: t.Optional[_comms.InterfaceSchema]
) -> tuple[object, t.Optional[_comms.InterfaceSchema]]:
    """A CapnpServer instance serves through its dispatcher and, unless a
    schema is given, its own interface."""
    from .server import CapnpServer

    if isinstance(callback, CapnpServer):
        if schema is None:
            schema = type(callback).get_schema()
        return callback._dispatcher(schema), schema
    return callback, schema


class CapnpContext(_comms._CapnpContext):
    """Owns the background thread that runs every connection, client and
    server made from it.

    Use it as `async with CapnpContext() as ctx:` (or `with`); leaving the
    block closes it. `connect`, `connect_orvane`, `listen` and
    `create_pipe` must be called from code running in an asyncio event loop
    and return futures.

    `connect_orvane(host, port, destination, timeout=5000, schema=None)`
    reaches a kernel of a data server (the `DestinationParams` name it)
    through the server's hello and an HTTP upgrade; a destination of None
    raises at once.

    `listen` and `create_pipe` take either an async callback
    `(interface_id, method_index, input, fulfiller)` with the interface
    schema, or an instance of a `nuvrel.comms.server.CapnpServer` subclass,
    whose interface is used when no schema is given.
    """

    # A schema of None is refused by the native call with a TypeError naming
    # the argument.
    def listen(self, host: str, port: int, callback: object,
               schema: t.Optional[_comms.InterfaceSchema] = None
               ) -> "asyncio.Future[_comms.DynamicServer]":
        callback, schema = _callback_and_schema(callback, schema)
        return super().listen(host, port, callback, schema)  # type: ignore[arg-type]

    def create_pipe(self, server_callback: object,
                    schema: t.Optional[_comms.InterfaceSchema] = None
                    ) -> "asyncio.Future[tuple[_comms.DynamicServer, _comms.DynamicClient]]":
        server_callback, schema = _callback_and_schema(server_callback, schema)
        return super().create_pipe(server_callback, schema)  # type: ignore[arg-type]

    def register_callback(self, callback: object) -> _comms.Callback:
        from .server import CapnpServer

        if isinstance(callback, CapnpServer):
            callback = callback._dispatcher(type(callback).get_schema())
        return super().register_callback(callback)

    def __enter__(self) -> "CapnpContext":
        return self

    def __exit__(self, *exc_info: object) -> None:
        self.close()

    async def __aenter__(self) -> "CapnpContext":
        return self

    async def __aexit__(self, *exc_info: object) -> None:
        self.close()
