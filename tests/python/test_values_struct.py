"""DynamicStruct: field access, init_ helpers, iteration, results, release."""

import gc

import pytest

from nuvrel.comms import _comms, errors
from values_support import ids, loader, make, peer, peer_v2, receive, values_blob  # noqa: F401

NOT_INITIALISED = ('Field "{0}" cannot be accessed because it has not been initialized. '
                   "To initialize it, call init_{0} first")


def test_constructor_sets_keyword_fields(make):
    struct = make("Plain", a=1, b="x")
    assert (struct.a, struct.b) == (1, "x")


def test_constructor_unknown_keyword(make):
    with pytest.raises(AttributeError) as raised:
        make("Plain", a=1, nope=2)
    assert str(raised.value) == 'Plain has no field named "nope".'


@pytest.mark.parametrize("name, error, message", [
    ("text", AttributeError, NOT_INITIALISED.format("text")),
    ("inner", AttributeError, NOT_INITIALISED.format("inner")),
    ("num", AttributeError, NOT_INITIALISED.format("num")),  # inactive union member
    ("nope", AttributeError, 'AllTypes has no field named "nope".'),
    ("init_nope", AttributeError, 'AllTypes has no field named "init_nope".'),
    ("init_i32", TypeError, 'Unable to initialize field "i32". Field must be of type struct or list'),
    ("init_", AttributeError, 'AllTypes has no field named "init_".'),
])
def test_read_errors(make, name, error, message):
    struct = make("AllTypes")
    with pytest.raises(error) as raised:
        getattr(struct, name)
    assert str(raised.value) == message
    with pytest.raises(error):
        struct[name]


def test_unset_scalars_read_as_defaults(make):
    struct = make("AllTypes")
    assert (struct.i32, struct.f64, struct.b, struct.v, struct.color) == (0, 0.0, False, None, "red")
    with pytest.raises(AttributeError, match="has not been initialized"):
        struct.c  # a struct field, Complex too, is a pointer


def test_init_helper_returns_the_child_that_the_field_then_yields(make):
    struct = make("AllTypes")
    init_inner = struct.init_inner
    assert callable(init_inner)
    child = init_inner(x=1)
    assert child.x == 1
    assert struct.inner is child
    del struct
    gc.collect()
    assert init_inner(x=2).x == 2  # the helper keeps its struct alive


def test_init_list_helper(make):
    struct = make("AllTypes")
    values = struct.init_f64List(3)
    assert type(values) is _comms.DynamicList
    assert struct.f64List is values and len(values) == 3


def test_init_struct_twice_gives_a_new_child(make):
    struct = make("AllTypes")
    first = struct.init_struct("inner", x=1)
    second = struct.init_struct("inner", name="n")
    assert first is not second
    assert struct.inner is second
    assert (second.x, second.name) == (0, "n")


def test_init_struct_of_a_group_and_a_union_member(make):
    struct = make("AllTypes", num=3)
    grp = struct.init_struct("grp", gx=5)
    assert struct.grp is grp and grp.gx == 5
    sub = struct.init_struct("sub", x=7)
    assert struct.get_union_element_name() == "sub" and sub.x == 7


@pytest.mark.parametrize("call, error, message", [
    (lambda s: s.init_struct("nope"), AttributeError, 'AllTypes has no field named "nope".'),
    (lambda s: s.init_struct("i32"), TypeError,
     'Unable to initialize field "i32". Field must be of type struct'),
    (lambda s: s.init_struct("innerList"), TypeError,
     'Unable to initialize field "innerList". Field must be of type struct'),
    (lambda s: s.init_list("nope", 1), AttributeError, 'AllTypes has no field named "nope".'),
    (lambda s: s.init_list("inner", 1), TypeError,
     'Unable to initialize field "inner". Field must be of type list'),
    (lambda s: s.init_struct("inner", nope=1), errors.BaseError, None),
    (lambda s: setattr(s, "nope", 1), AttributeError, 'AllTypes has no field named "nope".'),
    (lambda s: s.__setitem__("nope", 1), AttributeError, 'AllTypes has no field named "nope".'),
])
def test_init_and_assignment_errors(make, call, error, message):
    with pytest.raises(error) as raised:
        call(make("AllTypes"))
    if message is not None:
        assert str(raised.value) == message


def test_assigning_a_struct_field_invalidates_the_cached_child(make):
    struct = make("AllTypes", inner={"x": 1})
    before = struct.inner
    struct.inner = {"x": 2, "name": "b"}
    after = struct.inner
    assert after is not before
    assert (after.x, after.name) == (2, "b")


def test_nested_struct_outlives_its_parent(make):
    child = make("AllTypes", inner={"x": 4}).inner
    gc.collect()
    assert child.x == 4


