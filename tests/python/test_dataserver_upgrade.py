"""`connect_orvane` against the Python stand-in of a data server: the opening
(hello, HTTP upgrade) and then RPC with the kernel the stand-in relays to,
which is a `listen` server of ours or a pycapnp server in its own process."""

import asyncio
import contextlib
import os
import socket

import pytest

from nuvrel.comms import CapnpContext, DestinationParams, errors
from rpc_support import ctx, rpc  # noqa: F401
from test_rpc_pycapnp import pycapnp_server  # noqa: F401

from dataserver_peer import HELLO_SIZE, DataServerPeer, Respond, Silence, Upgrade, hello_bytes

pytestmark = pytest.mark.timeout(30)
T = 10
UID = "0123456789abcdef0123456789abcdef"
SCHEMAS = os.path.join(os.path.dirname(__file__), "..", "..", "src", "native", "protocol",
                       "schemas")
NEWER = ("This usually means that the data-server version is newer than the client version. "
         "Please make sure client and server are on the same Orvane version.")


def dev8123():
    return DestinationParams.device_connection("dev8123")


def connection_error(text):
    """What Python shows for an ApiConnectionException (code 0x800c)."""
    return f"KSAPIConnectionException with status code: 32780 - {text}"


def version_mismatch(text):
    return f"KSAPIVersionMismatchException with status code: 32780 - {text}"


def _schemas():
    import capnp  # the pycapnp peer, after nuvrel.comms

    imports = [os.path.dirname(os.path.dirname(capnp.__file__))]
    # A private parser: the global one may hold c++.capnp from another path.
    parser = capnp.SchemaParser()
    result = parser.load(os.path.join(SCHEMAS, "common", "result.capnp"), imports=imports)
    orchestrator = parser.load(os.path.join(SCHEMAS, "orchestrator", "orchestrator.capnp"),
                               imports=imports)
    return result, orchestrator


def descriptor_body(port):
    """A `Result` whose `ok` is a KernelDescriptor: a kernel reachable elsewhere."""
    result, orchestrator = _schemas()
    message = result.Result.new_message()
    message.ok = orchestrator.KernelDescriptor.new_message(
        host="127.0.0.1", port=port, uid=b"\xab" * 16, protocol="capnp", version="26.11.0")
    return message.to_bytes()


def error_body(code, text):
    """A `Result` whose `err` is the orchestrator's Error."""
    result, orchestrator = _schemas()
    message = result.Result.new_message()
    message.err = orchestrator.Orchestrator.Error.new_message(code=code, message=text)
    return message.to_bytes()


@pytest.fixture
async def backend(rpc, ctx):  # noqa: F811
    """A kernel: our own server of the test Calculator on loopback."""

    class Calculator(rpc.CalculatorServer):
        async def add(self, a, b):
            return {"sum": a + b}

        async def echo(self, text):
            return {"text": text}

    server = await asyncio.wait_for(ctx.listen("127.0.0.1", 0, Calculator()), T)
    yield ("127.0.0.1", server.port)
    server.close()


@contextlib.asynccontextmanager
async def connect_orvane(port, destination=None, timeout=3000, schema=None):
    async with CapnpContext() as client_ctx:
        client = await asyncio.wait_for(
            client_ctx.connect_orvane("127.0.0.1", port, destination or dev8123(),
                                      timeout=timeout, schema=schema), T)
        try:
            yield client
        finally:
            client.close()


@pytest.mark.parametrize("early_bytes", [False, True])
async def test_call_through_the_kernel(backend, early_bytes):
    async with DataServerPeer(Upgrade(backend, early_bytes=early_bytes)) as peer:
        async with connect_orvane(peer.port) as client:
            # No schema was given: it came from the kernel through reflection.
            assert {"add", "echo", "getTheSchema"} <= set(dir(client))
            assert (await asyncio.wait_for(client.add(a=40, b=2), T)).sum == 42
            assert (await asyncio.wait_for(client.echo(text="über"), T)).text == "über"
    (request,) = peer.requests
    assert request.request_line == (
        "GET /api/v1/kernel/devid/dev8123?interface=&autolaunch=1&api=6 HTTP/1.1")
    assert request.headers == {
        "accept": "application/capnp",
        "connection": "Upgrade",
        "host": f"127.0.0.1:{peer.port}",
        "upgrade": "capnp",
        "nuvrel.client.wantscntandtriggersasvectors": "true",
        "nuvrel.client.wantslyrvectors": "true",
    }


async def test_ks_destination(backend):
    async with DataServerPeer(Upgrade(backend)) as peer:
        async with connect_orvane(peer.port, DestinationParams.ks_connection()) as client:
            assert (await asyncio.wait_for(client.add(a=1, b=2), T)).sum == 3
    assert peer.requests[0].target == "/api/v1/kernel/ks?apiLevel=6"


