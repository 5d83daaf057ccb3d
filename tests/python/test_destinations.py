import pytest

import nuvrel.comms
from nuvrel.comms import _comms


def test_factories_make_destinations():
    assert isinstance(_comms.DestinationParams.ks_connection(), _comms.DestinationParams)
    for device_id in ["dev8123", "DEV8123", "8123", "/dev8123/demods/0"]:
        destination = _comms.DestinationParams.device_connection(device_id)
        assert isinstance(destination, _comms.DestinationParams)
    assert isinstance(
        _comms.DestinationParams.device_connection(device_id="dev8123", interface="usb"),
        _comms.DestinationParams,
    )
    assert nuvrel.comms.DestinationParams is _comms.DestinationParams


def test_has_no_constructor_of_its_own():
    with pytest.raises(TypeError):
        _comms.DestinationParams()


@pytest.mark.parametrize(
    "device_id, message",
    [
        ("devABC", "Invalid device serial supplied ('devABC')."),
        ("dev", "Invalid device serial supplied ('dev')."),
        ("12 34", "Invalid device serial supplied ('12 34')."),
        ("", "Can't extract device serial from path "),
        ("/", "Can't extract device serial from path /"),
    ],
)
def test_bad_serial_raises_at_once(device_id, message):
    with pytest.raises(_comms.errors.BaseError) as caught:
        _comms.DestinationParams.device_connection(device_id)
    assert caught.value.args == (message,)


def test_serial_too_large_for_32_bits_raises():
    # The number conversion's own error, not one of the serial messages.
    with pytest.raises(RuntimeError, match="bad lexical cast"):
        _comms.DestinationParams.device_connection("4294967296")


def test_arguments_are_checked():
    with pytest.raises(TypeError):
        _comms.DestinationParams.device_connection(8123)
    with pytest.raises(TypeError):
        _comms.DestinationParams.device_connection("dev8123", interface=None)


def test_docstrings():
    ks_doc = _comms.DestinationParams.ks_connection.__doc__
    assert ks_doc.endswith(
        "Create the destination params for a connection to a Orvane Orchestrator.\n\n"
        "Returns:\n"
        "    Destination parameters for the connection.\n"
    )
    device_doc = _comms.DestinationParams.device_connection.__doc__
    assert device_doc.endswith(
        "Create the destination params for a connection to a device.\n\n"
        "Args:\n"
        "    device_id: The device serial.\n"
        "    interface: The interface that data server should use to\n"
        "        establish the connection. If empty the data server will\n"
        "        use the default interface. (default = \"\")\n\n"
        "Returns:\n"
        "    Destination parameters for the connection.\n"
    )
    assert "device_id: str, interface: str = ''" in device_doc


def test_device_destination_carries_serial_and_settings_in_order():
    describe = _comms._testing.describe_destination
    assert describe(_comms.DestinationParams.device_connection("dev8123")) == {
        "kind": "device",
        "serial": "dev8123",
        "settings": [("interface", ""), ("autolaunch", "1"), ("api", "6")],
        "api_level": 6,
    }
    usb = describe(_comms.DestinationParams.device_connection("/DEV12/demods/0", "usb"))
    assert usb["serial"] == "dev12"
    assert usb["settings"][0] == ("interface", "usb")
    assert describe(_comms.DestinationParams.ks_connection()) == {"kind": "ks", "api_level": 6}
