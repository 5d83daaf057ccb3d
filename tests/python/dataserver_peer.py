"""A stand-in for a data server, for tests of the data-server connection.

It plays the server's side of the opening on 127.0.0.1: it sends the 256-byte
hello, reads and records the one HTTP request, and answers by scenario:

- ``Upgrade``: 101 with the kernel headers, then relays the connection to a
  real RPC backend (any two-party Cap'n Proto server on loopback). With
  ``early_bytes=True`` the peer answers the client's bootstrap question itself
  before the client asks it, so that the 101 head and the first RPC bytes go
  out in one write (as a server that starts talking at once would).
- ``Respond``: any status, headers and body, then closes.
- ``Silence``: sends nothing at all (not even the hello), keeps the
  connection open until the client gives up.

Everything is built from the wire formats alone (the hello from its JSON
layout, RPC messages and bodies with pycapnp), independently of the code
under test.
"""

from __future__ import annotations

import asyncio
import dataclasses
import json
import struct
import uuid
from typing import Optional, Union

HELLO_SIZE = 256


def hello_bytes(
    kind: str = "orchestrator",
    schema: Optional[str] = "1.17.0",
    pv_ver: Optional[str] = "26.11.0",
    protocol: Optional[str] = "capnp",
    terminator: bytes = b"\x00",
    raw: Optional[bytes] = None,
) -> bytes:
    """The server's hello: compact JSON, a line feed, spaces, a final byte."""
    if raw is not None:
        return raw
    fields: dict = {"kind": kind}
    if protocol is not None:
        fields["protocol"] = protocol
    if schema is not None:
        fields["schema"] = schema
    if pv_ver is not None:
        fields["pvVer"] = pv_ver
    text = json.dumps(fields, separators=(",", ":")).encode()
    assert len(text) <= HELLO_SIZE - 2
    body = text + b"\n"
    return body + b" " * (HELLO_SIZE - 1 - len(body)) + terminator


@dataclasses.dataclass
class Upgrade:
    backend: tuple  # (host, port) of a two-party RPC server
    upgrade: Optional[str] = "capnp"
    uid: Optional[str] = "0123456789abcdef0123456789abcdef"
    version: Optional[str] = "26.11.0"
    extra_headers: dict = dataclasses.field(default_factory=dict)
    early_bytes: bool = False


@dataclasses.dataclass
class Respond:
    status: int
    reason: str = "Whatever"
    headers: dict = dataclasses.field(default_factory=dict)
    body: bytes = b""


@dataclasses.dataclass
class Silence:
    pass


Scenario = Union[Upgrade, Respond, Silence]


@dataclasses.dataclass
class RecordedRequest:
    request_line: str
    method: str
    target: str
    headers: dict  # lower-case names -> values
    raw: bytes


def frame_length(buffer: bytes) -> Optional[int]:
    """Length of the first message in standard stream framing, if complete."""
    if len(buffer) < 4:
        return None
    (count_minus_one,) = struct.unpack_from("<I", buffer, 0)
    count = count_minus_one + 1
    header = 4 + 4 * count
    header += (8 - header % 8) % 8
    if len(buffer) < 4 + 4 * count:
        return None
    sizes = struct.unpack_from("<%dI" % count, buffer, 4)
    return header + 8 * sum(sizes)


def bootstrap_message(question_id: int = 0) -> bytes:
    """An RPC Bootstrap message, built with pycapnp from Cap'n Proto's rpc.capnp."""
    import capnp  # the pycapnp peer

    rpc = capnp.SchemaParser().load("/usr/include/capnp/rpc.capnp", imports=["/usr/include"])
    message = rpc.Message.new_message()
    message.init("bootstrap").questionId = question_id
    return message.to_bytes()


