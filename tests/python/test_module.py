import re

import nuvrel.comms
from nuvrel.comms import _comms


def test_metadata():
    assert _comms.__doc__ == "Kestrane communication protocol bindings"
    assert _comms.__version__ == "4.3.0"
    assert nuvrel.comms.__version__ == "4.3.0"
    assert re.fullmatch(r"[0-9a-f]{40}", _comms.__commit_hash__)


def test_errors_submodule_is_reachable():
    assert _comms.errors.__doc__ == "Exception classes."
    assert nuvrel.comms.errors is _comms.errors
