"""Compile `.capnp` schema files into typed Python stub modules.

`compile` and `capnp_id` are the native functions of the extension's
`compiler` submodule; `main` is the command line (`python -m
nuvrel.comms.compiler` or the `nuvrel-comms-compile` script).
"""

from .._comms import compiler as _native
from ._cli import main

compile = _native.compile  # noqa: A001 - the name mirrors `capnp compile`
capnp_id = _native.capnp_id

__all__ = ["capnp_id", "compile", "main"]
