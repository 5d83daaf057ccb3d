"""Fixtures shared by the RPC tests (imported by the test modules)."""

from __future__ import annotations

import pytest

import schema_blobs
from nuvrel.comms import CapnpContext, SchemaLoader

RPC_CAPNP = schema_blobs.DATA_DIR / "rpc_test.capnp"
VERSION = "4.3.0"


class Ids(dict):
    def __getattr__(self, name):
        return self[name]


@pytest.fixture(scope="session")
def rpc_ids() -> Ids:
    return Ids({name.split(":", 1)[1]: node_id
                for name, node_id in schema_blobs.node_ids(RPC_CAPNP).items() if ":" in name})


@pytest.fixture(scope="session")
def rpc_loader():
    return SchemaLoader(schema_blobs.schema_blob(RPC_CAPNP), VERSION)


@pytest.fixture(scope="session")
def calculator_schema(rpc_loader, rpc_ids):
    return rpc_loader.get_interface_schema(rpc_ids.Calculator)


@pytest.fixture
def ctx():
    context = CapnpContext()
    yield context
    context.close()
