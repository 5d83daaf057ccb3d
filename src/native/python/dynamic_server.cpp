#include "python/dynamic_server.h"

#include <kj/exception.h>

#include <utility>

#include "errors/exception_utils.h"
#include "logging/log.h"
#include "python/python_context.h"

namespace nuvrel::python {

namespace {

constexpr std::uint64_t kReflectionInterfaceId = 0xf9a52e68104bc776ull;

}  // namespace

DynamicServer::DynamicServer(std::shared_ptr<InterfaceSchemaWrapper> schema,
                             PythonCallback callback)
    : capnp::DynamicCapability::Server(schema->getInterface()),
      wrapper_(std::move(schema)),
      keepAlive_(wrapper_->getImpl()),
      callback_(std::move(callback)) {}

DynamicServer::DynamicServer(capnp::InterfaceSchema schema, PythonCallback callback,
                             std::shared_ptr<const void> keepAlive)
    : capnp::DynamicCapability::Server(schema),
      keepAlive_(std::move(keepAlive)),
      callback_(std::move(callback)) {}

kj::Promise<void> DynamicServer::call(
    capnp::InterfaceSchema::Method method,
    capnp::CallContext<capnp::DynamicStruct, capnp::DynamicStruct> context) {
  const auto interfaceId = method.getContainingInterface().getProto().getId();
  const auto methodIndex = method.getIndex();
  try {
    if (wrapper_ && interfaceId == kReflectionInterfaceId && methodIndex == 0) {
      NUVREL_LOG(status) << "Automatically responding to getTheSchema request with loaded schema";
      auto results = context.getResults();
      CapnpTrait<InterfaceSchemaWrapper, capnp::DynamicStruct>::toCapnp(
          *wrapper_, results.init("theSchema").as<capnp::DynamicStruct>());
      return kj::READY_NOW;
    }
    auto parameters = EasyMessage<capnp::DynamicStruct>::fromReader(context.getParams(), keepAlive_);
    context.releaseParams();
    const auto resultType = context.getResultsType();
    return callback_
        .submit(interfaceId, methodIndex, std::move(parameters), resultType, keepAlive_)
        .then(
            [context, resultType](CallResults&& results) mutable {
              context.setResults(results->getRoot<capnp::DynamicStruct>(resultType).asReader());
            },
            [](kj::Exception&& exception) -> void {
              logging::logf(logging::Severity::status, "Error in PythonCallback: {}",
                            exception.getDescription().cStr());
              kj::throwFatalException(kj::mv(exception));
            });
  } catch (const kj::Exception& exception) {
    logging::logf(logging::Severity::status, "Error in PythonCallback: {}",
                  exception.getDescription().cStr());
    return kj::Promise<void>(kj::cp(exception));
  } catch (...) {
    logging::logException(logging::Severity::error, std::current_exception(),
                 "Unkown Error in PythonCallback. Shutting down server.");
    return kj::Promise<void>(kj::Exception(kj::Exception::Type::DISCONNECTED, __FILE__, __LINE__,
                                           kj::heapString("Unknown error")));
  }
}

DynamicServerWrapper::DynamicServerWrapper(std::shared_ptr<CapnpContext> context,
                                           ServerInformation information)
    : context_(std::move(context)), information_(information) {}

DynamicServerWrapper::~DynamicServerWrapper() {
  doTryAndLog([this] { close(); }, "DynamicServerWrapper dtor");
}

void DynamicServerWrapper::close() {
  if (!closed_ && context_) {
    closed_ = true;
    context_->unregister(information_.id);
  }
}

}  // namespace nuvrel::python
