// Parsing `.capnp` files into a code generator request: the message the
// `capnp compile` tool hands to its plug-ins.
#pragma once

#include <capnp/message.h>
#include <capnp/schema.capnp.h>

#include <string>
#include <vector>

namespace nuvrel::python::detail {

// Parses every file of `src` and builds the request in `message`; the reader
// returned points into it.
//
// `srcPrefix` is a directory (empty: the current one) that is cut off the
// front of source paths to name their nodes and output files; `importPaths`
// are searched, in order and before /usr/local/include and /usr/include, for
// imports beginning with '/'. `outputFolder` only appears in the log record.
//
// The request holds, for each file, its own nodes and those of its children,
// their dependencies (field, constant and annotation types, method parameter
// and result structs, superclasses, generic brand arguments, annotations), and
// the enclosing scopes of the dependencies, transitively, as the `capnp` tool
// compiles them; each node once, in the order of that walk.
//
// Failures (`nuvrel::Exception`): a directory that is not one, code notFound;
// a missing source file, notFound; the first compile error, badRequest with
// "file:line:col[-endcol]: error: message\n".
capnp::schema::CodeGeneratorRequest::Reader makeCodeGenRequest(
    const std::vector<std::string>& src, const std::string& srcPrefix,
    const std::string& outputFolder, const std::vector<std::string>& importPaths,
    capnp::MessageBuilder& message);

}  // namespace nuvrel::python::detail
