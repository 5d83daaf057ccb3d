"""RPC end to end: contexts, clients, servers, callbacks and fulfillers over
in-process pipes and loopback TCP."""

from __future__ import annotations

import asyncio
import socket

import numpy as np
import pytest

from nuvrel.comms import CapnpContext, DynamicClient, DynamicServer, Fulfiller, errors
from nuvrel.comms.server import CapnpServer
from rpc_support import ctx, rpc  # noqa: F401

Reason = Fulfiller.RejectReason
T = 10  # seconds; every await below is bounded


def calculator_class(rpc):
    class Calculator(rpc.CalculatorServer):
        def __init__(self):
            self.pings = 0
            self.fulfillers = []

        async def ping(self):
            self.pings += 1
            return {"pong": "pong"}

        async def add(self, a, b):
            return {"sum": a + b}

        async def echo(self, text):
            return {"text": text}

        async def sleep(self, ms):
            await asyncio.sleep(ms / 1000)

        async def fail(self, reason, text):
            raise {0: RuntimeError, 1: errors.OverwhelmedError, 2: errors.DisconnectError,
                   3: NotImplementedError, 4: errors.UnimplementedError}[reason](text)

        async def scale(self, values, factor):
            return {"values": np.asarray(values) * factor}

        async def makeCounter(self, start):
            state = {"value": start}

            async def counter(interface_id, method_index, params, fulfiller):
                state["value"] += 1
                fulfiller.fulfill(value=state["value"])

            return {"counter": CONTEXTS[-1].register_callback(counter)}

        async def subscribe(self, listener, value):
            answer = await asyncio.wait_for(listener.notify(value=value), T)
            return {"ack": answer.received}

    return Calculator


CONTEXTS: list[CapnpContext] = []
CONTEXTS_SCHEMAS: dict = {}


@pytest.fixture(autouse=True)
def _schemas(rpc):
    CONTEXTS_SCHEMAS["Listener"] = rpc.ListenerServer.get_schema


@pytest.fixture
def server_ctx():
    context = CapnpContext()
    CONTEXTS.append(context)
    yield context
    CONTEXTS.remove(context)
    context.close()


@pytest.fixture(params=["pipe", "tcp"])
async def calc(request, rpc, server_ctx):
    """A Calculator client, through a pipe or loopback TCP (with the schema
    fetched through reflection)."""
    impl = calculator_class(rpc)()
    if request.param == "pipe":
        server, client = await asyncio.wait_for(server_ctx.create_pipe(impl), T)
    else:
        server = await asyncio.wait_for(server_ctx.listen("127.0.0.1", 0, impl), T)
        client = await asyncio.wait_for(server_ctx.connect("127.0.0.1", server.port), T)
    yield client, impl, server
    client.close()
    server.close()


async def test_calls_return_results_and_inherited_methods_work(calc):
    client, impl, _ = calc
    assert isinstance(client, DynamicClient)
    assert sorted(dir(client)) == ["add", "echo", "fail", "getReflectionVersion", "getTheSchema",
                                   "makeCounter", "missing", "ping", "scale", "sleep", "subscribe"]
    assert (await asyncio.wait_for(client.add(a=2, b=-5), T)).sum == -3
    assert (await asyncio.wait_for(client.echo(text="grüß"), T)).text == "grüß"
    assert (await asyncio.wait_for(client.ping(), T)).pong == "pong"
    assert impl.pings == 1


async def test_reflection_is_answered_without_python(calc, rpc):
    client, impl, _ = calc
    answer = await asyncio.wait_for(client.getTheSchema(), T)
    assert answer.theSchema.typeId == rpc.CalculatorServer.capnp_id
    assert len(answer.theSchema.theSchema) > 5


async def test_a_thousand_concurrent_calls(calc):
    client, _, _ = calc
    results = await asyncio.wait_for(
        asyncio.gather(*(client.add(a=i, b=1000 * i) for i in range(1000))), 60)
    assert [r.sum for r in results] == [1001 * i for i in range(1000)]


async def test_numpy_round_trip(calc):
    client, _, _ = calc
    values = np.linspace(0.0, 1.0, 1001)
    answer = await asyncio.wait_for(client.scale(values=values, factor=2.0), T)
    np.testing.assert_array_equal(np.asarray(answer.values), values * 2.0)


