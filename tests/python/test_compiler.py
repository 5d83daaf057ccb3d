"""The schema compiler: request contents against the `capnp` tool, the stub
module text, failures and the command line."""

from __future__ import annotations

import ast
import importlib
import os
import base64
import re
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

import nuvrel.comms
from nuvrel.comms import _comms
from nuvrel.comms import compiler

DATA = Path(__file__).parent / "compiler_data"
SCHEMAS = DATA / "schemas"
CAPNP_TOOL = shutil.which("capnp")

capnp = pytest.importorskip("capnp")


def compile_fixture(name: str, out: Path, prefix: Path = SCHEMAS) -> str:
    compiler.compile(
        src=[str(SCHEMAS / name)], src_prefix=str(prefix), output_folder=str(out), import_paths=[]
    )
    return (out / name.replace(".capnp", "_schema.py")).read_text()


def blob_of(module_text: str) -> bytes:
    tree = ast.parse(module_text)
    for statement in tree.body:
        if isinstance(statement, ast.Assign) and statement.targets[0].id == "_CAPNP_BINARY_SCHEMA":
            return ast.literal_eval(statement.value)
    raise AssertionError("no _CAPNP_BINARY_SCHEMA in the module")


@pytest.fixture(scope="module")
def schema_capnp():
    return capnp.load("/usr/include/capnp/schema.capnp", imports=["/usr/include"])


@pytest.fixture(scope="module")
def cap_schema_capnp():
    return capnp.load(str(DATA / "cap_schema.capnp"), imports=["/usr/include"])


def decode_blob(module_text: str, cap_schema_capnp):
    packed = base64.b64decode(blob_of(module_text), validate=True)
    root = cap_schema_capnp.CapSchema.from_bytes_packed(packed)
    assert root.typeId == 0
    return [node.as_builder() for node in root.theSchema]


def node_bytes(node) -> bytes:
    return node.to_bytes()


@pytest.mark.skipif(CAPNP_TOOL is None, reason="the capnp tool is not installed")
def test_blob_holds_the_nodes_of_the_capnp_tool(tmp_path, schema_capnp, cap_schema_capnp):
    text = compile_fixture("foo.capnp", tmp_path)
    ours = {node.id: node for node in decode_blob(text, cap_schema_capnp)}

    output = subprocess.run(
        [CAPNP_TOOL, "compile", "-o-", f"--src-prefix={SCHEMAS}", str(SCHEMAS / "foo.capnp")],
        check=True,
        capture_output=True,
        timeout=30,
    ).stdout
    with schema_capnp.CodeGeneratorRequest.from_bytes(output) as request:
        theirs = {node.id: node.as_builder() for node in request.nodes if node.which() != "file"}

    # The fixture reaches nested structs, groups, unions, generics, constants,
    # annotations (its own and c++.capnp's) and the scope of an imported type.
    names = {node.displayName for node in theirs.values()}
    assert {
        "foo.capnp:Point.settings",
        "foo.capnp:Box",
        "capnp/c++.capnp:namespace",
        "other.capnp:Remote",
        "other.capnp:Remote.Leaf",
        "foo.capnp:Device.getValue$Params",
    } <= names
    assert "other.capnp:Unused" not in names

    assert sorted(ours) == sorted(theirs)
    for node_id, node in theirs.items():
        assert node_bytes(ours[node_id]) == node_bytes(node), node.displayName


def test_module_text_follows_the_template(tmp_path, cap_schema_capnp):
    text = compile_fixture("example.capnp", tmp_path)
    template = (DATA / "module_template.txt").read_text()
    assert len(template) == 3257

    nodes = decode_blob(text, cap_schema_capnp)
    listing = "".join(f"#   - {node.displayName} @0x{node.id:x}\n" for node in nodes)
    blob_text = re.search(r'_CAPNP_BINARY_SCHEMA = b"(.*?)"\n', text, re.S).group(1)
    lines = blob_text.split("\\\n")
    assert all(len(line) == 88 for line in lines[:-1]) and 0 < len(lines[-1]) <= 88

    header, _ = template.split("{stubs}")
    expected_header = header.format(
        capnpFile="example.capnp",
        nodesListing=listing,
        nuvrelCommsVersion="4.3.0",
        binarySchema=blob_text,
    )
    assert text.startswith(expected_header)


