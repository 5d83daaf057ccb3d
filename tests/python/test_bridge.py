"""The asyncio bridge and result delivery, driven through test-only bindings:
native coroutines awaiting results that real background threads deliver."""

import asyncio
import gc
import subprocess
import sys
import threading
import weakref

import pytest

from nuvrel.comms import _comms

errors = _comms.errors
bridge_module = _comms._testing.bridge

pytestmark = pytest.mark.timeout(20)

WAIT = 5  # seconds any single await may take


class Payload:
    """A Python object whose lifetime the tests can watch."""


@pytest.fixture
def bridge():
    b = bridge_module.Bridge()
    yield b
    b.close()


@pytest.fixture
async def loop_errors():
    """Everything asyncio reports through the loop's exception handler."""
    reported = []
    asyncio.get_running_loop().set_exception_handler(lambda loop, context: reported.append(context))
    return reported


async def test_result_delivered_later_resumes_on_the_loop_thread(bridge):
    future = bridge.answer_later("value", 42, delay_ms=50)
    assert isinstance(future, asyncio.Future)
    assert not future.done()
    # name, value, resumed on the loop thread, interpreter lock held
    assert await asyncio.wait_for(future, WAIT) == ("answerLater", 42, True, True)
    assert bridge.awaits_passed() == 1


async def test_result_there_before_the_await_completes_the_future_at_once(bridge):
    future = bridge.answer_at_once(7)
    assert future.done()
    # the awaitable was ready, so the coroutine did not suspend
    assert future.result() == ("answerAtOnce", 7, True)


@pytest.mark.parametrize(
    ("kind", "error_class", "message"),
    [
        ("disconnected", "DisconnectError", "peer went away"),
        ("failed", "BadRequestError", "request failed"),
        ("overloaded", "OverwhelmedError", "too much"),
        ("unimplemented", "UnimplementedError", "no such method"),
        ("plain", "BaseError", "plain failure"),
        ("drop", "BaseError", "Operation was cancelled."),
    ],
)
async def test_failures_reach_the_future_as_error_classes(bridge, kind, error_class, message):
    future = bridge.answer_later(kind, delay_ms=20, message=message)
    with pytest.raises(errors.BaseError) as caught:
        await asyncio.wait_for(future, WAIT)
    assert type(caught.value) is getattr(errors, error_class)
    assert str(caught.value) == message


async def test_coroutine_awaiting_a_coroutine(bridge):
    result = await asyncio.wait_for(bridge.chained("value", 5, delay_ms=20), WAIT)
    assert result == ("chained", ("chainedInner", 5, True, True), True)
    assert bridge.awaits_passed() == 2

    with pytest.raises(errors.DisconnectError, match="^inner failed$"):
        await asyncio.wait_for(bridge.chained("disconnected", message="inner failed"), WAIT)


async def test_exception_before_the_first_await(bridge):
    future = bridge.fails_at_once("bad argument")
    assert future.done()
    with pytest.raises(ValueError, match="^bad argument$"):
        future.result()


async def test_forwarding_a_consumed_frame_again_fails(bridge):
    with pytest.raises(errors.BaseError, match="^Unable to consume a Coroutine more than once.$"):
        bridge.forward_twice()


async def test_dropping_the_fulfiller_cancels_the_future(bridge):
    future = bridge.forward_then_drop_fulfiller()
    assert future.done()
    assert type(future.exception()) is errors.BaseError
    assert str(future.exception()) == "Operation was cancelled."


async def test_result_stored_while_the_continuation_is_registered(bridge):
    rounds = 1000
    for i in range(rounds):
        assert await asyncio.wait_for(bridge.answer_while_registering(i), WAIT) == ("race", i)
    # every coroutine got past its await exactly once
    assert bridge.awaits_passed() == rounds


async def test_python_cancelling_the_future_discards_the_later_result(bridge, loop_errors):
    future = bridge.answer_later("value", 1, delay_ms=50)
    future.cancel()
    async with asyncio.timeout(WAIT):
        while bridge.awaits_passed() == 0:
            await asyncio.sleep(0.01)
    # one more turn for anything the resumption might have posted
    await asyncio.sleep(0.05)
    assert future.cancelled()
    assert loop_errors == []


def test_result_for_a_closed_loop_is_dropped_quietly(bridge):
    loop = asyncio.new_event_loop()

    async def start():
        return bridge.answer_later("value", 1, delay_ms=50)

    future = loop.run_until_complete(start())
    loop.close()
    bridge.close()  # joins the thread, which has delivered by then
    assert bridge.awaits_passed() == 0  # the resumption could not be posted
    assert not future.done()


