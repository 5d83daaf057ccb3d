"""Python values into Cap'n Proto fields and lists."""

import array
import enum
import sys

import numpy as np

import pytest

from nuvrel.comms import _comms, errors
from values_support import ids, loader, make, peer, receive, values_blob  # noqa: F401

CAST_ERROR_TAIL = (" to C++ type '?' (#define PYBIND11_DETAILED_ERROR_MESSAGES or compile in "
                   "debug mode for details)")


class Shade(enum.IntEnum):
    GREEN = 1


class HasValue:
    value = 2


class Truthy:
    def __bool__(self):
        return True


class Index:
    def __index__(self):
        return 9


@pytest.mark.parametrize("field, value, expected", [
    ("b", True, True),
    ("b", 0, False),
    ("b", 2.5, True),
    ("b", np.bool_(True), True),
    ("b", Truthy(), True),
    ("i8", -128, -128),
    ("i8", True, 1),
    ("i16", Index(), 9),
    ("i32", np.int32(-7), -7),
    ("i64", -(2**63), -(2**63)),
    ("u8", 255, 255),
    ("u64", 2**64 - 1, 2**64 - 1),
    ("f32", 3, 3.0),
    ("f32", 0.5, 0.5),
    ("f64", np.float32(0.25), 0.25),
    ("f64", Index(), 9.0),
    ("text", "h\u00e9llo", "h\u00e9llo"),
    ("text", b"ab", "ab"),
    ("text", bytearray(b"cd"), "cd"),
    ("data", "\u00e9", "\u00e9".encode()),
    ("data", b"\x00\xff", b"\x00\xff"),
    ("data", bytearray(b"\x01"), b"\x01"),
    ("color", 2, "blue"),
    ("color", True, "green"),
    ("color", Shade.GREEN, "green"),
    ("color", HasValue(), "blue"),
    ("color", "green", "green"),
    ("c", 1 + 2j, 1 + 2j),
    ("c", 3, 3 + 0j),
    ("c", 1.5, 1.5 + 0j),
    ("c", {"real": 1.0}, 1 + 0j),
    ("v", "anything", None),
])
def test_field_accepts(make, field, value, expected):
    struct = make("AllTypes")
    setattr(struct, field, value)
    got = getattr(struct, field)
    if isinstance(got, _comms.DynamicEnum):
        assert got == expected
    else:
        assert got == expected and type(got) is type(expected)


def test_enum_field_accepts_a_dynamic_enum(make):
    source = make("EnumHolder", color="blue")
    target = make("AllTypes", color=source.color)
    assert target.color == "blue"


@pytest.mark.parametrize("field, value, type_name", [
    ("i8", 200, "int"),
    ("i8", -129, "int"),
    ("u8", -1, "int"),
    ("u64", 2**64, "int"),
    ("i64", 2.0, "float"),
    ("i32", "1", "str"),
    ("f64", "1.5", "str"),
    ("f32", None.__class__, "type"),
    ("b", "yes", "str"),
])
def test_scalar_field_refuses(make, field, value, type_name):
    struct = make("AllTypes")
    with pytest.raises(errors.BaseError) as raised:
        setattr(struct, field, value)
    assert str(raised.value) == (
        f"Unable to convert {field} to underlying structure. (Unable to cast Python instance "
        f"of type <class '{type_name}'>{CAST_ERROR_TAIL})."
    )
    assert type(raised.value) is errors.BaseError


@pytest.mark.parametrize("field, value", [
    ("text", 5),
    ("data", 1.5),
    ("color", 70000),
    ("color", -1),
    ("cap", object()),
])
def test_binding_layer_cast_error_passes_unwrapped(make, field, value):
    struct = make("AllTypes")
    with pytest.raises(RuntimeError, match="^Unable to cast Python instance of type"):
        setattr(struct, field, value)


def test_enum_out_of_range(make):
    with pytest.raises(ValueError) as raised:
        make("AllTypes", color=7)
    assert str(raised.value) == (
        "Unable to convert enum value 7 to underlying structure. Enum value is out of range.")


def test_unknown_enumerant_name(make):
    with pytest.raises(errors.BaseError, match="purple"):
        make("AllTypes").color = "purple"


def test_none_leaves_a_field_untouched(make):
    struct = make("AllTypes", i32=5, text="kept")
    struct.i32 = None
    struct.text = None
    struct.v = None
    assert (struct.i32, struct.text, struct.v) == (5, "kept", None)


def test_dict_conversion_errors_name_the_problem(loader, ids):
    with pytest.raises(errors.BaseError) as raised:
        _comms.serialize.to_json({"nope": 1}, loader, ids.AllTypes)
    assert str(raised.value).startswith("Unable to convert python input. (")
    assert "nope" in str(raised.value) and str(raised.value).endswith(").")