def test_worked_example_is_reproduced(tmp_path, cap_schema_capnp):
    text = compile_fixture("example.capnp", tmp_path)
    ids = {node.displayName.split(":")[1]: f"{node.id:X}" for node in decode_blob(text, cap_schema_capnp)}
    expected = (DATA / "expected_example_stubs.txt").read_text()
    for name in ("Point", "Mode", "Device"):
        expected = expected.replace("{" + name + "}", ids[name])
    point, mode, client, server = expected.rstrip("\n").split("\n\n\n")

    # Each class block starts with an empty line; blocks are joined by a
    # newline, so two empty lines separate classes.
    for block in (point, mode, client, server):
        assert f"\n\n{block}\n" in text
    assert f"\n\n{client}\n\n\n{server}\n" in text
    stubs = text.split("For more information see the documentation of nuvrel.comms.DynamicStruct.\n\n")[1]
    order = [m.group(1) for m in re.finditer(r"^class (\w+)\(", stubs, re.M)]
    assert order == [
        "Point",
        "Inner",
        "Mode",
        "DeviceClient",
        "DeviceServer",
        "DeviceGetValueParams",
        "DeviceGetValueResults",
    ]
    assert not text.endswith("\n\n")


def test_stub_details(tmp_path):
    text = compile_fixture("foo.capnp", tmp_path)
    expected_lines = [
        "    values: builtins.list[builtins.int]  # list[uint16]",
        "    def init_values(self, size: builtins.int) -> builtins.list[builtins.int]:\n"
        '        return super().init_list("values", size)  # type: ignore[return-value]',
        "    def init_list(self, size: builtins.int) -> builtins.list[builtins.int]:"
        "  # type: ignore[override]",
        "class PointSettings(nuvrel.comms.DynamicStruct):\n"
        "    # Group struct. This struct is not instantiable directly.\n"
        "    capnp_id: t.ClassVar[builtins.int] = 0x",
        "    settings: PointSettings\n",
        "    def init_settings(self, **kwarg: t.Any) -> PointSettings:",
        "    origin: builtins.int = -7  # int32",
        "    preferred: Mode\n",
        "    version: builtins.str = \"1.0\"",
        'FILE_LEVEL_TIMEOUT: builtins.float = 2.0  # float64',
        'GREETING: builtins.str = "tab\\there \\"quoted\\" back\\\\slash"',
        "DEFAULT_MODE: Mode = t.cast(Mode, Mode.slow)",
        "Point.preferred = t.cast(Mode, Mode.fast)",
        "DeviceClient.fallback = t.cast(Mode, Mode.fast)\nDeviceServer.fallback = t.cast(Mode, Mode.fast)\n",
        # the imported file's structs get classes too
        "class RemoteLeaf(nuvrel.comms.DynamicStruct):",
        "    def setMode(self, mode: t.Optional[Mode] = None, point: t.Optional[Point] = None)",
        "class SensorServer(CapnpServer):",
    ]
    for line in expected_lines:
        assert line in text, line
    assert not re.search(r"^BLOB", text, re.M)  # a Data constant has no Python value
    settings_block = text.split("class PointSettings")[1].split("\n\n\n")[0]
    assert "__init__" not in settings_block
    # Client and server of one interface carry the same id.
    device_ids = re.findall(r"class Device(?:Client|Server)\(.*\n    capnp_id: .* = (0x\w+)", text)
    assert len(device_ids) == 2 and device_ids[0] == device_ids[1]


