"""The native data-server opening (hello, HTTP upgrade, provider) against the
Python stand-in of a data server, through a test-only driver: checks that the
two sides agree on the formats until `_CapnpContext.connect_orvane` exists."""

import asyncio

import pytest

from nuvrel.comms import _comms
from nuvrel.comms._comms import DestinationParams, errors

from dataserver_peer import DataServerPeer, Respond, Silence, Upgrade, hello_bytes, read_frame

pytestmark = pytest.mark.timeout(20)


def rpc_schema():
    import capnp  # the pycapnp peer

    # A private parser: its copy of c++.capnp cannot meet the one other tests
    # load from pycapnp's own directory.
    return capnp.SchemaParser().load("/usr/include/capnp/rpc.capnp", imports=["/usr/include"])


class BootstrapRefuser:
    """A two-party RPC backend that answers every bootstrap question with an
    exception naming itself: an answer proves the upgraded stream carries RPC
    both ways."""

    reason = "refused by the test backend"

    def __init__(self):
        self.rpc = rpc_schema()
        self.server = None
        self.questions = 0

    async def __aenter__(self):
        self.server = await asyncio.start_server(self._serve, "127.0.0.1", 0)
        return self

    async def __aexit__(self, *exc):
        self.server.close()
        await asyncio.wait_for(self.server.wait_closed(), 2)

    @property
    def address(self):
        return ("127.0.0.1", self.server.sockets[0].getsockname()[1])

    async def _serve(self, reader, writer):
        try:
            while True:
                frame = await read_frame(reader)
                with self.rpc.Message.from_bytes(frame) as message:
                    if message.which() != "bootstrap":
                        continue
                    question = message.bootstrap.questionId
                self.questions += 1
                answer = self.rpc.Message.new_message()
                ret = answer.init("return")
                ret.answerId = question
                ret.init("exception").reason = self.reason
                writer.write(answer.to_bytes())
                await writer.drain()
        except (asyncio.IncompleteReadError, ConnectionError):
            pass
        finally:
            writer.close()


async def probe(port, destination=None, timeout_ms=3000):
    destination = destination or DestinationParams.device_connection("dev8123")
    return await asyncio.get_running_loop().run_in_executor(
        None, _comms._testing.orvane_probe, "127.0.0.1", port, destination, timeout_ms
    )


@pytest.mark.parametrize("early_bytes", [False, True])
async def test_upgrade_then_rpc_through_the_kernel(early_bytes):
    async with BootstrapRefuser() as backend:
        async with DataServerPeer(Upgrade(backend.address, early_bytes=early_bytes)) as peer:
            outcome = await probe(peer.port)
    assert outcome == "remote exception: " + BootstrapRefuser.reason
    (request,) = peer.requests
    assert request.target == "/api/v1/kernel/devid/dev8123?interface=&autolaunch=1&api=6"
    assert request.headers == {
        "accept": "application/capnp",
        "connection": "Upgrade",
        "host": f"127.0.0.1:{peer.port}",
        "upgrade": "capnp",
        "nuvrel.client.wantscntandtriggersasvectors": "true",
        "nuvrel.client.wantslyrvectors": "true",
    }


async def test_ks_destination_target():
    async with BootstrapRefuser() as backend:
        async with DataServerPeer(Upgrade(backend.address)) as peer:
            await probe(peer.port, DestinationParams.ks_connection())
    assert peer.requests[0].target == "/api/v1/kernel/ks?apiLevel=6"


@pytest.mark.parametrize(
    "scenario, hello, cls, text",
    [
        (
            lambda backend: Upgrade(backend, version=None),
            None,
            errors.BaseError,
            "Server did not provide its version",
        ),
        (
            lambda backend: Upgrade(backend, upgrade="CAPNP"),
            None,
            errors.BaseError,
            "Server requires upgrade to unsupported protocol CAPNP.",
        ),
        (
            lambda _: Respond(404, "Not Found"),
            None,
            errors.BaseError,
            "Server response does not specify the content type.",
        ),
        (
            lambda _: Respond(404, "Not Found", {"Content-Type": "application/capnp"}, b"junk"),
            None,
            errors.BaseError,
            "The server reported HTTP status code 404",
        ),
        (
            lambda _: Respond(200, "OK"),
            hello_bytes(kind="vkr"),
            errors.UnavailableError,
            "The server is not supported.",
        ),
        (
            lambda _: Respond(200, "OK"),
            hello_bytes(terminator=b" "),
            errors.UnavailableError,
            "The server cannot be recognized as a Kestrane Server.",
        ),
    ],
)
async def test_refusals(scenario, hello, cls, text):
    # The stand-in opens its backend connection before it answers a 101.
    async with BootstrapRefuser() as backend:
        async with DataServerPeer(scenario(backend.address), hello=hello) as peer:
            with pytest.raises(cls) as info:
                await probe(peer.port)
    assert text in str(info.value)


async def test_silent_server_times_out():
    async with DataServerPeer(Silence()) as peer:
        with pytest.raises(errors.BaseError) as info:
            await probe(peer.port, timeout_ms=300)
    assert type(info.value) is errors.BaseError
    assert "Execution of connection to the data-server took longer than 300ms." in str(info.value)
