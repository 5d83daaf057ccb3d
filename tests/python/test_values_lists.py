"""DynamicList, DynamicListBuffer, DynamicEnum and unwrap."""

import ctypes
import gc

import numpy as np
import pytest

from nuvrel.comms import _comms, errors
from values_support import ids, loader, make, peer, peer_v2, receive, values_blob  # noqa: F401


def _received(receive, peer, **fields):
    return receive("AllTypes", peer.AllTypes.new_message(**fields).to_bytes_packed())


@pytest.mark.parametrize("field, values, dtype, fmt", [
    ("f64List", [1.5, -2.0, 3.0], np.float64, "d"),
    ("f32List", [0.5, 2.0], np.float32, "f"),
    ("i8List", [-1, 5], np.int8, "b"),
    ("i16List", [-300, 7], np.int16, "h"),
    ("i32List", [-7, 1 << 30], np.int32, "i"),
    ("i64List", [-(1 << 40), 3], np.int64, "q"),
    ("u8List", [0, 255], np.uint8, "B"),
    ("u16List", [65535], np.uint16, "H"),
    ("u32List", [1 << 31], np.uint32, "I"),
    ("u64List", [(1 << 64) - 1], np.uint64, "Q"),
])
def test_received_numeric_list_is_a_zero_copy_view(receive, peer, field, values, dtype, fmt):
    holder = _received(receive, peer, **{field: values})
    lst = getattr(holder, field)
    assert type(lst) is _comms.DynamicListBuffer
    view = memoryview(lst)
    assert (view.format, view.itemsize, view.readonly, view.shape) == \
        (fmt, np.dtype(dtype).itemsize, True, (len(values),))
    array = np.asarray(lst)
    assert array.dtype == dtype and array.shape == (len(values),)
    assert array.tolist() == values
    assert np.shares_memory(array, np.asarray(view))
    assert not array.flags.writeable
    assert list(lst) == values and len(lst) == len(values)


def test_view_keeps_the_message_alive(receive, peer):
    array = np.asarray(_received(receive, peer, f64List=[4.0, 5.0]).f64List)
    gc.collect()
    assert array.tolist() == [4.0, 5.0]


def test_writable_buffer_is_refused(receive, peer):
    lst = _received(receive, peer, f64List=[1.0]).f64List
    get_buffer = ctypes.pythonapi.PyObject_GetBuffer
    get_buffer.argtypes = [ctypes.py_object, ctypes.c_void_p, ctypes.c_int]
    view = ctypes.create_string_buffer(256)  # larger than a Py_buffer
    py_buf_writable = 0x0001
    with pytest.raises(BufferError, match="Writable buffer requested for readonly storage"):
        get_buffer(lst, ctypes.addressof(view), py_buf_writable)


def test_complex_list_is_a_complex128_view(receive, peer):
    lst = _received(receive, peer, complexList=[{"real": 1.0, "imag": 2.0}, {"imag": -1.0}]).complexList
    view = memoryview(lst)
    assert (view.format, view.itemsize) == ("Zd", 16)
    array = np.asarray(lst)
    assert array.dtype == np.complex128
    assert array.tolist() == [1 + 2j, -1j]
    assert list(lst) == [1 + 2j, -1j]


def test_empty_list_view(receive, peer):
    lst = _received(receive, peer, f64List=[]).f64List
    assert np.asarray(lst).shape == (0,) and len(lst) == 0


def test_peer_with_larger_complex_elements(receive, peer_v2):
    message = peer_v2.Lists.new_message(
        complexList=[{"real": 1.0, "imag": 2.0, "extra": 99.0}, {"real": 3.0, "imag": 4.0, "extra": 98.0}])
    lst = receive("Lists", message.to_bytes_packed()).complexList
    view = memoryview(lst)
    assert view.strides == (24,)  # the sender's element step, not ours
    assert np.asarray(lst).tolist() == [1 + 2j, 3 + 4j]
    assert list(lst) == [1 + 2j, 3 + 4j]


def test_peer_with_struct_elements_for_a_primitive_list(receive, peer_v2):
    message = peer_v2.Lists.new_message(f64List=[{"value": 1.5, "weight": 7.0}, {"value": -2.5}])
    lst = receive("Lists", message.to_bytes_packed()).f64List
    assert np.asarray(lst).tolist() == [1.5, -2.5]
    assert list(lst) == [1.5, -2.5]


def test_peer_elements_with_pointers_are_not_viewed(receive, peer_v2):
    message = peer_v2.Lists.new_message(complexWithText=[{"real": 1.0, "imag": 2.0, "note": "n"}])
    lst = receive("Lists", message.to_bytes_packed()).complexWithText
    with pytest.raises(BufferError) as raised:
        memoryview(lst)
    assert isinstance(raised.value.__cause__, errors.BaseError)
    assert "cannot be viewed as a buffer" in str(raised.value.__cause__)
    assert list(lst) == [1 + 2j]