async def test_pycapnp_kernel(rpc, pycapnp_server):  # noqa: F811
    backend = ("127.0.0.1", pycapnp_server)
    for early_bytes in (False, True):
        async with DataServerPeer(Upgrade(backend, early_bytes=early_bytes)) as peer:
            async with connect_orvane(peer.port,
                                      schema=rpc.CalculatorClient.get_schema()) as client:
                assert (await asyncio.wait_for(client.add(a=-7, b=50), T)).sum == 43
                assert (await asyncio.wait_for(client.ping(), T)).pong == "pycapnp"


@pytest.mark.parametrize(
    "scenario, hello",
    [
        # The server may switch to a protocol that was not asked for.
        (dict(upgrade="binmsg"), None),
        (dict(), hello_bytes(schema="1.99.3", pv_ver="24.1.0")),
        # A hello without a schema version counts as 1.0.0.
        (dict(), hello_bytes(schema=None)),
        (dict(uid="{01234567-89ab-cdef-0123-456789abcdef}"), None),
    ],
    ids=["binmsg", "older-minor-and-product", "no-schema-field", "braced-uid"],
)
async def test_accepted_openings(backend, scenario, hello):
    async with DataServerPeer(Upgrade(backend, **scenario), hello=hello) as peer:
        async with connect_orvane(peer.port) as client:
            assert (await asyncio.wait_for(client.add(a=2, b=3), T)).sum == 5


def _respond(status, headers=None, body=b"", reason="Whatever"):
    return lambda backend: Respond(status, reason, headers or {}, body)


def _upgrade(**fields):
    return lambda backend: Upgrade(backend, **fields)


CAPNP_TYPE = {"Content-Type": "application/capnp"}
WITH_UID = {**CAPNP_TYPE, "Nuvrel-Kernel-Uid": UID}
OLDER = ("The Server has an unsupported version. This usually means that the data-server version "
         "is older than the client version. Please make sure client and server are on the same "
         "Orvane version.")
NOT_RECOGNIZED = ("The server cannot be recognized as a Kestrane Server. Please make sure host and "
                  "port are correct.")

# (scenario, hello, errors class, exact message)
REFUSALS = {
    "101 without version": (
        _upgrade(version=None), None, errors.BaseError,
        connection_error("Server did not provide its version")),
    "101 with version abc": (
        _upgrade(version="abc"), None, errors.BaseError,
        connection_error("Server version 'abc' cannot be parsed")),
    "404 with version abc": (
        _respond(404, {"Nuvrel-Kernel-Version": "abc"}), None, errors.BaseError,
        connection_error("Server version 'abc' cannot be parsed")),
    "101 with CAPNP": (
        _upgrade(upgrade="CAPNP"), None, errors.BaseError,
        connection_error("Server requires upgrade to unsupported protocol CAPNP. " + NEWER)),
    "101 without Upgrade": (
        _upgrade(upgrade=None), None, errors.BaseError,
        connection_error("Server HTTP response does not contain an 'Upgrade' header.")),
    "101 without uid": (
        _upgrade(uid=None), None, errors.BaseError,
        connection_error("Server response does not have a UUID header")),
    "101 with a malformed uid": (
        _upgrade(uid="0123-4567"), None, errors.BaseError,
        connection_error("Server UUID '0123-4567' cannot be parsed")),
    "404 without content type": (
        _respond(404), None, errors.BaseError,
        connection_error("Server response does not specify the content type.")),
    "404 with text/html": (
        _respond(404, {"Content-Type": "text/html"}, b"<html></html>"), None, errors.BaseError,
        connection_error("The server returned a response with the unsupported content type "
                         "'text/html'. " + NEWER)),
    # The server's own error: its code 2 (device not found) is API code 0x801b,
    # whose kind is unavailable.
    "404 with an orchestrator error": (
        _respond(404, CAPNP_TYPE, lambda: error_body("deviceNotFound", "no dev8123 here")), None,
        errors.UnavailableError,
        "KSAPIServerException with status code: 32795 - no dev8123 here"),
    "404 with an unreadable body": (
        _respond(404, CAPNP_TYPE, b"not a message"), None, errors.BaseError,
        connection_error("The server reported HTTP status code 404")),
    # A parameter after the media type still means Cap'n Proto.
    "404 with a descriptor and a type parameter": (
        _respond(404, {"Content-Type": "application/capnp; version=1"}, lambda: descriptor_body(8004)),
        None, errors.BaseError, connection_error("The server reported HTTP status code 404")),
    "unregistered status 299": (
        _respond(299, CAPNP_TYPE, b"not a message"), None, errors.BaseError,
        connection_error("The server reported HTTP status code 0")),
    "200 with port 0": (
        _respond(200, WITH_UID, lambda: descriptor_body(0)), None, errors.BaseError,
        connection_error("The client does not support protocol upgrade. " + NEWER)),
    # A redirection is not followed, even to a reachable kernel.
    "200 with a descriptor": (
        lambda backend: Respond(200, "OK", WITH_UID, descriptor_body(backend[1])), None,
        errors.BaseError, connection_error(OLDER)),
    # Hello refusals.
    "hello without null termination": (
        _respond(200), hello_bytes(terminator=b" "), errors.UnavailableError, NOT_RECOGNIZED),
    "HTML instead of a hello": (
        _respond(200), (b"<!DOCTYPE html><html><body>It works</body></html>\n" * 6)[:HELLO_SIZE],
        errors.UnavailableError, NOT_RECOGNIZED),
    "hello of a vkr": (
        _respond(200), hello_bytes(kind="vkr"), errors.UnavailableError,
        "The server is not supported. This usually indicates a outdated client. Please update "
        "the client to the latest Orvane release."),
    "schema 2.0.0": (
        _respond(200), hello_bytes(schema="2.0.0", pv_ver="24.1.0"), errors.BaseError,
        version_mismatch("The client version is too old to connect to the data server. The "
                         "client is on version 26.11.0 while the server is on version 24.1.0")),
    "schema 0.9.0": (
        _respond(200), hello_bytes(schema="0.9.0", pv_ver="24.1.0"), errors.BaseError,
        version_mismatch("The server version is too old. The server runs on version '24.1.0' "
                         "but the client runs on version '26.11.0'. Please update the Orvane "
                         "Software.")),
    "schema 0.9.0 without product version": (
        _respond(200), hello_bytes(schema="0.9.0", pv_ver=None), errors.BaseError,
        version_mismatch("The server version is too old. The server runs on version 'unknown' "
                         "but the client runs on version '26.11.0'. Please update the Orvane "
                         "Software.")),
    "schema 2.0.0 on the same product version": (
        _respond(200), hello_bytes(schema="2.0.0", pv_ver="26.11.0"), errors.BaseError,
        version_mismatch("Incompatible server version. Please ensure the client and server run "
                         "on the same Orvane version.")),
}