@pytest.mark.parametrize("reason,error_class", [
    (0, errors.BadRequestError),
    (1, errors.OverwhelmedError),
    (2, errors.DisconnectError),
    (3, errors.UnimplementedError),
    (4, errors.UnimplementedError),
])
async def test_server_exceptions_map_to_reasons(calc, reason, error_class):
    client, _, _ = calc
    with pytest.raises(error_class, match=f"text {reason}"):
        await asyncio.wait_for(client.fail(reason=reason, text=f"text {reason}"), T)
    if error_class is errors.DisconnectError:
        # A DISCONNECTED answer retires the client, whoever sent it.
        with pytest.raises(errors.DisconnectError, match="already disconnected"):
            await asyncio.wait_for(client.add(a=1, b=1), T)
    else:  # the server keeps serving
        assert (await asyncio.wait_for(client.add(a=1, b=1), T)).sum == 2


async def test_missing_method_is_unimplemented(calc):
    client, _, _ = calc
    with pytest.raises(errors.UnimplementedError, match="missing"):
        await asyncio.wait_for(client.missing(), T)


async def test_capability_in_a_result_and_callback_in_a_parameter(calc, server_ctx):
    client, _, _ = calc
    counter = (await asyncio.wait_for(client.makeCounter(start=40), T)).counter
    assert isinstance(counter, DynamicClient)
    assert [(await asyncio.wait_for(counter.next(), T)).value for _ in range(2)] == [41, 42]

    async def listener(interface_id, method_index, params, fulfiller):
        fulfiller.fulfill(received=params.value.upper())

    callback = server_ctx.register_callback(listener)
    answer = await asyncio.wait_for(client.subscribe(listener=callback, value="hi"), T)
    assert answer.ack == "HI"


async def test_unknown_method_and_keyword(calc):
    client, _, _ = calc
    with pytest.raises(AttributeError, match="No interface method nope found."):
        client.nope
    with pytest.raises(Exception, match="nope"):
        await asyncio.wait_for(client.add(a=1, nope=2), T)
    assert (await asyncio.wait_for(client.add(a=1), T)).sum == 1  # missing: default


async def test_reject_reasons_reach_the_client_as_classes(rpc, ctx):
    async def callback(interface_id, method_index, params, fulfiller):
        fulfiller.reject(Reason(params.reason), params.text)
        fulfiller.fulfill()  # a second answer changes nothing

    server, client = await asyncio.wait_for(
        ctx.create_pipe(callback, rpc.CalculatorServer.get_schema()), T)
    for reason, error_class in [(Reason.FAILED, errors.BadRequestError),
                                (Reason.OVERLOADED, errors.OverwhelmedError),
                                (Reason.UNIMPLEMENTED, errors.UnimplementedError),
                                (7, errors.BadRequestError)]:
        with pytest.raises(error_class, match="busy"):
            await asyncio.wait_for(client.fail(reason=int(reason), text="busy"), T)


async def test_fulfill_with_dict_or_keywords(rpc, ctx):
    async def callback(interface_id, method_index, params, fulfiller):
        if params.a == 1:
            fulfiller.fulfill({"sum": 10}, sum=20)  # keywords ignored with a dict
        else:
            fulfiller.fulfill(sum=30)

    server, client = await asyncio.wait_for(ctx.create_pipe(callback, rpc.CalculatorServer.get_schema()), T)
    assert (await asyncio.wait_for(client.add(a=1), T)).sum == 10
    assert (await asyncio.wait_for(client.add(a=2), T)).sum == 30


async def test_callback_that_is_not_async(rpc, ctx):
    calls = []

    def plain(interface_id, method_index, params, fulfiller):
        calls.append(method_index)

    server, client = await asyncio.wait_for(ctx.create_pipe(plain, rpc.CalculatorServer.get_schema()), T)
    for _ in range(2):  # the server keeps serving
        with pytest.raises(errors.UnimplementedError, match="coroutine"):
            await asyncio.wait_for(client.add(a=1, b=2), T)
    assert calls == [1, 0, 0]  # the responsiveness check, then add twice


async def test_fulfiller_released_unused_fails_the_call(rpc, ctx):
    async def forgetful(interface_id, method_index, params, fulfiller):
        return None

    server, client = await asyncio.wait_for(ctx.create_pipe(forgetful, rpc.CalculatorServer.get_schema()), T)
    with pytest.raises(errors.BadRequestError, match="destroyed without fulfilling"):
        await asyncio.wait_for(client.add(a=1, b=2), T)


