"""The worker runtime's waits release the interpreter lock."""

from nuvrel.comms import _comms


def test_waiting_for_a_worker_releases_the_interpreter_lock():
    # A thread that needs the lock gets it while this thread waits for it.
    assert _comms._testing.wait_for_thread_needing_gil(5000) is True


def test_testing_bindings_stay_out_of_the_public_api():
    import nuvrel.comms

    assert "_testing" not in nuvrel.comms.__all__