def test_dict_key_must_be_text(loader, ids):
    with pytest.raises(RuntimeError, match="^Unable to cast Python instance of type <class 'int'>"):
        _comms.serialize.to_json({1: 1}, loader, ids.AllTypes)


def test_dict_bytes_keys_and_union_order(loader, ids):
    struct = _comms.serialize.from_dict({b"num": 4, "word": "last"}, loader, ids.AllTypes)
    assert struct.get_union_element_name() == "word"
    assert struct.word == "last"
    assert "num" not in struct


# --- lists -----------------------------------------------------------------

@pytest.mark.parametrize("field, value, expected", [
    ("f64List", np.array([1.5, -2.0, 3.25]), [1.5, -2.0, 3.25]),
    ("f64List", array.array("d", [1.0, 2.0]), [1.0, 2.0]),
    ("f64List", [1, 2.5], [1.0, 2.5]),
    ("f32List", np.array([0.5, 1.5], dtype=np.float32), [0.5, 1.5]),
    ("i8List", np.array([-1, 2], dtype=np.int8), [-1, 2]),
    ("i16List", np.array([-300, 2], dtype=np.int16), [-300, 2]),
    ("i32List", np.array([-7, 70000], dtype=np.int32), [-7, 70000]),
    ("i64List", np.array([-(2**40), 1], dtype=np.int64), [-(2**40), 1]),
    ("i64List", array.array("q", [5, -5]), [5, -5]),
    ("u8List", b"\x00\x7f\xff", [0, 127, 255]),
    ("u8List", bytearray(b"\x01\x02"), [1, 2]),
    ("u16List", np.array([65535, 1], dtype=np.uint16), [65535, 1]),
    ("u32List", np.array([4000000000], dtype=np.uint32), [4000000000]),
    ("u64List", np.array([2**64 - 1], dtype=np.uint64), [2**64 - 1]),
    ("u64List", array.array("Q", [2**63]), [2**63]),
    ("boolList", np.array([True, False, True]), [True, False, True]),
    ("boolList", [1, 0, None, 0.5], [True, False, False, True]),
    ("complexList", np.array([1 + 2j, -3j]), [1 + 2j, -3j]),
    ("complexList", [1, 2j, {"imag": 4.0}], [1 + 0j, 2j, 4j]),
    ("textList", "abc", ["a", "b", "c"]),
    ("textList", [b"x", "y", bytearray(b"z")], ["x", "y", "z"]),
    ("dataList", [b"\x00", "a"], [b"\x00", b"a"]),
    ("colorList", ["red", b"blue"], ["red", "blue"]),
    ("voidList", [None, 1, "x"], [None, None, None]),
    ("nested", [[1, 2], [], np.array([3], dtype=np.int32)], None),
    ("f64List", (x / 2 for x in range(3)), [0.0, 0.5, 1.0]),
    ("f64List", np.array([], dtype=np.float64), []),
])
def test_list_accepts(make, field, value, expected):
    struct = make("AllTypes")
    setattr(struct, field, value)
    got = getattr(struct, field)
    if field == "nested":
        assert [list(inner) for inner in got] == [[1, 2], [], [3]]
    else:
        assert list(got) == expected


@pytest.mark.parametrize("view", [
    pytest.param(lambda a: a[::-1], id="reversed"),
    pytest.param(lambda a: a[::3], id="step-3"),
    pytest.param(lambda a: a[::-2], id="reversed-step-2"),
    pytest.param(lambda a: a.reshape(4, 5)[:, 1], id="column"),
    pytest.param(lambda a: a[7:12], id="offset-slice"),
])
@pytest.mark.parametrize("field, dtype", [
    ("f64List", np.float64), ("i32List", np.int32), ("u8List", np.uint8),
    ("boolList", np.bool_), ("complexList", np.complex128),
])
def test_strided_buffers_give_their_items_in_order(make, view, field, dtype):
    base = np.arange(20).astype(dtype) if dtype is not np.bool_ else (np.arange(20) % 3 == 0)
    if dtype is np.complex128:
        base = base + 1j * np.arange(20)
    source = view(base)
    struct = make("AllTypes")
    setattr(struct, field, source)
    assert list(getattr(struct, field)) == source.tolist()