async def test_fulfiller_used_after_the_connection_is_gone(rpc, ctx, server_ctx):
    held = []
    arrived = asyncio.Event()

    async def keeper(interface_id, method_index, params, fulfiller):
        if interface_id != rpc.CalculatorServer.capnp_id:  # the responsiveness check
            fulfiller.reject(Reason.UNIMPLEMENTED, "no reflection here")
            return
        held.append(fulfiller)
        arrived.set()

    server = await asyncio.wait_for(
        server_ctx.listen("127.0.0.1", 0, keeper, rpc.CalculatorServer.get_schema()), T)
    client = await asyncio.wait_for(
        ctx.connect("127.0.0.1", server.port, schema=rpc.CalculatorServer.get_schema()), T)
    pending = asyncio.ensure_future(client.echo(text="x" * 10000))
    await asyncio.wait_for(arrived.wait(), T)
    ctx.close()  # the caller goes away; the call is cancelled on the server
    with pytest.raises(errors.BaseError, match="Operation was cancelled."):
        await asyncio.wait_for(pending, T)
    await asyncio.sleep(0.2)
    held[-1].fulfill(text="late" * 10000)  # must not write into freed results
    held[-1].fulfill(text="again")
    # The server still serves others.
    other = await asyncio.wait_for(server_ctx.connect("127.0.0.1", server.port), T)
    arrived.clear()
    call = asyncio.ensure_future(other.echo(text="y"))
    await asyncio.wait_for(arrived.wait(), T)
    held[-1].fulfill(text="z")
    assert (await asyncio.wait_for(call, T)).text == "z"


@pytest.mark.parametrize("method", ["listen", "create_pipe"])
def test_schema_none_is_refused_at_once(ctx, method):
    async def cb(*args):
        pass

    args = ("127.0.0.1", 0, cb, None) if method == "listen" else (cb, None)
    with pytest.raises(TypeError, match="'schema'"):
        getattr(ctx, method)(*args)


async def test_connect_to_a_closed_port(ctx):
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        port = s.getsockname()[1]
    with pytest.raises(errors.UnavailableError, match=f"Could not connect to 127.0.0.1:{port}"):
        await asyncio.wait_for(ctx.connect("127.0.0.1", port), T)


async def test_connect_to_an_unresolvable_host(ctx):
    with pytest.raises(errors.UnavailableError, match="Unable to resolve server address 'no-such-host.invalid'"):
        await asyncio.wait_for(ctx.connect("no-such-host.invalid", 80), T)


async def test_connect_time_out_of_one_millisecond(ctx):
    # A listener with a full backlog that never accepts: further SYNs are
    # dropped, so the connect can only end by its time-out.
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(0)
    port = listener.getsockname()[1]
    fillers = []
    try:
        for _ in range(4):
            s = socket.socket()
            s.setblocking(False)
            s.connect_ex(("127.0.0.1", port))
            fillers.append(s)
        with pytest.raises(errors.BaseError, match=r"connection to 127.0.0.1:\d+ took longer than 1ms\."):
            await asyncio.wait_for(ctx.connect("127.0.0.1", port, timeout=1), T)
    finally:
        for s in fillers:
            s.close()
        listener.close()


@pytest.mark.parametrize("port,timeout", [(-1, 5000), (65536, 5000), (80, -1)])
def test_bad_port_or_timeout_is_refused(ctx, port, timeout):
    with pytest.raises(ValueError):
        ctx.connect("127.0.0.1", port, timeout=timeout)


async def test_server_without_reflection(rpc, ctx, server_ctx):
    async def plain(interface_id, method_index, params, fulfiller):
        fulfiller.fulfill(sum=params.a + params.b)

    server = await asyncio.wait_for(
        server_ctx.listen("127.0.0.1", 0, plain, rpc.PlainServer.get_schema()), T)
    with pytest.raises(errors.UnimplementedError):
        await asyncio.wait_for(ctx.connect("127.0.0.1", server.port), T)
    # With the schema the responsiveness check accepts UNIMPLEMENTED.
    client = await asyncio.wait_for(
        ctx.connect("127.0.0.1", server.port, schema=rpc.PlainServer.get_schema()), T)
    assert (await asyncio.wait_for(client.add(a=3, b=4), T)).sum == 7


