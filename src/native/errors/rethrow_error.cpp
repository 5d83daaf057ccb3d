#include "errors/rethrow_error.h"

#include <kj/exception.h>

#include <optional>
#include <string>

#include "errors/throw_error.h"

namespace nuvrel {

void rethrowError(capnp::DynamicStruct::Reader error) {
  std::optional<PythonCapnpErrc> code;
  std::string message;
  try {
    code = static_cast<PythonCapnpErrc>(error.get("kind").as<capnp::DynamicEnum>().getRaw());
    message = error.get("message").as<capnp::Text>().cStr();
  } catch (const kj::Exception& e) {
    throwError(PythonCapnpErrc::runtimeError, "Unable to parse server error ({})",
               std::string(e.getDescription().cStr()));
  }
  throwError(*code, "{}", message);
}

}  // namespace nuvrel
