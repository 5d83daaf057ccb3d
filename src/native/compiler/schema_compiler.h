// The compile driver behind the `compiler` submodule: one `.capnp` file in,
// one "<name>_schema.py" module out. Runs synchronously on the caller's
// thread.
#pragma once

#include <capnp/schema.capnp.h>

#include <string>
#include <vector>

namespace nuvrel::python {

// Parses `src` (exactly one file is supported) and writes its stub module
// under `outputFolder`; see `detail::makeCodeGenRequest` for the other
// arguments. Failures are `nuvrel::Exception`s with a `PythonCapnpErrc`:
// valueError for an empty `src`, notFound, badRequest (compile errors) or
// unimplemented (more than one file). Nothing is written on failure.
void generateSchemaFiles(const std::vector<std::string>& src, const std::string& srcPrefix,
                         const std::string& outputFolder,
                         const std::vector<std::string>& importPaths);

// "@0x" and 16 lower-case hexadecimal digits: 64 random bits from the
// operating system with the top bit set, as schema ids require.
std::string capnpId();

namespace detail {

// The output path of a requested file: its name with a trailing ".capnp"
// replaced by "_schema.py" (appended when the name has no such suffix, so
// that the source is never overwritten), under `outputFolder`.
std::string outputPathFor(const std::string& outputFolder, const std::string& filename);

// Writes the module of the request's only file; returns the path written.
std::string generateSchemaFiles(const std::string& outputFolder,
                                capnp::schema::CodeGeneratorRequest::Reader request);

}  // namespace detail
}  // namespace nuvrel::python