class DataServerPeer:
    def __init__(self, scenario: Scenario, hello: Optional[bytes] = None):
        self.scenario = scenario
        self.hello = hello_bytes() if hello is None else hello
        self.requests: list[RecordedRequest] = []
        self.connections = 0
        self._server: Optional[asyncio.AbstractServer] = None
        self._tasks: set[asyncio.Task] = set()
        self.port = 0

    async def __aenter__(self) -> "DataServerPeer":
        self._server = await asyncio.start_server(self._serve, "127.0.0.1", 0)
        self.port = self._server.sockets[0].getsockname()[1]
        return self

    async def __aexit__(self, *exc) -> None:
        assert self._server is not None
        self._server.close()
        for task in list(self._tasks):
            task.cancel()
        for task in list(self._tasks):
            try:
                await asyncio.wait_for(task, 2)
            except (asyncio.CancelledError, Exception):
                pass
        await asyncio.wait_for(self._server.wait_closed(), 2)

    async def _serve(self, reader: asyncio.StreamReader, writer: asyncio.StreamWriter) -> None:
        self.connections += 1
        task = asyncio.current_task()
        assert task is not None
        self._tasks.add(task)
        try:
            await self._handle(reader, writer)
        except (ConnectionError, asyncio.IncompleteReadError):
            pass
        finally:
            self._tasks.discard(task)
            writer.close()

    async def _handle(self, reader, writer) -> None:
        if isinstance(self.scenario, Silence):
            await asyncio.sleep(3600)
            return
        writer.write(self.hello)
        await writer.drain()
        head = await reader.readuntil(b"\r\n\r\n")
        self.requests.append(parse_request(head))
        scenario = self.scenario
        if isinstance(scenario, Respond):
            writer.write(response_head(scenario.status, scenario.reason, scenario.headers,
                                       len(scenario.body)) + scenario.body)
            await writer.drain()
            # Leave the client time to read before the close.
            await asyncio.sleep(0.2)
            return
        await self._upgrade(scenario, reader, writer)

    async def _upgrade(self, scenario: Upgrade, reader, writer) -> None:
        headers = {"Connection": "Upgrade"}
        if scenario.upgrade is not None:
            headers["Upgrade"] = scenario.upgrade
        if scenario.uid is not None:
            headers["Nuvrel-Kernel-Uid"] = scenario.uid
        if scenario.version is not None:
            headers["Nuvrel-Kernel-Version"] = scenario.version
        headers.update(scenario.extra_headers)
        head = response_head(101, "Switching Protocols", headers, None)

        backend_reader, backend_writer = await asyncio.open_connection(*scenario.backend)
        try:
            if scenario.early_bytes:
                # Ask the backend the client's first question ourselves, and
                # send its answer together with the 101 head. The client's own
                # bootstrap (question 0, always its first message) is then
                # swallowed; later messages refer to the same question ids.
                backend_writer.write(bootstrap_message(0))
                await backend_writer.drain()
                answer = await read_frame(backend_reader)
                writer.write(head + answer)
                await writer.drain()
                first = await read_frame(reader)
                assert first  # dropped on purpose
            else:
                writer.write(head)
                await writer.drain()
            await relay(reader, writer, backend_reader, backend_writer)
        finally:
            backend_writer.close()


async def read_frame(reader: asyncio.StreamReader) -> bytes:
    buffer = await reader.readexactly(4)
    (count_minus_one,) = struct.unpack("<I", buffer)
    buffer += await reader.readexactly(4 * (count_minus_one + 1))
    length = frame_length(buffer)
    assert length is not None
    return buffer + await reader.readexactly(length - len(buffer))


async def relay(client_reader, client_writer, backend_reader, backend_writer) -> None:
    async def pump(src, dst):
        try:
            while data := await src.read(65536):
                dst.write(data)
                await dst.drain()
        finally:
            dst.close()

    await asyncio.gather(
        pump(client_reader, backend_writer),
        pump(backend_reader, client_writer),
        return_exceptions=True,
    )


def parse_request(head: bytes) -> RecordedRequest:
    lines = head.decode("latin-1").split("\r\n")
    request_line = lines[0]
    method, target, _version = request_line.split(" ", 2)
    headers = {}
    for line in lines[1:]:
        if not line:
            continue
        name, _, value = line.partition(":")
        headers[name.strip().lower()] = value.strip()
    return RecordedRequest(request_line, method, target, headers, head)


def response_head(status: int, reason: str, headers: dict, content_length: Optional[int]) -> bytes:
    lines = [f"HTTP/1.1 {status} {reason}"]
    for name, value in headers.items():
        lines.append(f"{name}: {value}")
    if content_length is not None:
        lines.append(f"Content-Length: {content_length}")
    return ("\r\n".join(lines) + "\r\n\r\n").encode("latin-1")


def kernel_uid_text() -> str:
    return str(uuid.UUID("0123456789abcdef0123456789abcdef"))
