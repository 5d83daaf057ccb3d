#include "python/python_callback.h"

#include <kj/exception.h>

#include <string>
#include <utility>

#include "errors/exception.h"
#include "errors/exception_utils.h"
#include "logging/log.h"
#include "python/asyncio/interpreter_state.h"
#include "python/dynamic_input.h"
#include "python/dynamic_value_wrapper.h"

namespace py = pybind11;

namespace nuvrel::kj_asio {

kj::Exception toKjException(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const kj::Exception& exception) {
    return exception;
  } catch (const Exception& exception) {
    return kj::Exception(kj::Exception::Type::FAILED, __FILE__, __LINE__,
                         kj::heapString(diagnosticInfo(exception)));
  } catch (const std::exception& exception) {
    return kj::Exception(kj::Exception::Type::FAILED, __FILE__, __LINE__,
                         kj::heapString(exception.what()));
  } catch (...) {
    return kj::Exception(kj::Exception::Type::FAILED, __FILE__, __LINE__,
                         kj::heapString(currentExceptionDiagnosticInfo()));
  }
}

}  // namespace nuvrel::kj_asio

namespace nuvrel::python {

namespace {

kj::Exception::Type exceptionType(FulfillerWrapper::RejectReason reason) {
  switch (reason) {
    case FulfillerWrapper::RejectReason::OVERLOADED:
      return kj::Exception::Type::OVERLOADED;
    case FulfillerWrapper::RejectReason::DISCONNECTED:
      return kj::Exception::Type::DISCONNECTED;
    case FulfillerWrapper::RejectReason::UNIMPLEMENTED:
      return kj::Exception::Type::UNIMPLEMENTED;
    case FulfillerWrapper::RejectReason::FAILED:
    default:
      return kj::Exception::Type::FAILED;
  }
}

}  // namespace

FulfillerWrapper::FulfillerWrapper(kj_asio::KjFulfiller<CallResults> fulfiller,
                                   capnp::StructSchema resultType,
                                   std::shared_ptr<const void> keepAlive)
    : fulfiller_(kj::mv(fulfiller)), resultType_(resultType), keepAlive_(std::move(keepAlive)) {}

void FulfillerWrapper::fulfill(py::handle data, const py::kwargs& kwargs) {
  logging::logf(logging::Severity::debug, "Fulfilling promise");
  if (fulfiller_.used()) {
    return;
  }
  py::dict values = data.is_none() ? py::dict(kwargs) : py::dict(py::reinterpret_borrow<py::object>(data));
  auto message = kj::heap<capnp::MallocMessageBuilder>();
  CapnpTrait<py::dict, capnp::DynamicStruct>::toCapnp(
      values, message->initRoot<capnp::DynamicStruct>(resultType_));
  fulfiller_.fulfill(kj::mv(message));
}

void FulfillerWrapper::reject(int reason, const std::string& message) {
  if (reason < 0 || reason > 3) {
    logging::logf(logging::Severity::debug, "Unknown FulfillerWrapper::RejectReason with code {}.",
                  reason);
    reason = 0;
  }
  fulfiller_.reject(kj::Exception(exceptionType(static_cast<RejectReason>(reason)), __FILE__,
                                  __LINE__, kj::heapString(message)));
}

PythonCallback::PythonCallback(std::shared_ptr<PyHandle> function, AsyncioEventLoop loop,
                               std::weak_ptr<CapabilityClientRegistry> registry)
    : function_(std::move(function)), loop_(std::move(loop)), registry_(std::move(registry)) {}

kj::Promise<CallResults> PythonCallback::submit(
    std::uint64_t interfaceId, std::uint16_t methodIndex,
    std::shared_ptr<EasyMessage<capnp::DynamicStruct>> parameters, capnp::StructSchema resultType,
    std::shared_ptr<const void> keepAlive) const {
  auto paf = kj_asio::makePromiseAndFulfiller<CallResults>();
  FulfillerWrapper wrapper(kj::mv(paf.fulfiller), resultType, std::move(keepAlive));
  if (isInterpreterFinalizing()) {
    // Dropped unused: the request fails instead of waiting for a loop that
    // will never run it.
    return kj::mv(paf.promise);
  }
  py::gil_scoped_acquire gil;
  py::object function = function_->borrow();
  py::object input = DynamicStructWrapper::createRoot(std::move(parameters), registry_);
  py::object fulfiller = py::cast(std::move(wrapper));
  try {
    py::object coroutine = function(interfaceId, methodIndex, input, fulfiller);
    loop_.runCoroutineThreadsafe(coroutine);
  } catch (py::error_already_set& error) {
    std::string text = error.what();
    logging::logf(logging::Severity::error, "Unable to invoke server callback: {}", text);
    fulfiller.cast<FulfillerWrapper&>().reject(
        static_cast<int>(FulfillerWrapper::RejectReason::UNIMPLEMENTED), text);
  }
  return kj::mv(paf.promise);
}

}  // namespace nuvrel::python
