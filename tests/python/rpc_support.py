"""Fixtures shared by the RPC tests (imported by the test modules).

The test interfaces come from data/rpc_test.capnp compiled with the
package's own compiler, so these tests need no Cap'n Proto peer in process.
"""

from __future__ import annotations

import importlib.util
import pathlib
import sys

import pytest

from nuvrel.comms import CapnpContext, compiler

DATA = pathlib.Path(__file__).resolve().parent / "data"
SRC_NATIVE = pathlib.Path(__file__).resolve().parents[2] / "src" / "native"


@pytest.fixture(scope="session")
def rpc(tmp_path_factory):
    """The generated module of rpc_test.capnp."""
    out = tmp_path_factory.mktemp("rpc_schema")
    compiler.compile(src=[str(DATA / "rpc_test.capnp")], src_prefix=str(DATA),
                     output_folder=str(out), import_paths=[str(SRC_NATIVE)])
    spec = importlib.util.spec_from_file_location("rpc_test_schema", out / "rpc_test_schema.py")
    module = importlib.util.module_from_spec(spec)
    sys.modules["rpc_test_schema"] = module
    spec.loader.exec_module(module)
    return module


@pytest.fixture
def ctx():
    context = CapnpContext()
    yield context
    context.close()
