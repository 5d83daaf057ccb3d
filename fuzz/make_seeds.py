"""Writes the seed corpora under fuzz/corpus/ from the probe schemas and a
few hand-made protocol inputs. Run from the repository root with the package
installed: python fuzz/make_seeds.py"""

from __future__ import annotations

import base64
import pathlib
import sys

ROOT = pathlib.Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "python"))

import schema_blobs  # noqa: E402
from nuvrel.comms import _comms  # noqa: E402

CORPUS = ROOT / "fuzz" / "corpus"
VALUES = schema_blobs.DATA_DIR / "values_test.capnp"
# Index = first input byte of the serialize targets (see probe_schemas.h).
PROBES = ["AllTypes", "Tree", "Lists", "WithInnerResult", "Plain"]


def write(target: str, name: str, data: bytes) -> None:
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


def main() -> None:
    blob = schema_blobs.schema_blob(VALUES)
    loader = _comms.SchemaLoader(blob, "4.3.0")
    ids = {name.split(":", 1)[1]: node_id
           for name, node_id in schema_blobs.node_ids(VALUES).items() if ":" in name}
    write("schema_blob", "values_test", base64.b64decode(blob + "=" * (-len(blob) % 4)))
    values = {
        "AllTypes": [{}, {"i32": -7, "text": "héllo", "f64": 1.5, "data": b"\x00\xff"}],
        "Tree": [{"value": 1, "children": [{"value": 2}, {"value": 3, "child": {"value": 4}}]}],
        "Lists": [{}],
        "WithInnerResult": [{}],
        "Plain": [{}],
    }
    for pick, name in enumerate(PROBES):
        for i, fields in enumerate(values[name]):
            try:
                json = _comms.serialize.to_json(fields, loader, ids[name])
            except Exception:  # a field the probe schema does not have
                json = _comms.serialize.to_json({}, loader, ids[name])
            prefix = bytes([pick])
            write("from_json", f"{name}_{i}", prefix + json.encode())
            write("from_packed_capnp", f"{name}_{i}",
                  prefix + bytes(_comms.serialize.to_packed_capnp(json, loader, ids[name])))
    text = b'{"kind":"orchestrator","protocol":"capnp","schema":"1.2.0","pvVer":"2024.1.0"}\n'
    write("hello_message", "orchestrator", text + b" " * (255 - len(text)) + b"\0")
    write("hello_message", "no_nul", text + b" " * (256 - len(text)))
    write("http_response", "upgrade",
          b"\x07HTTP/1.1 101 Switching Protocols\r\nConnection: Upgrade\r\nUpgrade: capnp\r\n\r\n\x00\x00\x00\x00")
    write("http_response", "error_body",
          b"\x03HTTP/1.1 404 Not Found\r\nContent-Type: text/plain\r\nContent-Length: 9\r\n\r\nnot found")
    write("http_response", "chunked",
          b"\x11HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nabcd\r\n0\r\n\r\n")


if __name__ == "__main__":
    main()