def test_constants_and_enum_numbers(tmp_path):
    text = compile_fixture("edge.capnp", tmp_path)
    for line in [
        # enumerants are numbered by their wire value, not their declaration order
        "    fast = 0\n    slow = 1\n",
        "    default: Mode\n    limit: builtins.int = 10  # uint32",
        "Config.default = t.cast(Mode, Mode.fast)",
        'MAX_VALUE: builtins.float = float("inf")  # float64',
        'MIN_VALUE: builtins.float = float("-inf")  # float64',
        'NOT_ANUMBER: builtins.float = float("nan")  # float64',
        "BIG: builtins.float = 1e+20  # float64",
        "TENTH: builtins.float = 0.10000000149011612  # float32",
        'CONTROL: builtins.str = "\\x01\\x7f\u00e9\\r\\n"',
    ]:
        assert line in text, line


@pytest.mark.parametrize(
    ("prefix", "expected"),
    [("schemas", "out/example_schema.py"), ("", "out/schemas/example_schema.py")],
)
def test_output_path(tmp_path, monkeypatch, prefix, expected):
    work = tmp_path / "work"
    shutil.copytree(SCHEMAS, work / "schemas")
    monkeypatch.chdir(work)
    compiler.compile(src=["schemas/example.capnp"], src_prefix=prefix, output_folder="out", import_paths=[])
    assert (work / expected).is_file()
    assert 'Python schema for ' + ("example.capnp" if prefix else "schemas/example.capnp") in (
        work / expected
    ).read_text()


def failing_cases(tmp_path):
    return [
        # (src, src_prefix, import_paths, error class, message)
        (
            [str(SCHEMAS / "broken.capnp")],
            str(SCHEMAS),
            [],
            _comms.errors.BadRequestError,
            f"{SCHEMAS}/broken.capnp:3:5-9: error: Non-type names must begin with a lower-case letter.\n",
        ),
        (
            [str(SCHEMAS / "example.capnp")],
            str(SCHEMAS),
            [str(tmp_path / "missing")],
            _comms.errors.NotFoundError,
            f"Path {tmp_path / 'missing'} is not a valid directory",
        ),
        (
            [str(SCHEMAS / "example.capnp")],
            str(tmp_path / "nowhere"),
            [],
            _comms.errors.NotFoundError,
            f"{tmp_path / 'nowhere'} is not a valid directory",
        ),
        (
            [str(SCHEMAS / "absent.capnp")],
            str(SCHEMAS),
            [],
            _comms.errors.NotFoundError,
            f"File {SCHEMAS / 'absent.capnp'} not found",
        ),
        (
            [str(SCHEMAS / "example.capnp"), str(SCHEMAS / "edge.capnp")],
            str(SCHEMAS),
            [],
            _comms.errors.UnimplementedError,
            "At the moment, only one file at the time can be converted. 2 were provided.",
        ),
        (
            [str(SCHEMAS / "clash.capnp")],
            str(SCHEMAS),
            [],
            _comms.errors.BaseError,
            "Cannot generate python class for interface Thing. The interface has a method name "
            "'close', which clashes with a method from the DynamicClient class.",
        ),
        ([], str(SCHEMAS), [], ValueError, "src: at least one .capnp file must be given to compile."),
    ]


def test_failures_raise_and_write_nothing(tmp_path):
    out = tmp_path / "out"
    for src, prefix, imports, error, message in failing_cases(tmp_path):
        with pytest.raises(error) as raised:
            compiler.compile(src=src, src_prefix=prefix, output_folder=str(out), import_paths=imports)
        assert str(raised.value) == message
        assert not out.exists()


def test_relative_error_names_the_file_as_given(tmp_path, monkeypatch):
    work = tmp_path / "work"
    shutil.copytree(SCHEMAS, work / "schemas")
    monkeypatch.chdir(work)
    with pytest.raises(_comms.errors.BadRequestError, match=r"^schemas/broken\.capnp:3:5-9: error: "):
        compiler.compile(src=["schemas/broken.capnp"], src_prefix="schemas", output_folder="out", import_paths=[])