def test_len_counts_unset_pointers_and_keys_omit_them(make):
    struct = make("Plain", a=1)
    assert len(struct) == 8
    assert struct.keys() == ["a", "big", "ratio", "color", "flag"]
    assert dir(struct) == sorted(struct.keys())
    struct.b = "x"
    assert "b" in struct.keys()


def test_len_and_keys_with_a_union(make):
    struct = make("AllTypes", word="w")
    assert len(struct) == 40  # 39 non-union fields + the active member
    assert struct.keys()[-1] == "word"


@pytest.mark.parametrize("name, expected", [
    ("i32", True), ("text", False), ("none", True), ("num", False), ("nope", False),
    ("grp", True), ("init_inner", False),
])
def test_contains(make, name, expected):
    assert (name in make("AllTypes")) is expected


def test_iteration_yields_fields_then_the_union_member(make):
    struct = make("EnumHolder", color="blue")
    assert [(k, str(v)) for k, v in struct] == [("color", "blue")]
    plain = make("Plain", a=1, b="t", inner={"x": 2}, values=[0.5])
    items = dict(plain)
    assert list(items) == ["a", "b", "big", "ratio", "color", "inner", "values", "flag"]
    assert items["inner"].x == 2 and list(items["values"]) == [0.5]


def test_iteration_with_an_unset_pointer_fails(make):
    with pytest.raises(AttributeError, match="has not been initialized"):
        list(make("Plain", a=1))


def test_text_form_uses_single_quotes(make):
    assert str(make("Inner", name="ab")) == "{'x':0,'name':'ab'}"
    assert make("Inner", name="ab").to_json() == '{"x":0,"name":"ab"}'


def test_to_packed_capnp_only_for_the_root(make, peer):
    struct = make("AllTypes", inner={"x": 5})
    with pytest.raises(ValueError) as raised:
        struct.inner.to_packed_capnp()
    assert str(raised.value) == "Only the root struct can be packed."
    assert peer.AllTypes.from_bytes_packed(struct.to_packed_capnp()).inner.x == 5


def test_union_access(make):
    struct = make("AllTypes")
    assert struct.get_union_element_name() == "none"
    struct.num = 5
    assert (struct.get_union_element_name(), struct.get_union_element()) == ("num", 5)
    with pytest.raises(AttributeError) as raised:
        make("Inner").get_union_element_name()
    assert str(raised.value) == "Struct contains no union element."
    with pytest.raises(AttributeError, match="Struct contains no union element."):
        make("Inner").get_union_element()


def test_switching_union_member_drops_stale_children(make):
    struct = make("AllTypes", sub={"x": 1})
    assert struct.sub.x == 1
    struct.num = 2
    with pytest.raises(AttributeError, match="has not been initialized"):
        struct.sub
    assert dict(struct)["num"] == 2


def test_capnp_id_and_member_named_field(make, ids):
    struct = make("AllTypes")
    assert struct.capnp_id == ids.AllTypes
    struct["keys"] = 3
    assert struct["keys"] == 3
    assert "keys" in struct.keys()


def test_docstrings():
    doc = _comms.DynamicStruct.__doc__
    assert doc.startswith("Holds a capnp struct value.")
    for line in ("schema_loader: The schema loader that holds the schema of the struct.",
                 "struct_id: The id of the struct.", "kwargs: Optional initial values of the fields."):
        assert line in doc
    assert _comms.DynamicStruct.keys.__doc__.endswith("Return the available field names.\n")
    assert "Convert the struct to a json string." in _comms.DynamicStruct.to_json.__doc__
    assert "Convert the struct to a packed capnp byte string." in \
        _comms.DynamicStruct.to_packed_capnp.__doc__
    for method, first in (("get_union_element_name", "Get the name of the union element."),
                          ("get_union_element", "Get the union element.")):
        method_doc = getattr(_comms.DynamicStruct, method).__doc__
        assert first in method_doc
        assert "AttributeError: If the struct does not contain a union." in method_doc
    assert "Initialize a struct field." in _comms.DynamicStruct.init_struct.__doc__
    assert "Initialize a list field." in _comms.DynamicStruct.init_list.__doc__
    assert _comms.DynamicStruct.capnp_id.__doc__ == "The capnp id of the struct."


# --- received messages -----------------------------------------------------

def _result_message(peer, type_name="WithResult", **result):
    message = getattr(peer, type_name).new_message()
    target = message.init("result")
    for key, value in result.items():
        if key == "err":
            err = target.init("err")
            for k, v in value.items():
                setattr(err, k, v)
        else:
            setattr(target, key, value)
    return message.to_bytes_packed()


def test_result_ok_is_unwrapped(receive, peer):
    assert receive("WithResult", _result_message(peer, ok="fine")) == "fine"
    inner = receive("WithInnerResult", _result_message(peer, "WithInnerResult", ok={"x": 3}))
    assert isinstance(inner, _comms.DynamicStruct) and inner.x == 3


