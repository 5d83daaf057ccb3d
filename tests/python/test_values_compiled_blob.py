"""The blob embedded by the module's own stub generator loads like the
independently produced one."""

import ast

import pytest

import schema_blobs
from nuvrel.comms import _comms
from values_support import VALUES_CAPNP, VERSION, ids, loader, values_blob  # noqa: F401


def embedded_blob(module_text: str) -> bytes:
    for statement in ast.parse(module_text).body:
        if isinstance(statement, ast.Assign) and getattr(statement.targets[0], "id", "") == \
                "_CAPNP_BINARY_SCHEMA":
            return ast.literal_eval(statement.value)
    raise AssertionError("no _CAPNP_BINARY_SCHEMA in the generated module")


@pytest.fixture(scope="module")
def compiled_loader(tmp_path_factory):
    out = tmp_path_factory.mktemp("compiled")
    _comms.compiler.compile(src=[str(VALUES_CAPNP)], src_prefix=str(VALUES_CAPNP.parent),
                            output_folder=str(out), import_paths=[str(schema_blobs.IMPORT_DIR)])
    text = (out / "values_test_schema.py").read_text()
    return _comms.SchemaLoader(embedded_blob(text), VERSION)


def test_compiled_blob_gives_the_same_values(compiled_loader, loader, ids):
    fields = {"i32": 7, "text": "t", "color": "blue", "c": 1 + 2j, "f64List": [0.5],
              "innerList": [{"x": 1}], "grp": {"gx": 2}, "word": "w",
              "data": b"\x01"}
    ours = _comms.serialize.to_json(fields, compiled_loader, ids.AllTypes)
    assert ours == _comms.serialize.to_json(fields, loader, ids.AllTypes)
    assert _comms.serialize.from_dict({"result": {"ok": "yes"}}, compiled_loader,
                                      ids.WithResult) == "yes"
    assert isinstance(compiled_loader.get_interface_schema(ids.Calc), _comms.InterfaceSchema)