def test_import_path_search(tmp_path):
    lib = tmp_path / "lib" / "shared"
    lib.mkdir(parents=True)
    (lib / "types.capnp").write_text("@0xb5c9e2a1f0d3c420;\nstruct Shared { v @0 :Int16; }\n")
    src = tmp_path / "user.capnp"
    src.write_text(
        '@0xb5c9e2a1f0d3c421;\nusing T = import "/shared/types.capnp";\nstruct User { s @0 :T.Shared; }\n'
    )
    out = tmp_path / "out"
    with pytest.raises(_comms.errors.BadRequestError, match=r"user\.capnp:2:\d+-\d+: error: Import failed"):
        compiler.compile(src=[str(src)], src_prefix=str(tmp_path), output_folder=str(out), import_paths=[])
    compiler.compile(
        src=[str(src)], src_prefix=str(tmp_path), output_folder=str(out), import_paths=[str(tmp_path / "lib")]
    )
    text = (out / "user_schema.py").read_text()
    assert "#   - shared/types.capnp:Shared @0x" in text
    assert "    s: Shared\n" in text


def test_capnp_id():
    ids = {compiler.capnp_id() for _ in range(20)}
    assert len(ids) == 20
    for value in ids:
        assert re.fullmatch(r"@0x[89a-f][0-9a-f]{15}", value)


def test_package_exposes_the_native_functions():
    assert compiler.compile is _comms.compiler.compile
    assert compiler.capnp_id is _comms.compiler.capnp_id
    assert nuvrel.comms.compiler is compiler
    assert _comms.compiler.__doc__ == "Compiler module to interact with the capnp compiler."
    assert "Compile a .capnp file into a _schema.py file.\n\nThis function" in _comms.compiler.compile.__doc__
    assert "Generates a new 64-bit unique ID" in _comms.compiler.capnp_id.__doc__
    with pytest.raises(TypeError):
        _comms.compiler.compile(["a.capnp"], "", "out")  # every argument is required


def run_cli(*args: str, cwd: Path) -> subprocess.CompletedProcess:
    return subprocess.run(
        [sys.executable, "-m", "nuvrel.comms.compiler", *args],
        cwd=cwd,
        env={**os.environ, "PWD": str(cwd)},
        capture_output=True,
        text=True,
        timeout=60,
    )


def test_command_line(tmp_path):
    work = tmp_path / "work"
    shutil.copytree(SCHEMAS, work / "schemas")
    done = run_cli("schemas/example.capnp", "--src-prefix", "schemas", "-o", "out", cwd=work)
    assert done.returncode == 0, done.stderr
    assert (work / "out" / "example_schema.py").is_file()

    failed = run_cli("schemas/broken.capnp", "--src-prefix", "schemas", "-o", "out2", cwd=work)
    assert failed.returncode == 1
    assert failed.stderr == "schemas/broken.capnp:3:5-9: error: Non-type names must begin with a lower-case letter.\n"
    assert not (work / "out2").exists()

    missing = run_cli("schemas/example.capnp", "-I", "nope", "--output", "out3", cwd=work)
    assert missing.returncode == 1 and "Path nope is not a valid directory" in missing.stderr


def test_console_script_is_declared():
    from importlib.metadata import entry_points

    scripts = {ep.name: ep.value for ep in entry_points(group="console_scripts")}
    assert scripts.get("nuvrel-comms-compile") == "nuvrel.comms.compiler:main"


def test_protocol_complex_struct_is_a_python_complex(tmp_path):
    schemas = Path(__file__).parents[2] / "src" / "native" / "protocol" / "schemas"
    src = tmp_path / "signal.capnp"
    src.write_text(
        '@0xb5c9e2a1f0d3c430;\nusing C = import "/common/complex.capnp";\n'
        "struct Sample {\n  z @0 :C.Complex;\n  zs @1 :List(C.Complex);\n}\n"
    )
    compiler.compile(src=[str(src)], src_prefix=str(tmp_path), output_folder=str(tmp_path), import_paths=[str(schemas)])
    text = (tmp_path / "signal_schema.py").read_text()
    assert "    z: builtins.complex\n    zs: builtins.list[builtins.complex]\n" in text
    assert "    def init_z(self, **kwarg: t.Any) -> builtins.complex:" in text