@pytest.mark.parametrize("kind, error_class", [
    ("notFound", errors.NotFoundError),
    ("timeout", errors.TimeoutError),
    ("badRequest", errors.BadRequestError),
    ("unknown", errors.BaseError),
])
def test_result_err_is_raised(receive, peer, kind, error_class):
    packed = _result_message(peer, err={"kind": kind, "message": "it failed", "code": 3})
    with pytest.raises(error_class) as raised:
        receive("WithResult", packed)
    assert type(raised.value) is error_class
    assert str(raised.value) == "it failed"


def test_two_field_struct_is_not_unwrapped(receive, peer):
    message = peer.NotAResult.new_message(other=1)
    message.init("result").ok = "inner"
    struct = receive("NotAResult", message.to_bytes_packed())
    assert isinstance(struct, _comms.DynamicStruct)
    assert _comms.unwrap(struct.result) == "inner"
    assert _comms.unwrap(struct) is struct
    assert _comms.unwrap(5) == 5


def test_result_with_an_unknown_member(receive, peer_v2):
    message = peer_v2.WithResultV2.new_message()
    message.init("result").other = None
    struct = receive("WithResult", message.to_bytes_packed())
    assert isinstance(struct, _comms.DynamicStruct)
    assert struct.capnp_id == 0xbab0f33e1934323d


def test_received_message_is_released_through_the_registry(receive, peer):
    registry = _comms._testing.ValueTestRegistry()
    message = peer.AllTypes.new_message(inner={"x": 1}, f64List=[1.0])
    struct = receive("AllTypes", message.to_bytes_packed(), registry)
    child, values = struct.inner, struct.f64List
    del struct
    gc.collect()
    assert registry.released == 0
    del child
    gc.collect()
    assert registry.released == 0
    del values
    gc.collect()
    assert registry.released == 1
    assert registry.last_use_count == 1  # the registry got the last reference


def test_message_outliving_its_registry_is_released_locally(receive, peer):
    registry = _comms._testing.ValueTestRegistry()
    struct = receive("Inner", peer.Inner.new_message(x=2).to_bytes_packed(), registry)
    registry.drop()
    assert struct.x == 2
    del struct
    gc.collect()
    assert registry.released == -1  # gone; nothing was handed to it


def test_capability_becomes_a_client_through_the_registry(receive, peer):
    registry = _comms._testing.ValueTestRegistry()
    struct = receive("AllTypes", peer.AllTypes.new_message().to_bytes_packed(), registry)
    _comms._testing.set_test_capability(struct, "cap")
    client = struct.cap
    assert client[0] == "client" and registry.registered == 1
    assert struct.cap is client


def test_capability_after_the_context_is_gone(receive, peer):
    registry = _comms._testing.ValueTestRegistry()
    struct = receive("AllTypes", peer.AllTypes.new_message().to_bytes_packed(), registry)
    _comms._testing.set_test_capability(struct, "cap")
    registry.drop()
    with pytest.raises(errors.BaseError) as raised:
        struct.cap
    assert str(raised.value) == (
        "Unable to create capability client. Underlying context is no longer available.")


def test_received_float_list_is_a_buffer_and_init_list_is_not(receive, peer, make):
    struct = receive("AllTypes", peer.AllTypes.new_message(f64List=[1.0]).to_bytes_packed())
    assert type(struct.f64List) is _comms.DynamicListBuffer
    assert type(make("AllTypes").init_list("f64List", 1)) is _comms.DynamicList


def test_unreadable_error_record(receive, peer_v2):
    message = peer_v2.WithResultBadErr.new_message()
    message.init("result").init("err").init("message").x = 1
    with pytest.raises(errors.BaseError) as raised:
        receive("WithResult", message.to_bytes_packed())
    assert type(raised.value) is errors.BaseError
    assert str(raised.value).startswith("Unable to parse server error (")


def test_text_that_is_not_utf8(receive, peer_v2):
    unterminated = receive("Inner", peer_v2.InnerBytes.new_message(name=b"ab").to_bytes_packed())
    with pytest.raises(errors.BaseError):  # Cap'n Proto refuses text without its NUL
        unterminated.name
    struct = receive("Inner",
                     peer_v2.InnerBytes.new_message(x=1, name=b"\xff\xfe\x00").to_bytes_packed())
    with pytest.raises(errors.UnimplementedError) as raised:
        struct.name
    assert str(raised.value).startswith(
        "Error converting capnp object to Python. This usually indicates a outdated client. "
        "Please update the client to the latest Orvane release. (")
    assert struct.x == 1


def test_message_of_a_raised_result_is_released_too(receive, peer):
    registry = _comms._testing.ValueTestRegistry()
    packed = _result_message(peer, err={"kind": "notFound", "message": "gone"})
    with pytest.raises(errors.NotFoundError):
        receive("WithResult", packed, registry)
    gc.collect()
    assert registry.released == 1
