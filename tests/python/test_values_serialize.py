"""The serialize submodule, checked against pycapnp and the capnp tool."""

import json
import subprocess

import numpy as np
import pytest

import schema_blobs
from nuvrel.comms import _comms, errors
from values_support import VALUES_CAPNP, ids, loader, peer, values_blob  # noqa: F401

serialize = _comms.serialize

PLAIN = {"a": -5, "b": "text \u00e9", "big": 2**64 - 1, "ratio": 0.25, "color": "blue",
         "inner": {"x": 3, "name": "n"}, "values": [1.0, -2.5], "flag": True}


def capnp_tool(*args, data: bytes) -> bytes:
    return subprocess.run(["capnp", *args, f"-I{schema_blobs.IMPORT_DIR}"], input=data,
                          check=True, capture_output=True, timeout=30).stdout


# --- Data as hexadecimal text ----------------------------------------------

def test_data_is_written_as_hex(loader, ids):
    text = serialize.to_json({"data": b"\x01\xab", "dataList": [b"\xff", b""]}, loader, ids.AllTypes)
    decoded = json.loads(text)
    assert decoded["data"] == "01ab"
    assert decoded["dataList"] == ["ff", ""]


@pytest.mark.parametrize("data_json, expected", [
    ('"01ab"', b"\x01\xab"),
    ('"01AB"', b"\x01\xab"),
    ('"aBcD"', b"\xab\xcd"),
    ('""', b""),
    ("[1, 171]", b"\x01\xab"),
    ("[256, -1, 3.9]", b"\x00\xff\x03"),
])
def test_data_hex_is_read(loader, ids, data_json, expected):
    struct = serialize.from_json('{"data": %s, "dataList": [%s]}' % (data_json, data_json),
                                 loader, ids.AllTypes)
    assert struct.data == expected
    assert list(struct.dataList) == [expected]


@pytest.mark.parametrize("data_json, message", [
    ('"1ab"', "DataHexHandler: invalid hex string; expected even number of characters"),
    ('"zz"', "DataHexHandler: invalid hex string: invalid characters"),
    ('"0g"', "DataHexHandler: invalid hex string: invalid characters"),
    ("true", "DataHexHandler: invalid JSON; expected string for hex data; got 1"),
    ("5", "DataHexHandler: invalid JSON; expected string for hex data; got 2"),
    ('{"a": 1}', "DataHexHandler: invalid JSON; expected string for hex data; got 5"),
    ('[1, "a"]', "DataHexHandler: invalid JSON; expected number for hex data; got 3"),
    ("[1, null]", "DataHexHandler: invalid JSON; expected number for hex data; got 0"),
    ("[[1]]", "DataHexHandler: invalid JSON; expected number for hex data; got 4"),
])
def test_bad_hex_data(loader, ids, data_json, message):
    with pytest.raises(errors.BaseError) as raised:
        serialize.from_json('{"data": %s}' % data_json, loader, ids.AllTypes)
    assert str(raised.value) == message


# --- the functions ---------------------------------------------------------

def test_json_is_compact(loader, ids):
    text = serialize.to_json(PLAIN, loader, ids.Plain)
    assert " " not in text.replace("text \u00e9", "") and "\n" not in text


def test_packed_round_trip(loader, ids):
    packed = serialize.to_packed_capnp(PLAIN, loader, ids.Plain)
    struct = serialize.from_packed_capnp(packed, loader, ids.Plain)
    assert isinstance(struct, _comms.DynamicStruct)
    assert struct.to_json() == serialize.to_json(PLAIN, loader, ids.Plain)
    assert serialize.to_json(packed, loader, ids.Plain) == struct.to_json()
    assert struct.to_packed_capnp() == packed


def test_json_and_dict_give_the_same_message(loader, ids):
    text = serialize.to_json(PLAIN, loader, ids.Plain)
    from_text = serialize.to_packed_capnp(text, loader, ids.Plain)
    from_bytes_text = serialize.to_packed_capnp(text.encode(), loader, ids.Plain)  # JSON, not packed
    from_dict = serialize.to_packed_capnp(PLAIN, loader, ids.Plain)
    assert serialize.to_json(from_text, loader, ids.Plain) == \
        serialize.to_json(from_dict, loader, ids.Plain) == \
        serialize.to_json(from_bytes_text, loader, ids.Plain)


def test_from_dict_and_from_json(loader, ids):
    struct = serialize.from_dict(PLAIN, loader, ids.Plain)
    assert (struct.a, struct.big, struct.inner.name) == (-5, 2**64 - 1, "n")
    again = serialize.from_json(struct.to_json(), loader, ids.Plain)
    assert again.to_json() == struct.to_json()
    assert serialize.from_packed_capnp(struct.to_packed_capnp().decode("latin-1").encode("latin-1"),
                                       loader, ids.Plain).a == -5


@pytest.mark.parametrize("call", [
    lambda l: serialize.to_json({}, l, 42),
    lambda l: serialize.to_json(b"", l, 42),
    lambda l: serialize.from_json("{}", l, 42),
    lambda l: serialize.to_packed_capnp({}, l, 42),
    lambda l: serialize.to_packed_capnp("{}", l, 42),
    lambda l: serialize.from_packed_capnp(b"", l, 42),
    lambda l: serialize.from_dict({}, l, 42),
])
def test_unknown_struct_id_comes_first(loader, call):
    with pytest.raises(KeyError) as raised:
        call(loader)
    assert raised.value.args[0] == "Struct with id 42 not found in schema loader."