MYPY_USER_CODE = """
import typing as t

import foo_schema as s


async def read(client: s.DeviceClient) -> float:
    result = t.cast(s.DeviceGetValueResults, await client.getValue(path="a/b"))
    value: float = result.value
    client.close()
    return value


def build() -> s.Point:
    point = s.Point(x=1.0)
    inner: s.PointInner = point.init_inner(id=3)
    tags: list[str] = point.init_tags(2)
    settings: s.PointSettings = point.init_settings()
    assert inner and tags and settings
    schema = s.DeviceServer.get_schema()
    assert schema is s.DeviceClient.get_schema() or True
    loader = s.get_schema_loader()
    assert loader
    return point
"""


def run_mypy(tmp_path: Path, user_code: str) -> subprocess.CompletedProcess:
    (tmp_path / "use_schema.py").write_text(user_code)
    env = {**os.environ, "MYPYPATH": str(DATA / "typing_overlay")}
    return subprocess.run(
        [
            sys.executable, "-m", "mypy", "--strict", "--no-incremental",
            "--cache-dir", str(tmp_path / ".mypy_cache"),
            "foo_schema.py", "use_schema.py",
        ],
        cwd=tmp_path,
        env=env,
        capture_output=True,
        text=True,
        timeout=150,
    )


@pytest.mark.timeout(300)
def test_generated_module_passes_mypy(tmp_path):
    pytest.importorskip("mypy")
    compile_fixture("foo.capnp", tmp_path)
    checked = run_mypy(tmp_path, MYPY_USER_CODE)
    assert checked.returncode == 0, checked.stdout + checked.stderr

    # The hints are strict enough to catch a wrong argument type.
    wrong = run_mypy(tmp_path, MYPY_USER_CODE + "\n\nasync def bad(c: s.DeviceClient) -> None:\n    await c.getValue(path=3)\n")
    assert wrong.returncode == 1
    assert 'Argument "path" to "getValue" of "DeviceClient" has incompatible type "int"' in wrong.stdout


def load_module(path: Path, name: str):
    import importlib.util

    spec = importlib.util.spec_from_file_location(name, path)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


class _StandInLoader:
    created: list[tuple[object, str]] = []

    def __init__(self, schema, version=""):
        self.created.append((schema, version))
        self.schema = schema

    def get_interface_schema(self, schema_id):
        return ("interface", schema_id)


class _StandInStruct:
    def __init__(self, schema_loader, struct_id, **kwargs):
        self.loader, self.struct_id, self.kwargs = schema_loader, struct_id, kwargs

    def init_struct(self, name, **kwargs):
        return ("struct", name, kwargs)

    def init_list(self, name, size):
        return ("list", name, size)


def test_generated_module_runs_against_stand_ins(tmp_path, monkeypatch, cap_schema_capnp):
    """Imports a generated module with stand-ins for the package classes it
    uses (DynamicStruct, DynamicEnum, SchemaLoader, CapnpServer) and checks
    exactly what it hands to them."""
    import types
    import warnings

    text = compile_fixture("foo.capnp", tmp_path)
    server_module = types.ModuleType("nuvrel.comms.server")
    server_module.CapnpServer = type("CapnpServer", (), {})
    monkeypatch.setitem(sys.modules, "nuvrel.comms.server", server_module)
    monkeypatch.setattr(nuvrel.comms, "server", server_module, raising=False)
    monkeypatch.setattr(nuvrel.comms, "SchemaLoader", _StandInLoader, raising=False)
    monkeypatch.setattr(nuvrel.comms, "DynamicStruct", _StandInStruct, raising=False)
    monkeypatch.setattr(nuvrel.comms, "DynamicEnum", type("DynamicEnum", (), {}), raising=False)
    monkeypatch.setattr(nuvrel.comms, "InterfaceSchema", object, raising=False)
    _StandInLoader.created.clear()

    with warnings.catch_warnings():
        warnings.simplefilter("error")
        schema = load_module(tmp_path / "foo_schema.py", "foo_schema_standin")
    ids = {node.displayName: node.id for node in decode_blob(text, cap_schema_capnp)}

    loader = schema.get_schema_loader()
    assert schema.get_schema_loader() is loader
    assert _StandInLoader.created == [(schema._CAPNP_BINARY_SCHEMA, "4.3.0")]

    point = schema.Point(x=1.5, mode=schema.Mode.slow)
    assert (point.loader, point.struct_id, point.kwargs) == (loader, ids["foo.capnp:Point"], {"x": 1.5, "mode": 1})
    assert point.init_inner(id=4) == ("struct", "inner", {"id": 4})
    assert point.init_list(3) == ("list", "list", 3)
    assert point.init_settings() == ("struct", "settings", {})
    assert schema.PointSettings.capnp_id == ids["foo.capnp:Point.settings"]
    assert schema.Point.preferred == schema.Mode.fast == 0
    assert schema.DeviceClient.fallback == schema.DeviceServer.fallback == 0
    assert schema.DEFAULT_MODE == 1 and schema.FILE_LEVEL_TIMEOUT == 2.0
    assert schema.GREETING == 'tab\there "quoted" back\\slash'
    assert schema.DeviceServer.get_schema() == ("interface", ids["foo.capnp:Device"])
    assert issubclass(schema.SensorServer, server_module.CapnpServer)


