"""Fixtures shared by the value-layer tests (imported by the test modules)."""

from __future__ import annotations

import pytest

import schema_blobs
from nuvrel.comms import _comms

VALUES_CAPNP = schema_blobs.DATA_DIR / "values_test.capnp"
PEER_CAPNP = schema_blobs.DATA_DIR / "peer_v2.capnp"
VERSION = "4.3.0"


class Ids(dict):
    """Short type name -> node id ("AllTypes", "Complex", "AllTypes.grp")."""

    def __getattr__(self, name):
        return self[name]


@pytest.fixture(scope="session")
def values_blob() -> str:
    return schema_blobs.schema_blob(VALUES_CAPNP)


@pytest.fixture(scope="session")
def ids() -> Ids:
    return Ids({name.split(":", 1)[1]: node_id
                for name, node_id in schema_blobs.node_ids(VALUES_CAPNP).items() if ":" in name})


@pytest.fixture(scope="session")
def loader(values_blob):
    return _comms.SchemaLoader(values_blob, VERSION)


@pytest.fixture(scope="session")
def peer():
    """values_test.capnp as pycapnp loads it."""
    return schema_blobs.load_test_schema(str(VALUES_CAPNP))


@pytest.fixture(scope="session")
def peer_v2():
    return schema_blobs.load_test_schema(str(PEER_CAPNP))


@pytest.fixture
def make(loader, ids):
    """make("AllTypes", i32=1) -> a new DynamicStruct."""
    def factory(type_name: str, **fields):
        return _comms.DynamicStruct(loader, ids[type_name], **fields)
    return factory


@pytest.fixture
def receive(loader, ids):
    """receive("AllTypes", packed[, registry]) -> the value a call would return."""
    def factory(type_name: str, packed: bytes, registry=None):
        registry = registry if registry is not None else _comms._testing.ValueTestRegistry()
        return _comms._testing.receive(registry, loader, ids[type_name], packed)
    return factory
