// Python values into Cap'n Proto messages, driven by the target's schema:
// for every field or list element the Cap'n Proto type decides which Python
// values are accepted. Numeric and complex lists given as buffers are copied
// in bulk (buffer_view_parsing.h).
//
// Everything here runs with the GIL held (toCapnp of a dict takes it).
#pragma once

#include <capnp/dynamic.h>
#include <pybind11/pybind11.h>

#include <functional>
#include <string>

#include "protocol/capnp_trait.h"
#include "python/asyncio/python_objects_factory.h"

namespace nuvrel::python {

// One struct field from a Python value. `None` leaves a non-Void field as it
// is. A name that is not a field fails Cap'n Proto's check (kj::Exception).
void structElementToCapnp(const std::string& name, pybind11::handle value,
                          capnp::DynamicStruct::Builder builder);

// One list element from a Python value.
void listElementToCapnp(unsigned index, pybind11::handle value, capnp::DynamicList::Builder list);

// Turns a Python object placed in an interface-typed field or list element
// into a capability of `schema`. Installed by the server bindings (which know
// the Callback class); throws pybind11::cast_error for any other object.
using InterfaceInputConverter =
    std::function<capnp::DynamicCapability::Client(pybind11::handle value, capnp::InterfaceSchema schema)>;
void setInterfaceInputConverter(InterfaceInputConverter converter);

}  // namespace nuvrel::python

namespace nuvrel {

// Fills a struct from a dictionary, item by item in the dictionary's order.
// Keys are texts (str or bytes). A Cap'n Proto failure is logged and becomes
// runtimeError "Unable to convert python input. (<description>)."; other
// errors pass unchanged.
template <>
struct CapnpTrait<pybind11::dict, capnp::DynamicStruct> {
  static void toCapnp(const pybind11::dict& input, capnp::DynamicStruct::Builder builder);
};

// Fills request parameters on the worker thread from the keyword dictionary
// a handle refers to; takes the GIL for the conversion. While the
// interpreter finalises it does nothing (the request keeps its defaults); a
// handle whose object is gone throws "Underlying python object is no longer
// accessible".
template <>
struct CapnpTrait<python::PyHandle, capnp::DynamicStruct> {
  static void toCapnp(const python::PyHandle& input, capnp::DynamicStruct::Builder builder);
};

}  // namespace nuvrel
