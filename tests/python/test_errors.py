import builtins

import pytest

from nuvrel.comms import _comms, errors

T = _comms._testing

CLASS_NAMES = [
    "BaseError",
    "CancelledError",
    "NotFoundError",
    "OverwhelmedError",
    "UnimplementedError",
    "BadRequestError",
    "TimeoutError",
    "UnavailableError",
    "DisconnectError",
]

FAILED, OVERLOADED, DISCONNECTED, UNIMPLEMENTED = 0, 1, 2, 3


def test_class_family():
    assert errors.BaseError.__bases__ == (RuntimeError,)
    for name in CLASS_NAMES[1:]:
        cls = getattr(errors, name)
        assert cls.__bases__ == (errors.BaseError,), name
        assert cls.__module__ == errors.__name__
    assert errors.TimeoutError is not builtins.TimeoutError
    assert not issubclass(errors.TimeoutError, builtins.TimeoutError)
    assert sorted(n for n in vars(errors) if not n.startswith("__")) == sorted(CLASS_NAMES)


@pytest.mark.parametrize(
    "code, cls",
    [
        (0, errors.BaseError),
        (1, errors.CancelledError),
        (2, errors.BaseError),
        (3, errors.NotFoundError),
        (4, errors.OverwhelmedError),
        (5, errors.BadRequestError),
        (6, errors.UnimplementedError),
        (7, errors.BaseError),
        (8, errors.UnavailableError),
        (9, errors.TimeoutError),
        (100, ValueError),
        (101, errors.DisconnectError),
        (102, KeyError),
        (555, errors.BaseError),
    ],
)
def test_module_codes_choose_the_class(code, cls):
    with pytest.raises(cls) as info:
        T.raise_errc(code, "the message")
    assert type(info.value) is cls
    assert info.value.args == ("the message",)


@pytest.mark.parametrize(
    "which, cls, message",
    [
        ("Exception", errors.BaseError, "plain"),
        ("KSIOException", errors.UnavailableError, "plain"),
        # The IO family is matched before the code is looked at.
        ("KSIOTimeoutException", errors.UnavailableError, "plain"),
        ("KSTimeoutException", errors.BaseError, "plain"),
        (
            "ApiTimeoutException",
            errors.TimeoutError,
            "KSAPITimeoutException with status code: 32781 - Command timed out",
        ),
        (
            "ApiNotFoundException",
            errors.NotFoundError,
            "KSAPINotFoundException with status code: 16387 - plain",
        ),
        (
            "ApiConnectionException",
            errors.BaseError,
            "KSAPIConnectionException with status code: 32780 - plain",
        ),
    ],
)
def test_native_exceptions(which, cls, message):
    with pytest.raises(cls) as info:
        T.raise_native(which, "plain")
    assert type(info.value) is cls
    assert info.value.args == (message,)
    obj = T.native_error_object(which, "plain")
    assert type(obj) is cls and obj.args == (message,)


def test_foreign_exceptions_fall_through_to_pybind11():
    with pytest.raises(RuntimeError) as info:
        T.raise_native("std::runtime_error", "std failure")
    assert type(info.value) is RuntimeError
    assert str(info.value) == "std failure"
    obj = T.native_error_object("std::runtime_error", "std failure")
    assert type(obj) is errors.BaseError and obj.args == ("std failure",)


@pytest.mark.parametrize(
    "kj_type, direct, converted",
    [
        (FAILED, errors.BadRequestError, errors.BaseError),
        (OVERLOADED, errors.OverwhelmedError, errors.OverwhelmedError),
        (DISCONNECTED, errors.DisconnectError, errors.UnavailableError),
        (UNIMPLEMENTED, errors.UnimplementedError, errors.UnimplementedError),
    ],
)
def test_capnp_exceptions(kj_type, direct, converted):
    with pytest.raises(direct) as info:
        T.raise_kj(kj_type, "remote exception: it broke", False)
    assert info.value.args == ("remote exception: it broke",)
    obj = T.kj_error_object(kj_type, "remote exception: it broke", False)
    assert type(obj) is direct
    converted_obj = T.kj_error_object(kj_type, "it broke", True)
    assert type(converted_obj) is converted
    assert converted_obj.args == ("Unexpected exception occurred: it broke",)


def test_empty_message_gives_empty_argument():
    obj = T.native_error_object("std::runtime_error", "")
    assert type(obj) is errors.BaseError and obj.args == ("",)
    # A coded failure without a message takes the code's own words instead.
    with pytest.raises(errors.BaseError) as info:
        T.raise_errc(7, "")
    assert info.value.args == ("Internal",)