def test_results_are_unwrapped(loader, ids):
    assert serialize.from_dict({"result": {"ok": "yes"}}, loader, ids.WithResult) == "yes"
    assert serialize.from_json('{"result":{"ok":"json"}}', loader, ids.WithResult) == "json"
    packed = serialize.to_packed_capnp({"result": {"ok": "packed"}}, loader, ids.WithResult)
    assert serialize.from_packed_capnp(packed, loader, ids.WithResult) == "packed"
    with pytest.raises(errors.NotFoundError, match="^missing$"):
        serialize.from_dict({"result": {"err": {"kind": "notFound", "message": "missing"}}},
                            loader, ids.WithResult)


@pytest.mark.parametrize("call", [
    pytest.param(lambda l, i: serialize.from_json("{not json", l, i.Plain), id="malformed-json"),
    pytest.param(lambda l, i: serialize.to_packed_capnp('{"a": "x"}', l, i.Plain), id="wrong-type"),
    pytest.param(lambda l, i: serialize.from_packed_capnp(b"\x10\x00", l, i.Plain), id="truncated"),
    pytest.param(lambda l, i: serialize.to_json(b"\x00\x00\x00\x00\xff\xff\xff\x7f", l, i.Plain),
                 id="segment-too-large"),
])
def test_invalid_input_is_refused(loader, ids, call):
    with pytest.raises(errors.BaseError) as raised:
        call(loader, ids)
    assert str(raised.value)


def test_overloads_by_type(loader, ids):
    with pytest.raises(TypeError):
        serialize.to_json("a str is neither a dict nor packed bytes", loader, ids.Plain)
    with pytest.raises(TypeError):
        serialize.from_dict([("a", 1)], loader, ids.Plain)


def test_docstrings():
    assert serialize.__doc__ == (
        "Serialization module.\n\nThis module provides functions to serialize and deserialize "
        "data structures to\nand from JSON and Cap'n Proto.")
    firsts = {
        "to_json": ["Convert a python dictionary to a JSON string.",
                    "Convert a packed Cap'n Proto message to a JSON string."],
        "from_json": ["Convert a json string to a dynamic struct"],
        "to_packed_capnp": ["Convert a python dictionary to a packed Cap'n Proto message.",
                            "Convert a json string to a packed Cap'n Proto message."],
        "from_packed_capnp": ["Convert a packed Cap'n Proto message to a dynamic struct."],
        "from_dict": ["Convert a python dictionary to a dynamic struct."],
    }
    for name, lines in firsts.items():
        doc = getattr(serialize, name).__doc__
        for line in lines + ["schema: The schema loader.",
                             "struct_id: The id of the struct to convert."]:
            assert line in doc, (name, line)


# --- independent peers -----------------------------------------------------

def _peer_fields(struct):
    return {"a": struct.a, "b": struct.b, "big": struct.big, "ratio": struct.ratio,
            "color": str(struct.color), "inner": {"x": struct.inner.x, "name": struct.inner.name},
            "values": list(struct.values), "flag": struct.flag}


def test_packed_output_decodes_with_pycapnp_and_the_capnp_tool(loader, ids, peer):
    ours = serialize.to_packed_capnp(PLAIN, loader, ids.Plain)
    assert _peer_fields(peer.Plain.from_bytes_packed(ours)) == PLAIN
    theirs = peer.Plain.new_message(**PLAIN).to_bytes_packed()
    decode = ("decode", "--packed", str(VALUES_CAPNP), "Plain")
    assert capnp_tool(*decode, data=ours) == capnp_tool(*decode, data=theirs)


def test_all_types_decode_the_same(loader, ids, peer):
    fields = {"b": True, "i8": -8, "u16": 65535, "i64": -(2**63), "f32": 1.5, "text": "t",
              "data": b"\x00\x01", "color": "green", "c": {"real": 1.0, "imag": -1.0},
              "boolList": [True, False, True], "complexList": [{"real": 2.0}],
              "textList": ["x"], "colorList": ["blue"], "innerList": [{"x": 1}],
              "nested": [[1], [2, 3]], "grp": {"gx": 4, "gy": "g"}, "word": "w"}
    ours = serialize.to_packed_capnp(fields, loader, ids.AllTypes)
    theirs = peer.AllTypes.new_message(**fields).to_bytes_packed()
    decode = ("decode", "--packed", str(VALUES_CAPNP), "AllTypes")
    assert capnp_tool(*decode, data=ours) == capnp_tool(*decode, data=theirs)


def test_message_packed_by_pycapnp_loads(loader, ids, peer):
    theirs = peer.Plain.new_message(**PLAIN).to_bytes_packed()
    struct = serialize.from_packed_capnp(theirs, loader, ids.Plain)
    assert _peer_fields(struct) == PLAIN
    assert np.asarray(struct.values).tolist() == PLAIN["values"]


def test_json_matches_the_capnp_tool(loader, ids):
    packed = serialize.to_packed_capnp(PLAIN, loader, ids.Plain)
    reference = capnp_tool("convert", "packed:json", str(VALUES_CAPNP), "Plain", data=packed)
    assert json.loads(serialize.to_json(PLAIN, loader, ids.Plain)) == json.loads(reference)
