import pytest

from nuvrel.comms import _comms


@pytest.fixture(scope="session")
def comms():
    return _comms
