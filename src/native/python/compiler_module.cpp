// Submodule `compiler`: turns a `.capnp` file into a typed Python stub module.
// Everything runs on the calling thread; the interpreter lock is released
// while files are parsed and written.

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "compiler/schema_compiler.h"
#include "python/registrations.h"

namespace py = pybind11;

namespace nuvrel::python {

void addPythonBindingsForSchemaCompiler(py::module_& module) {
  auto compiler =
      module.def_submodule("compiler", "Compiler module to interact with the capnp compiler.");

  compiler.def(
      "compile",
      [](const std::vector<std::string>& src, const std::string& srcPrefix,
         const std::string& outputFolder, const std::vector<std::string>& importPaths) {
        py::gil_scoped_release released;
        generateSchemaFiles(src, srcPrefix, outputFolder, importPaths);
      },
      py::arg("src"), py::arg("src_prefix"), py::arg("output_folder"), py::arg("import_paths"),
      "Compile a .capnp file into a _schema.py file.\n\n"
      "This function can be used to generate _schema.py file starting\n"
      "from a .capnp file. It works like the 'capnp compile'\n"
      "command of CapnProto.\n\n"
      "Args:\n"
      "    src: a list of .capnp files to be compiled. At the moment,\n"
      "        only one file can be passed.\n"
      "    src_prefix: if a file specified for compilation starts with\n"
      "        <prefix>, remove the prefix for the purpose of deciding\n"
      "        the names of output files.\n"
      "    output_folder: the folder in which the _schema.py file will\n"
      "        be written.\n"
      "    import_paths: directories to add for the search of imports.\n");

  compiler.def("capnp_id", &capnpId,
               "Generates a new 64-bit unique ID for use in a Cap'n Proto schema.\n\n"
               "Returns:\n"
               "    A string containing a 64-bit unique ID in hexadecimal form.");
}

}  // namespace nuvrel::python