def test_generated_module_warns_on_another_major_version(tmp_path, monkeypatch):
    compile_fixture("example.capnp", tmp_path)
    monkeypatch.setattr(nuvrel.comms, "__version__", "5.0.0")
    with pytest.warns(UserWarning, match="You are using nuvrel.comms version 5.0.0, but the schema in "):
        load_module(tmp_path / "example_schema.py", "example_schema_standin")


def test_generated_module_with_the_package_classes(tmp_path):
    """Runs once SchemaLoader, DynamicStruct and nuvrel.comms.server exist."""
    missing = [n for n in ("SchemaLoader", "DynamicStruct", "DynamicEnum") if not hasattr(nuvrel.comms, n)]
    try:
        importlib.import_module("nuvrel.comms.server")
    except ImportError:
        missing.append("server.CapnpServer")
    if missing:
        pytest.skip(f"not in this tree yet: {', '.join(missing)}")
    compile_fixture("foo.capnp", tmp_path)
    schema = load_module(tmp_path / "foo_schema.py", "foo_schema_real")
    assert schema.DeviceClient.get_schema() is not None
    point = schema.Point(x=1.5)
    assert point.x == 1.5
    assert point.capnp_id == schema.Point.capnp_id


@pytest.mark.skipif(CAPNP_TOOL is None, reason="the capnp tool is not installed")
@pytest.mark.parametrize("name", ["uses_partial.capnp", "uses_broken_scope.capnp"])
def test_imported_files_are_compiled_as_far_as_the_capnp_tool_does(tmp_path, name):
    # An error in an unused part of an imported file is not reported; one in
    # the scope of a used type is, with the tool's message.
    tool = subprocess.run(
        [CAPNP_TOOL, "compile", "-o-", f"--src-prefix={SCHEMAS}", str(SCHEMAS / name)],
        capture_output=True,
        timeout=30,
    )
    if name == "uses_partial.capnp":
        assert tool.returncode == 0
        text = compile_fixture(name, tmp_path)
        assert "#   - partial.capnp:Outer @0x" in text and "Unused" not in text
    else:
        with pytest.raises(_comms.errors.BadRequestError) as raised:
            compile_fixture(name, tmp_path)
        assert str(raised.value) == tool.stderr.decode().splitlines(keepends=True)[0]
        assert "broken_scope.capnp:3:22-32: error: Not defined: NotDefined" in str(raised.value)


def test_file_outside_the_current_directory_and_every_prefix(tmp_path, monkeypatch):
    # As with the capnp tool, the file is then named by its absolute path
    # without the leading slash, and its output lands below that name.
    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    shutil.copy(SCHEMAS / "example.capnp", elsewhere / "example.capnp")
    work = tmp_path / "work"
    work.mkdir()
    monkeypatch.chdir(work)
    compiler.compile(src=[str(elsewhere / "example.capnp")], src_prefix="", output_folder="out", import_paths=[])
    relative = str(elsewhere / "example_schema.py").lstrip("/")
    text = (work / "out" / relative).read_text()
    assert f"Python schema for {str(elsewhere / 'example.capnp').lstrip('/')}." in text
