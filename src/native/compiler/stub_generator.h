// The text of a generated Python stub module: a fixed header that embeds the
// compiled schema and a cached schema loader, then typed classes for the
// structs, groups, enums and interfaces of a code generator request, then its
// constants. Pure functions of the request; nothing here touches Python.
#pragma once

#include <capnp/schema.capnp.h>

#include <optional>
#include <string>

namespace nuvrel::python::detail {

// The module text for the request's first requested file. Fails with an
// `Exception` (API code 0x8000) when an interface method is named like a
// method of the client class ("close", "get_schema").
std::string generatePythonModule(capnp::schema::CodeGeneratorRequest::Reader request);

// A packed `CapSchema` message holding every node of `nodes` that is not a
// file node (`typeId` 0), in standard base64.
std::string encodeSchemaBlob(capnp::List<capnp::schema::Node>::Reader nodes);

// The blob cut into lines of 88 characters joined by a backslash and a
// newline, the continuation lines of a Python bytes literal.
std::string wrapSchemaBlob(const std::string& base64);

// Exposed for tests.
std::string generateStubString(capnp::List<capnp::schema::Node>::Reader nodes);
std::string convertDisplayName(const std::string& displayName);
std::string convertConstName(const std::string& displayName);
std::string pythonFloatLiteral(double value);
std::string pythonTextLiteral(const std::string& text);

// The module text template, with the named fields capnpFile, nodesListing,
// nuvrelCommsVersion, binarySchema and stubs.
extern const char* const kPythonModuleTemplate;

}  // namespace nuvrel::python::detail