async def test_coroutine_submitted_from_another_thread_runs_on_the_loop(bridge):
    ran = asyncio.Event()
    threads = []

    async def job():
        threads.append(threading.get_ident())
        ran.set()

    bridge.run_coroutine_from_thread(job())
    await asyncio.wait_for(ran.wait(), WAIT)
    assert threads == [threading.get_ident()]


async def test_set_result_on_the_loop_thread_completes_at_once(bridge):
    native = bridge.new_future()
    native.set_result("now")
    assert native.future.done()
    assert native.future.result() == "now"


async def test_set_result_from_another_thread_completes_on_the_next_iteration(bridge):
    native = bridge.new_future()
    native.set_result_from_thread("later")  # returns after that thread ended
    assert not native.future.done()
    assert await asyncio.wait_for(native.future, WAIT) == "later"


async def test_set_exception_from_another_thread(bridge):
    native = bridge.new_future()
    native.set_exception_from_thread("link lost")
    with pytest.raises(errors.DisconnectError, match="^link lost$"):
        await asyncio.wait_for(native.future, WAIT)


async def test_setting_a_cancelled_future_neither_raises_nor_reports(bridge, loop_errors):
    direct = bridge.new_future()
    direct.future.cancel()
    direct.set_result(1)

    posted = bridge.new_future()
    posted.future.cancel()
    posted.set_result_from_thread(2)
    posted.set_exception_from_thread("ignored")

    for _ in range(3):
        await asyncio.sleep(0)
    assert direct.future.cancelled() and posted.future.cancelled()
    assert loop_errors == []


def test_handle_destroyed_without_the_lock_is_swept_by_the_next_create(bridge):
    payload = Payload()
    alive = weakref.ref(payload)
    handle = bridge.wrap(payload)
    assert handle.borrow() is payload
    del payload
    assert bridge.tracked_objects() == 1

    assert handle.destroy_on_thread()  # that thread held no interpreter lock
    assert handle.empty
    assert bridge.tracked_objects() == 0
    assert bridge.graveyard_size() == 1
    assert alive() is not None  # the reference is still held

    other = bridge.wrap(Payload())
    assert bridge.graveyard_size() == 0
    assert alive() is None
    assert bridge.tracked_objects() == 1
    del other


def test_handle_outliving_its_factory_is_inaccessible(bridge):
    payload = Payload()
    alive = weakref.ref(payload)
    handle = bridge.wrap(payload)
    del payload
    bridge.release_factory()
    assert alive() is None  # the factory dropped its references
    with pytest.raises(errors.BaseError, match="^Underlying python object is no longer accessible$"):
        handle.borrow()
    del handle  # a no-op, not a crash


def test_factory_dropped_last_by_a_thread_without_the_lock_releases_its_objects():
    payloads = [Payload() for _ in range(3)]
    alive = [weakref.ref(p) for p in payloads]
    assert bridge_module.Bridge.drop_factory_on_thread(payloads)
    del payloads
    gc.collect()
    assert [ref() for ref in alive] == [None, None, None]


async def test_bad_delay_is_refused(bridge):
    with pytest.raises(ValueError, match="delay must be between 0 and 5000 ms"):
        bridge.answer_later("value", 1, delay_ms=-1)
    with pytest.raises(ValueError, match="unknown answer kind 'maybe'"):
        bridge.answer_later("maybe")


SHUTDOWN_SCRIPT = """
import asyncio
from nuvrel.comms import _comms

bridge = _comms._testing.bridge.Bridge()

async def main():
    # Delivered by its thread only once the interpreter is shutting down:
    # the bridge (a global) joins that thread while it is destroyed.
    global pending
    pending = bridge.answer_later("value", 1, delay_ms=300)
    nested = bridge.chained("value", 2, delay_ms=300)

asyncio.run(main())
print("main done", flush=True)
"""


def test_results_arriving_during_interpreter_shutdown_are_skipped(tmp_path):
    script = tmp_path / "shutdown.py"
    script.write_text(SHUTDOWN_SCRIPT)
    completed = subprocess.run(
        [sys.executable, str(script)], capture_output=True, text=True, timeout=30
    )
    assert completed.returncode == 0, completed.stderr
    assert completed.stdout == "main done\n"
    assert "Fatal Python error" not in completed.stderr