def test_bool_list_gives_booleans_and_no_buffer(receive, peer):
    pattern = [True, False, False, True, True, False, True, False, True, True]
    lst = _received(receive, peer, boolList=pattern).boolList
    assert type(lst) is _comms.DynamicList
    assert list(lst) == pattern
    assert [lst[i] for i in range(len(lst))] == pattern
    with pytest.raises(TypeError):
        memoryview(lst)
    assert np.array(list(lst)).tolist() == pattern


def test_text_list_indexing(receive, peer):
    lst = _received(receive, peer, textList=["a", "b", "c"]).textList
    assert type(lst) is _comms.DynamicList
    assert len(lst) == 3 and lst[2] == "c"
    with pytest.raises(IndexError) as raised:
        lst[3]
    assert str(raised.value) == "out of bounds"
    with pytest.raises(TypeError):
        lst[-1]
    with pytest.raises(TypeError):
        lst[0:1]
    with pytest.raises(IndexError, match="out of bounds"):
        lst[3] = "d"


@pytest.mark.parametrize("iterate_first", [False, True])
def test_list_item_assignment(make, iterate_first):
    struct = make("AllTypes")
    lst = struct.init_list("i32List", 2)
    if iterate_first:
        assert list(lst) == [0, 0]
    lst[0] = 5
    assert lst[0] == 5
    assert list(struct.i32List) == [5, 0]


def test_struct_elements_keep_their_identity(make):
    lst = make("AllTypes", innerList=[{"x": 1}, {"x": 2}]).innerList
    assert lst[1] is lst[1]
    lst[1] = {"x": 9}
    assert lst[1].x == 9


def test_list_element_assignment_errors(make):
    lst = make("AllTypes").init_list("i32List", 1)
    with pytest.raises(errors.BaseError) as raised:
        lst[0] = "x"
    assert str(raised.value) == "Unable to convert list element 0 to underlying structure."
    colors = make("AllTypes").init_list("colorList", 1)
    colors[0] = "blue"
    assert colors[0] == "blue"


def test_buffer_list_has_no_item_assignment(receive, peer):
    lst = _received(receive, peer, f64List=[1.0]).f64List
    with pytest.raises(TypeError):
        lst[0] = 2.0


def test_list_text_form(make):
    assert str(make("AllTypes", textList=["a", "b"]).textList) == "['a','b']"
    assert str(make("AllTypes", f64List=[1.5]).f64List) == "[1.5]"


def test_lists_cannot_be_constructed():
    for cls in (_comms.DynamicList, _comms.DynamicListBuffer, _comms.DynamicEnum):
        with pytest.raises(TypeError):
            cls()


def test_nested_list_of_lists(make):
    nested = make("AllTypes", nested=[[1, 2], [3]]).nested
    assert type(nested) is _comms.DynamicList
    assert type(nested[0]) is _comms.DynamicListBuffer
    assert np.asarray(nested[0]).tolist() == [1, 2]


# --- enums -----------------------------------------------------------------

def test_enum_value(make):
    color = make("EnumHolder", color="blue").color
    assert type(color) is _comms.DynamicEnum
    assert color.raw == 2 and str(color) == "blue"
    assert color == 2 and color == "blue" and color == b"blue"
    assert color == make("AllTypes", color=2).color
    assert not (color == "red") and not (color == 1) and color != 70000
    assert hash(color) == 2
    assert {color: "x"}[2] == "x"


def test_enum_without_a_name(receive, peer_v2):
    struct = receive("EnumHolder", peer_v2.EnumHolder.new_message(color=7).to_bytes_packed())
    color = struct.color
    assert color.raw == 7
    assert color.__str__() is None
    with pytest.raises(TypeError):
        str(color)
    assert not (color == "blue") and color == 7


def test_docstrings():
    assert _comms.DynamicList.__doc__.startswith(
        "Holds a capnp list value.\n\nThis object can not be created within Python but is "
        "returned by the\npackage. It can be used as any other list object")
    assert "buffer protocol (PEP 3118)" in _comms.DynamicListBuffer.__doc__
    assert "np.array(dynamic_list, copy=False)" in _comms.DynamicListBuffer.__doc__
    assert _comms.DynamicEnum.__doc__.startswith(
        "Holds a capnp enum value.\n\nThis object can not be created within Python but is "
        "returned by the\npackage.")
    assert _comms.DynamicEnum.raw.__doc__ == "Raw integer value of the enum."
    doc = _comms.unwrap.__doc__
    assert "Unwrap a KS result struct." in doc
    assert "The Result struct is something specific to KS and not a capnp feature." in doc
    assert "If the input is not a result struct, the input will be returned untouched." in doc


def test_unwrap_of_an_error_result(receive, peer):
    message = peer.NotAResult.new_message()
    err = message.init("result").init("err")
    err.kind = "timeout"
    err.message = "too slow"
    struct = receive("NotAResult", message.to_bytes_packed())
    with pytest.raises(errors.TimeoutError, match="^too slow$"):
        _comms.unwrap(struct.result)
