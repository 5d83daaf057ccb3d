"""Checks of the data-server stand-in itself, with a raw socket client, so
that failures of the client tests can be told apart from faults of the peer."""

import asyncio

import pytest

from dataserver_peer import (
    HELLO_SIZE,
    DataServerPeer,
    Respond,
    Upgrade,
    bootstrap_message,
    frame_length,
    hello_bytes,
)

pytestmark = pytest.mark.timeout(10)


def test_hello_layout():
    hello = hello_bytes()
    assert len(hello) == HELLO_SIZE
    text = b'{"kind":"orchestrator","protocol":"capnp","schema":"1.17.0","pvVer":"26.11.0"}'
    assert hello.startswith(text + b"\n ")
    assert hello[-1] == 0 and set(hello[len(text) + 1 : -1]) == {0x20}
    assert hello_bytes(terminator=b" ")[-1] == 0x20


def test_frame_length_of_a_real_message():
    message = bootstrap_message(0)
    assert frame_length(message) == len(message)
    assert frame_length(message[:3]) is None


async def _request(port, request=b"GET /x HTTP/1.1\r\nHost: h\r\n\r\n"):
    reader, writer = await asyncio.open_connection("127.0.0.1", port)
    hello = await reader.readexactly(HELLO_SIZE)
    writer.write(request)
    await writer.drain()
    return reader, writer, hello


async def test_respond_records_the_request():
    async with DataServerPeer(Respond(404, "Not Found", {"X-A": "1"}, b"body")) as peer:
        reader, writer, hello = await _request(peer.port)
        response = await asyncio.wait_for(reader.read(), 5)
        writer.close()
    assert hello == hello_bytes()
    assert response.startswith(b"HTTP/1.1 404 Not Found\r\n")
    assert response.endswith(b"Content-Length: 4\r\n\r\nbody")
    (recorded,) = peer.requests
    assert recorded.method == "GET" and recorded.target == "/x"
    assert recorded.headers == {"host": "h"}


async def test_upgrade_relays_to_the_backend():
    async def echo(reader, writer):
        while data := await reader.read(1024):
            writer.write(data)
            await writer.drain()
        writer.close()

    backend = await asyncio.start_server(echo, "127.0.0.1", 0)
    backend_port = backend.sockets[0].getsockname()[1]
    try:
        async with DataServerPeer(Upgrade(("127.0.0.1", backend_port))) as peer:
            reader, writer, _ = await _request(peer.port)
            head = await asyncio.wait_for(reader.readuntil(b"\r\n\r\n"), 5)
            writer.write(b"ping")
            await writer.drain()
            assert await asyncio.wait_for(reader.readexactly(4), 5) == b"ping"
            writer.close()
    finally:
        backend.close()
    assert head.startswith(b"HTTP/1.1 101 Switching Protocols\r\n")
    for line in (b"Upgrade: capnp", b"Nuvrel-Kernel-Uid: ", b"Nuvrel-Kernel-Version: 26.11.0"):
        assert line in head