@pytest.mark.parametrize("field, dtype", [("i64List", np.int64), ("u64List", np.uint64)])
def test_long_format_arrays_take_the_bulk_path(make, field, dtype):
    # numpy's 64-bit integers report C's long ("l", "L") on LP64 systems;
    # they must copy exactly like "q"/"Q" buffers, extremes and strides included.
    info = np.iinfo(dtype)
    source = np.array([info.min, -1 if info.min else 1, 0, info.max, info.max - 1], dtype=dtype)
    for array in (source, source[::-2]):
        struct = make("AllTypes")
        setattr(struct, field, array)
        assert list(getattr(struct, field)) == [int(x) for x in array]
        assert np.asarray(getattr(struct, field)).tolist() == array.tolist()


def test_zero_dimensional_buffer_is_one_item(make):
    struct = make("AllTypes", f64List=np.array(4.5))
    assert list(struct.f64List) == [4.5]


@pytest.mark.parametrize("field, value, message", [
    ("f64List", np.zeros((2, 3)),
     "Multidimensional arrays cannot be directly serialized. If you are using numpy, use "
     "`flatten` to make the array unidimensional"),
    ("f64List", np.zeros(3, dtype=np.int32),
     "List input supports the buffer protocol but the format i is not compatible with the "
     "expected format d."),
    ("f64List", np.zeros(3, dtype=np.dtype("l")),
     "List input supports the buffer protocol but the format l is not compatible with the "
     "expected format d."),
    ("i8List", b"\x01",
     "List input supports the buffer protocol but the format B is not compatible with the "
     "expected format b."),
    ("textList", b"ab",
     "List input supports the buffer protocol but the format B is not compatible with the "
     "expected format ."),
    ("complexList", np.zeros(2, dtype=np.complex64),
     "List input id of type Zf. But complex values must be of type Zd."),
    ("innerList", np.zeros(2, dtype=np.complex128),
     "List input supports the buffer protocol for a complex list Zd. But the expected format "
     "is not a complex struct."),
])
def test_list_buffer_refused(make, field, value, message):
    struct = make("AllTypes", **{field: [] if field != "textList" else ["kept"]})
    before = struct.to_json()
    with pytest.raises(ValueError) as raised:
        setattr(struct, field, value)
    assert str(raised.value) == message
    assert struct.to_json() == before  # nothing written


@pytest.mark.parametrize("field, value, index", [
    ("i32List", [1, "x"], 1),
    ("f64List", [None], 0),
    ("boolList", [True, "x"], 1),  # no number truth
    ("u8List", [1, 2, 256], 2),
    ("textList", ["a", 5], 1),
])
def test_list_element_refused(make, field, value, index):
    struct = make("AllTypes")
    with pytest.raises(errors.BaseError) as raised:
        setattr(struct, field, value)
    assert str(raised.value) == f"Unable to convert list element {index} to underlying structure."


@pytest.mark.parametrize("field, value", [
    ("dataList", [1]),
    ("colorList", [1]),
])
def test_list_element_cast_error_passes_unwrapped(make, field, value):
    with pytest.raises(RuntimeError, match="^Unable to cast Python instance"):
        make("AllTypes", **{field: value})


def test_non_iterable_list_input(make):
    with pytest.raises(TypeError):
        make("AllTypes", i32List=5)


def test_failed_list_assignment_keeps_the_old_list(make):
    struct = make("AllTypes", i32List=[1, 2])
    with pytest.raises(errors.BaseError):
        struct.i32List = [3, "x"]
    assert list(struct.i32List) == [1, 2]


# --- structs ---------------------------------------------------------------

def test_struct_field_from_dict_mapping_and_struct(make):
    struct = make("AllTypes", inner={"x": 1, "name": "a"})
    assert (struct.inner.x, struct.inner.name) == (1, "a")
    struct.inner = [("x", 2)]  # anything dict() accepts
    assert (struct.inner.x, "name" in struct.inner) == (2, False)
    struct.inner = make("Inner", x=3, name="c")
    assert (struct.inner.x, struct.inner.name) == (3, "c")


def test_struct_field_from_a_struct_copies_only_available_fields(make):
    source = make("AllTypes", i32=4, inner={"x": 9}, f64List=[1.0], color="blue", num=6)
    target = make("AllTypes", inner={"x": 1, "name": "replaced"})
    target.inner = source.inner
    assert (target.inner.x, "name" in target.inner) == (9, False)
    whole = make("AllTypes")
    whole.innerList = [source.inner]
    assert whole.innerList[0].x == 9
    copy = make("AllTypes", text="not in source")
    for name in source.keys():
        copy[name] = source[name]
    assert (copy.i32, list(copy.f64List), copy.color, copy.num, copy.text) == \
        (4, [1.0], "blue", 6, "not in source")


def test_struct_from_another_type_fails_on_missing_field(make):
    with pytest.raises(errors.BaseError, match="no such member"):
        make("AllTypes").inner = make("Plain", a=1)


def test_struct_from_non_mapping(make):
    with pytest.raises((TypeError, ValueError)):
        make("AllTypes").inner = 5


