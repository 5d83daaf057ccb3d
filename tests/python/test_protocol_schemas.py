"""The wire schema files as another Cap'n Proto implementation (pycapnp, with
its own bundled compiler) reads them: they must load there unchanged and give
the same ids and wire layout as our build."""

import os
import pathlib

import capnp
import pytest

SCHEMA_ROOT = pathlib.Path(__file__).resolve().parents[2] / "src/native/protocol/schemas"
# pycapnp ships its own copy of the /capnp/*.capnp imports.
PYCAPNP_IMPORTS = [os.path.dirname(os.path.dirname(capnp.__file__))]

SCHEMA_FILES = sorted(p.relative_to(SCHEMA_ROOT).as_posix() for p in SCHEMA_ROOT.rglob("*.capnp"))


# A parser of our own: pycapnp's global one may already hold the same standard
# files loaded from /usr/include by other tests, and two files with one id
# make pycapnp abort the process instead of raising.
_PARSER = capnp.SchemaParser()


def load(name):
    return _PARSER.load(str(SCHEMA_ROOT / name), imports=PYCAPNP_IMPORTS)


def test_all_schema_files_are_found():
    assert SCHEMA_FILES == [
        "common/complex.capnp",
        "common/error.capnp",
        "common/hello_msg.capnp",
        "common/kwargs.capnp",
        "common/lyr_vectors.capnp",
        "common/result.capnp",
        "common/value.capnp",
        "orchestrator/orchestrator.capnp",
        "reflection/reflection.capnp",
        "session/session_protocol.capnp",
        "streaming/streaming.capnp",
    ]


@pytest.mark.parametrize(
    "file, path, type_id, data_words, pointers",
    [
        ("common/complex.capnp", "Complex", 0xAAF1AFAF97B4B157, 2, 0),
        ("common/result.capnp", "Result", 0xBAB0F33E1934323D, 1, 1),
        ("common/error.capnp", "Error", 0xC4E34E4C517D11D9, 1, 3),
        ("common/value.capnp", "Value", 0xB1838B4771BE75AC, 2, 1),
        ("common/kwargs.capnp", "Kwargs.Entry", 0xA2644E6FD3DC2553, 0, 2),
        ("common/hello_msg.capnp", "HelloMsg", 0xD62994DBFF882318, 1, 2),
        ("reflection/reflection.capnp", "CapSchema", 0xCB31EF7A76EB85CF, 1, 1),
        ("streaming/streaming.capnp", "Subscription", 0xEDAC21A53DE1B1D4, 0, 4),
        ("orchestrator/orchestrator.capnp", "KernelDescriptor", None, 1, 3),
    ],
)
def test_structs_keep_ids_and_sizes(file, path, type_id, data_words, pointers):
    node = load(file)
    for part in path.split("."):
        node = getattr(node, part)
    proto = node.schema.node
    if type_id is not None:
        assert proto.id == type_id
    assert (proto.struct.dataWordCount, proto.struct.pointerCount) == (data_words, pointers)


@pytest.mark.parametrize(
    "file, path, type_id",
    [
        ("reflection/reflection.capnp", "Reflection", 0xF9A52E68104BC776),
        ("session/session_protocol.capnp", "Session", 0xB9D445582DA4A55C),
        ("streaming/streaming.capnp", "StreamingHandle", 0xF51E28A7F5B41574),
    ],
)
def test_interfaces_keep_ids(file, path, type_id):
    assert getattr(load(file), path).schema.node.id == type_id


def test_value_bool_and_int64_share_the_first_data_word():
    value = load("common/value.capnp").Value
    words = value.new_message(bool=True).to_bytes()
    # Segment table (8 bytes), root pointer (8 bytes), then the data section:
    # the Bool in bit 0 of word 0, the discriminant 14 in data byte 8.
    data = words[16:32]
    assert data[0] == 1 and data[8:10] == (14).to_bytes(2, "little")
    data = value.new_message(int64=-2).to_bytes()[16:32]
    assert data[0:8] == (-2).to_bytes(8, "little", signed=True)
    assert data[8:10] == b"\x00\x00"


def test_defaults_read_from_an_empty_struct():
    session = load("session/session_protocol.capnp")
    set_value = session.Session.schema.methods["setValue"].param_type
    params = capnp._MallocMessageBuilder().init_root(set_value)
    assert set_value.node.id == 0x9FE29A10493E27C7
    assert (params.lookupMode, params.completeWhen, bytes(params.client)) == (
        "directLookup",
        "deviceAck",
        b"",
    )
    hello = load("common/hello_msg.capnp").HelloMsg.new_message()
    assert (hello.kind, hello.protocol) == ("unknown", "capnp")
    entry = load("common/kwargs.capnp").Kwargs.Entry.new_message()
    assert entry.value.which() == "none"
