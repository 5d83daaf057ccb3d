"""SchemaLoader and InterfaceSchema."""

import base64
import gc

import pytest

import schema_blobs
from nuvrel.comms import _comms, errors
from values_support import VALUES_CAPNP, VERSION, ids, loader, values_blob  # noqa: F401

OLD_VERSION = "Cannot load a schema generated with a version older than 3.0.0"


@pytest.mark.parametrize("version, error", [
    ("", OLD_VERSION),
    ("2.9.0", OLD_VERSION),
    ("0.0.0", OLD_VERSION),
    ("3", "Invalid version expression: '3'."),
    ("3.0.0", None),
    (" 3.1.0-rc.1+b5 ", None),
    ("26.11.0", None),
])
def test_version_rule(values_blob, version, error):
    if error is None:
        _comms.SchemaLoader(values_blob, version)
    else:
        with pytest.raises(errors.BaseError) as raised:
            _comms.SchemaLoader(values_blob, version)
        assert str(raised.value) == error


def test_default_version_is_refused(values_blob):
    with pytest.raises(errors.BaseError, match="older than 3.0.0"):
        _comms.SchemaLoader(values_blob)


def test_bytes_are_accepted(values_blob, ids):
    blob_loader = _comms.SchemaLoader(values_blob.encode(), version=VERSION)
    assert _comms.DynamicStruct(blob_loader, ids.Inner, x=3).x == 3


def test_blob_with_file_nodes_loads(ids):
    blob = schema_blobs.schema_blob(VALUES_CAPNP, include_files=True)
    assert isinstance(_comms.SchemaLoader(blob, VERSION).get_interface_schema(ids.Calc),
                      _comms.InterfaceSchema)


def test_unpadded_base64_decodes_completely(ids):
    # Vary typeId until the packed size is not a multiple of three, so that the
    # text carries "=" padding and its last group holds message bytes.
    for type_id in range(1, 64):
        packed = schema_blobs.packed_cap_schema(VALUES_CAPNP, type_id=type_id)
        if len(packed) % 3:
            break
    else:
        pytest.skip("no packed size with a remainder found")
    text = base64.b64encode(packed).decode()
    unpadded = text.rstrip("=")
    assert len(unpadded) % 4 != 0
    blob_loader = _comms.SchemaLoader(unpadded, VERSION)
    assert _comms.DynamicStruct(blob_loader, ids.Plain, a=1).a == 1


def _cap_schema_blob(fill) -> str:
    message = schema_blobs.reflection_capnp().CapSchema.new_message()
    fill(message)
    return base64.b64encode(message.to_bytes_packed()).decode()


def _broken_node(message):
    # A struct whose field lies outside its data section does not validate.
    with schema_blobs._schema_capnp().CodeGeneratorRequest.from_bytes(
            schema_blobs.code_generator_request(VALUES_CAPNP)) as request:
        inner = next(n for n in request.nodes if n.displayName.endswith(":Inner"))
        node = inner.as_builder()
    node.struct.dataWordCount = 0
    message.init("theSchema", 1)[0] = node


@pytest.mark.parametrize("blob", [
    pytest.param(lambda full: full[: len(full) // 2], id="cut-in-the-middle"),
    pytest.param(lambda full: "", id="empty"),
    pytest.param(lambda full: base64.b64encode(b"\x10\x00\x00\x00\xff\xff").decode(),
                 id="garbage"),
    pytest.param(lambda full: _cap_schema_blob(_broken_node), id="invalid-node"),
])
def test_malformed_blob(values_blob, blob):
    with pytest.raises(errors.BaseError) as raised:
        _comms.SchemaLoader(blob(values_blob), VERSION)
    message = str(raised.value)
    assert message.startswith("Failed to load schema from string. (Error: ")
    assert message.endswith(")")
    assert len(message) > len("Failed to load schema from string. (Error: )")


def test_blob_without_nodes_loads_nothing():
    empty_loader = _comms.SchemaLoader(_cap_schema_blob(lambda m: None), VERSION)
    with pytest.raises(KeyError):
        empty_loader.get_interface_schema(1)


def test_get_interface_schema(loader, ids):
    assert isinstance(loader.get_interface_schema(ids.Calc), _comms.InterfaceSchema)
    # The kind of node is not checked here: a struct id gives an InterfaceSchema too.
    assert isinstance(loader.get_interface_schema(ids.Inner), _comms.InterfaceSchema)


def test_unknown_interface_id_is_a_key_error(loader):
    with pytest.raises(KeyError) as raised:
        loader.get_interface_schema(1234567)
    assert raised.value.args[0] == "Interface with id 1234567 not found in schema loader."


def test_unknown_struct_id_is_a_key_error(loader):
    with pytest.raises(KeyError) as raised:
        _comms.DynamicStruct(loader, 98765)
    assert raised.value.args[0] == "Struct with id 98765 not found in schema loader."


def test_interface_schema_has_no_constructor():
    with pytest.raises(TypeError):
        _comms.InterfaceSchema()


def test_values_keep_the_schema_alive(values_blob, ids):
    own_loader = _comms.SchemaLoader(values_blob, VERSION)
    first = own_loader.get_interface_schema(ids.Calc)
    second = own_loader.get_interface_schema(ids.Calc)
    value = _comms.DynamicStruct(own_loader, ids.Plain, b="kept")
    del own_loader
    gc.collect()
    assert value.b == "kept"
    assert value.to_json() == '{"a":0,"b":"kept","big":"0","ratio":0,"color":"red","flag":false}'
    assert first is not second


def test_docstrings():
    assert _comms.SchemaLoader.__doc__.startswith("Load capnp schemas from a byte string.")
    assert "schema: The schema as a byte string (precompiled capnp schema)." in \
        _comms.SchemaLoader.__doc__
    assert 'version: The version of the schema. (default = "")' in _comms.SchemaLoader.__doc__
    doc = _comms.SchemaLoader.get_interface_schema.__doc__
    assert "Get the schema for a specific interface." in doc
    assert "KeyError: If the schema_id is not part of the provided schema." in doc
    assert _comms.InterfaceSchema.__doc__.startswith(
        "Python representation of a capnp interface schema.\n\n"
        "Note that this class can only be instantiated through the SchemaLoader.")