@pytest.mark.parametrize("name", list(REFUSALS))
async def test_refusals(backend, name):
    make_scenario, hello, cls, message = REFUSALS[name]
    scenario = make_scenario(backend)
    if isinstance(scenario, Respond) and callable(scenario.body):
        scenario.body = scenario.body()
    async with DataServerPeer(scenario, hello=hello) as peer:
        with CapnpContext() as client_ctx, pytest.raises(errors.BaseError) as info:
            await asyncio.wait_for(
                client_ctx.connect_orvane("127.0.0.1", peer.port, dev8123(), timeout=3000), T)
    assert type(info.value) is cls
    assert info.value.args == (message,)


async def test_unreadable_body_of_a_200():
    async with DataServerPeer(Respond(200, "OK", WITH_UID, b"\x01\x02")) as peer:
        with CapnpContext() as client_ctx, pytest.raises(errors.BaseError) as info:
            await asyncio.wait_for(client_ctx.connect_orvane("127.0.0.1", peer.port, dev8123()), T)
    assert type(info.value) is errors.BaseError
    # The rest is the event library's description of what it could not read.
    assert str(info.value).startswith(
        connection_error("Could not parse data-server HTTP response: "))


async def test_silent_server_times_out():
    async with DataServerPeer(Silence()) as peer:
        with CapnpContext() as client_ctx, pytest.raises(errors.BaseError) as info:
            await asyncio.wait_for(
                client_ctx.connect_orvane("127.0.0.1", peer.port, dev8123(), timeout=300), T)
    assert type(info.value) is errors.BaseError
    assert str(info.value) == "Execution of connection to the data-server took longer than 300ms."


async def test_refused_connection_is_unavailable():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        port = probe.getsockname()[1]
    with CapnpContext() as client_ctx, pytest.raises(errors.UnavailableError) as info:
        await asyncio.wait_for(client_ctx.connect_orvane("127.0.0.1", port, dev8123()), T)
    assert str(info.value).startswith(f"Could not connect to 127.0.0.1:{port}. Details: ")


async def test_missing_destination_raises_at_once():
    async with DataServerPeer(Silence()) as peer:
        with CapnpContext() as client_ctx:
            with pytest.raises(RuntimeError) as info:
                client_ctx.connect_orvane("127.0.0.1", peer.port, None)
            # Not one of the errors classes: the plain translation of the
            # native bad_optional_access.
            assert type(info.value) is RuntimeError
            assert str(info.value) == "bad optional access"
            with pytest.raises(TypeError):
                client_ctx.connect_orvane("127.0.0.1", peer.port)  # type: ignore[call-arg]
            await asyncio.sleep(0.1)
    assert peer.connections == 0
