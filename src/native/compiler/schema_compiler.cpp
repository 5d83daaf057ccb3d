#include "compiler/schema_compiler.h"

#include <capnp/message.h>
#include <sys/random.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <sstream>

#include "compiler/codegen_request.h"
#include "compiler/stub_generator.h"
#include "errors/throw_error.h"
#include "logging/log.h"

namespace nuvrel::python {
namespace {

std::string quotedText(const std::string& text) {
  std::ostringstream out;
  out << std::quoted(text);
  return out.str();
}

}  // namespace

namespace detail {

std::string outputPathFor(const std::string& outputFolder, const std::string& filename) {
  static const std::string suffix = ".capnp";
  std::string name = filename;
  if (name.ends_with(suffix)) {
    name.resize(name.size() - suffix.size());
  }
  name += "_schema.py";
  return (std::filesystem::path(outputFolder) / name).string();
}

std::string generateSchemaFiles(const std::string& outputFolder,
                                capnp::schema::CodeGeneratorRequest::Reader request) {
  auto files = request.getRequestedFiles();
  if (files.size() > 1) {
    throwError(PythonCapnpErrc::unimplemented,
               "At the moment, only one file at the time can be converted. {} were provided.",
               files.size());
  }
  if (files.size() == 0) {
    throwError(PythonCapnpErrc::valueError, "The code generation request names no file.");
  }
  std::string filename = files[0].getFilename().cStr();
  logging::logf(logging::Severity::status, "Requested file path: {}", quotedText(filename));

  auto text = generatePythonModule(request);

  auto path = outputPathFor(outputFolder, filename);
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
  std::ofstream out(path, std::ios::out | std::ios::trunc | std::ios::binary);
  if (!out) {
    throwError(PythonCapnpErrc::notFound, "Failed to open output file: {}", path);
  }
  out << text;
  out.close();
  if (!out) {
    throwError(PythonCapnpErrc::notFound, "Failed to write output file: {}", path);
  }
  logging::logf(logging::Severity::status, "Output file: {}", quotedText(path));
  return path;
}

}  // namespace detail

void generateSchemaFiles(const std::vector<std::string>& src, const std::string& srcPrefix,
                         const std::string& outputFolder,
                         const std::vector<std::string>& importPaths) {
  if (src.empty()) {
    throwError(PythonCapnpErrc::valueError,
               "src: at least one .capnp file must be given to compile.");
  }
  capnp::MallocMessageBuilder message(1024);
  auto request = detail::makeCodeGenRequest(src, srcPrefix, outputFolder, importPaths, message);
  detail::generateSchemaFiles(outputFolder, request);
}

std::string capnpId() {
  uint64_t id = 0;
  auto* bytes = reinterpret_cast<unsigned char*>(&id);
  std::size_t filled = 0;
  while (filled < sizeof(id)) {
    auto n = getrandom(bytes + filled, sizeof(id) - filled, 0);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      throwError(PythonCapnpErrc::runtimeError, "Failed to draw random bytes: {}",
                 std::strerror(errno));
    }
    filled += static_cast<std::size_t>(n);
  }
  id |= uint64_t(1) << 63;
  return fmt::format("@0x{:016x}", id);
}

}  // namespace nuvrel::python