async def test_server_dies_mid_call(rpc, ctx):
    server_side = CapnpContext()
    CONTEXTS.append(server_side)
    try:
        impl = calculator_class(rpc)()
        server = await asyncio.wait_for(server_side.listen("127.0.0.1", 0, impl), T)
        client = await asyncio.wait_for(ctx.connect("127.0.0.1", server.port), T)
        pending = asyncio.ensure_future(client.sleep(ms=5000))
        await asyncio.sleep(0.2)
        server_side.close()
        with pytest.raises(errors.DisconnectError) as first:
            await asyncio.wait_for(pending, T)
        with pytest.raises(errors.DisconnectError,
                           match=r"Client \d+ already disconnected \(.+\)\. Cannot send any request anymore\."):
            await asyncio.wait_for(client.add(a=1, b=2), T)
        assert str(first.value) != ""
    finally:
        CONTEXTS.remove(server_side)
        server_side.close()


async def test_close_with_calls_in_flight_and_calls_after_close(rpc, server_ctx):
    impl = calculator_class(rpc)()
    server = await asyncio.wait_for(server_ctx.listen("127.0.0.1", 0, impl), T)
    context = CapnpContext()
    client = await asyncio.wait_for(context.connect("127.0.0.1", server.port), T)
    calls = [asyncio.ensure_future(client.sleep(ms=3000)) for _ in range(3)]
    await asyncio.sleep(0.1)
    context.close()
    context.close()  # a second close changes nothing
    for call in calls:
        with pytest.raises(errors.BaseError, match="Operation was cancelled."):
            await asyncio.wait_for(call, T)
    closed = "CapnpContext is already closed. No further requests can be made."
    with pytest.raises(errors.UnavailableError, match=closed):
        await asyncio.wait_for(client.add(a=1, b=2), T)
    with pytest.raises(errors.UnavailableError, match=closed):
        await asyncio.wait_for(context.connect("127.0.0.1", server.port), T)
    assert context.register_callback(lambda *a: None) is not None


async def test_closed_client_call_fails_with_not_found(calc):
    client, _, _ = calc
    add = client.add
    client.close()
    with pytest.raises(errors.BaseError, match=r"Capability \d+ not found"):
        await asyncio.wait_for(add(a=1, b=2), T)


async def test_context_managers_close(rpc):
    async with CapnpContext() as context:
        impl = calculator_class(rpc)()
        server, client = await asyncio.wait_for(context.create_pipe(impl), T)
        assert isinstance(server, DynamicServer) and server.port == 0
    with pytest.raises(errors.UnavailableError, match="already closed"):
        await asyncio.wait_for(client.add(a=1, b=2), T)
    with CapnpContext() as context:
        pass
    with pytest.raises(errors.UnavailableError):
        await asyncio.wait_for(context.create_pipe(impl), T)


async def test_listen_port_zero_reports_the_bound_port(rpc, ctx):
    impl = calculator_class(rpc)()
    server = await asyncio.wait_for(ctx.listen("127.0.0.1", 0, impl), T)
    assert server.port > 0
    with socket.create_connection(("127.0.0.1", server.port), timeout=T):
        pass
    server.close()


async def test_capnp_server_without_schema_needs_one():
    class Bare(CapnpServer):
        async def add(self, a, b):
            return {"sum": a + b}

    with CapnpContext() as context:
        with pytest.raises(NotImplementedError, match="get_schema"):
            context.create_pipe(Bare())


async def test_a_crashed_worker_reports_why(rpc):
    from nuvrel.comms import _comms

    context = CapnpContext()
    try:
        _comms._testing.crash_worker(context, "the disk caught fire")
        impl = calculator_class(rpc)()
        prefix = ("Operation cannot be completed. The CapnpContext has crashed due to an "
                  "unexpected error in the background thread: ")
        # A request queued before the worker ended is only cancelled; the
        # first one after it ended learns why.
        for _ in range(100):
            with pytest.raises(errors.BaseError) as raised:
                await asyncio.wait_for(context.create_pipe(impl), T)
            if "cancelled" not in str(raised.value):
                break
            await asyncio.sleep(0.01)
        assert raised.type is errors.UnavailableError
        assert str(raised.value).startswith(prefix)
        assert "the disk caught fire" in str(raised.value)
    finally:
        context.close()


async def test_a_client_passed_as_an_argument(calc, server_ctx):
    client, _, _ = calc
    seen = []

    async def listener(interface_id, method_index, params, fulfiller):
        seen.append(params.value)
        fulfiller.fulfill(received=f"<{params.value}>")

    # A Listener reached through its own client, handed on in a request.
    listener_server, listener_client = await asyncio.wait_for(
        server_ctx.create_pipe(listener, CONTEXTS_SCHEMAS["Listener"]()), T)
    answer = await asyncio.wait_for(client.subscribe(listener=listener_client, value="v"), T)
    assert answer.ack == "<v>" and seen == ["v"]
