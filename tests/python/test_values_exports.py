"""The value layer's public names."""

import nuvrel.comms
from nuvrel.comms import _comms

VALUE_NAMES = ["SchemaLoader", "InterfaceSchema", "DynamicStruct", "DynamicList",
               "DynamicListBuffer", "DynamicEnum", "unwrap", "serialize"]


def test_value_names_are_exported():
    for name in VALUE_NAMES:
        assert getattr(nuvrel.comms, name) is getattr(_comms, name)
        assert name in nuvrel.comms.__all__
    assert "_testing" not in nuvrel.comms.__all__


def test_serialize_is_a_submodule():
    assert _comms.serialize.__name__ == _comms.__name__ + ".serialize"
    assert {"to_json", "from_json", "to_packed_capnp", "from_packed_capnp", "from_dict"} <= \
        set(dir(_comms.serialize))