def test_group_from_dict_and_from_itself(make):
    struct = make("AllTypes", grp={"gx": 2, "gy": "why"})
    struct.grp = struct.grp
    assert (struct.grp.gx, struct.grp.gy) == (2, "why")
    struct.grp = {"gx": 3}
    assert (struct.grp.gx, "gy" in struct.grp) == (3, False)


@pytest.mark.parametrize("field, value", [
    ("inner", {"x": 1, "name": "n"}),
    ("f64List", [1.0, 2.0]),
    ("innerList", [{"x": 1}, {"x": 2, "name": "b"}]),
    ("complexList", [1j, 2]),
])
def test_self_assignment_keeps_the_value(make, field, value):
    struct = make("AllTypes", **{field: value})
    before = struct.to_json()
    setattr(struct, field, getattr(struct, field))
    assert struct.to_json() == before


def test_reassigning_a_view_of_a_received_list(make, receive, peer):
    message = peer.AllTypes.new_message(f64List=[1.0, 2.0, 3.0])
    received = receive("AllTypes", message.to_bytes_packed())
    received.f64List = np.asarray(received.f64List)[::-1]
    assert list(received.f64List) == [3.0, 2.0, 1.0]


def test_union_member_from_dict_and_complex_in_union(make):
    struct = make("AllTypes", sub={"x": 1})
    assert struct.get_union_element_name() == "sub"
    struct.word = "w"
    assert struct.get_union_element() == "w"


def test_any_pointer_is_cleared(make, receive, peer):
    message = peer.AllTypes.new_message()
    message.any.set_as_text("x")
    struct = receive("AllTypes", message.to_bytes_packed())
    assert "any" in struct
    struct.any = "ignored"
    assert "any" not in struct
    with pytest.raises(AttributeError, match="not been initialized"):
        struct.any


def test_any_pointer_reads_as_none(receive, peer):
    message = peer.AllTypes.new_message()
    message.any.set_as_text("x")
    assert receive("AllTypes", message.to_bytes_packed()).any is None


def test_struct_list_elements_in_place(make):
    struct = make("AllTypes", innerList=[{"x": 1, "name": "a"}, make("Inner", x=2)])
    assert [(e.x, e.name if "name" in e else None) for e in struct.innerList] == \
        [(1, "a"), (2, None)]


def test_buffer_of_2_to_the_32_items_is_refused_before_allocating(make):
    huge = np.lib.stride_tricks.as_strided(np.zeros(1), shape=(2**32,), strides=(0,))
    with pytest.raises(ValueError) as raised:
        make("AllTypes").f64List = huge
    assert str(raised.value) == "Buffer size exceeds the maximum allowed size of 2^32."


def test_worker_thread_conversion_through_a_handle(loader, ids):
    struct = _comms._testing.fill_on_thread({"a": 3, "b": "from a thread", "values": np.arange(3.0)},
                                            loader, ids.Plain, False)
    assert (struct.a, struct.b, list(struct.values)) == (3, "from a thread", [0.0, 1.0, 2.0])
    with pytest.raises(errors.BaseError) as raised:
        _comms._testing.fill_on_thread({"a": 1}, loader, ids.Plain, True)
    assert str(raised.value) == "Underlying python object is no longer accessible"
    with pytest.raises(errors.BaseError, match="^Unable to convert python input"):
        _comms._testing.fill_on_thread({"nope": 1}, loader, ids.Plain, False)


def test_self_containing_value_is_a_recursion_error(make):
    cyclic = {"value": 1}
    cyclic["child"] = cyclic
    with pytest.raises(RecursionError):
        make("Tree", child=cyclic)
    in_list = {"value": 2}
    in_list["children"] = [in_list]
    with pytest.raises(RecursionError):
        make("Tree", children=[in_list])
    deep = {"value": 0}
    for level in range(1, 50):
        deep = {"value": level, "child": deep}
    assert make("Tree", child=deep).child.child.value == 48


def test_nesting_is_bounded_even_with_a_raised_recursion_limit(make):
    # The interpreter's limit alone would let the converter recurse until the
    # native stack overflows.
    cyclic = {"value": 1}
    cyclic["children"] = [cyclic]
    limit = sys.getrecursionlimit()
    sys.setrecursionlimit(1_000_000)
    try:
        with pytest.raises(RecursionError, match=r"maximum nesting depth \(256\) exceeded"):
            make("Tree", children=[cyclic])
    finally:
        sys.setrecursionlimit(limit)
    deep = {"value": 0}
    for level in range(1, 250):
        deep = {"value": level, "child": deep}
    assert make("Tree", child=deep).child.child.value == 248
