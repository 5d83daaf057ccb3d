#include "python/python_context.h"

#include <fmt/format.h>

#include <chrono>
#include <future>
#include <utility>

#include "errors/exception.h"
#include "errors/python_errc.h"
#include "errors/throw_error.h"
#include "logging/log.h"
#include "python/asyncio/gil_scoped_release_if_held.h"
#include "python/dynamic_server.h"
#include "python/dynamic_value_wrapper.h"
#include "python/internal_context.h"

namespace py = pybind11;

namespace nuvrel::python {

namespace {

constexpr std::chrono::milliseconds kExitWait{2000};

}  // namespace

CapnpContext::CapnpContext()
    : factory_(PythonObjectsFactory::make()),
      thread_(makeInternalContext<CapnpThreadInternalContext>()) {}

CapnpContext::~CapnpContext() {
  doTryAndLog([this] { close(); }, "CapnpContext dtor");
}

AsyncioEventLoop CapnpContext::createEventLoop() { return AsyncioEventLoop(factory_); }

PyHandle CapnpContext::wrapPythonObject(py::object object) {
  return factory_->create([&]() { return object; });
}

PythonCallback CapnpContext::makeCallback(py::object callback) {
  return PythonCallback(std::make_shared<PyHandle>(wrapPythonObject(std::move(callback))),
                        createEventLoop(), weak_from_this());
}

void CapnpContext::tryPushWork(Work&& work) {
  if (!closedMessage_ && thread_.pushWork(std::move(work))) {
    return;
  }
  markThreadAsExited();
  throwError(PythonCapnpErrc::unavailable, "{}", *closedMessage_);
}

void CapnpContext::markThreadAsExited() {
  if (closedMessage_) {
    return;
  }
  std::optional<CapnpWorkerThread::ExitReason> reason;
  {
    GilScopedReleaseIfHeld release;
    reason = thread_.waitExit(kExitWait);
  }
  if (!reason) {
    closedMessage_ = "CapnpContext is already closed and detached. No further requests can be made.";
  } else if (reason->kind == CapnpWorkerThread::ExitReason::Kind::Crashed) {
    closedMessage_ = fmt::format(
        "Operation cannot be completed. The CapnpContext has crashed due to an unexpected error in "
        "the background thread: {}",
        reason->message);
  } else {
    closedMessage_ = "CapnpContext is already closed. No further requests can be made.";
  }
}

void CapnpContext::close() {
  if (closedMessage_) {
    return;
  }
  thread_.close();
  markThreadAsExited();
}

AsyncioAwaitable<std::unique_ptr<DynamicClientWrapper>> CapnpContext::connect(
    AsyncioEventLoop loop, [[maybe_unused]] std::string name, ConnectFunction connectFunction,
    std::optional<std::shared_ptr<InterfaceSchemaWrapper>> schema) {
  // Kept until the coroutine ends: its continuation may run after the last
  // Python reference to the context is gone.
  auto self = shared_from_this();
  auto [awaitable, fulfiller] = makeAwaitable<ClientInformation>(loop, "connectInternal");
  tryPushWork(Work(
      [function = std::move(connectFunction), schema = std::move(schema),
       fulfiller = std::move(fulfiller)](CapnpThreadInternalContext& context) mutable {
        context.connect(std::move(function), std::move(schema), std::move(fulfiller));
      },
      "connect"));
  NUVREL_LOG(status) << "waiting for client connection";
  ClientInformation information = co_await std::move(awaitable);
  NUVREL_LOG(status) << "connection established with id " << information.id.value();
  co_return std::make_unique<DynamicClientWrapper>(self, std::move(information));
}

AsyncioAwaitable<std::unique_ptr<DynamicServerWrapper>> CapnpContext::listen(
    AsyncioEventLoop loop, [[maybe_unused]] std::string name, std::string host, unsigned short port,
    PythonCallback callback, std::shared_ptr<InterfaceSchemaWrapper> schema) {
  auto self = shared_from_this();
  auto [awaitable, fulfiller] = makeAwaitable<ServerInformation>(loop, "listenInternal");
  tryPushWork(Work(
      [host = std::move(host), port, callback = std::move(callback), schema = std::move(schema),
       fulfiller = std::move(fulfiller)](CapnpThreadInternalContext& context) mutable {
        context.listen(std::move(host), port, std::move(callback), std::move(schema),
                       std::move(fulfiller));
      },
      "listen"));
  ServerInformation information = co_await std::move(awaitable);
  co_return std::make_unique<DynamicServerWrapper>(self, information);
}

AsyncioAwaitable<std::unique_ptr<DynamicServerWrapper>> CapnpContext::serveSingleStream(
    AsyncioEventLoop loop, [[maybe_unused]] std::string name, kj::Own<kj::AsyncIoStream> stream,
    PythonCallback callback, std::shared_ptr<InterfaceSchemaWrapper> schema) {
  auto self = shared_from_this();
  auto [awaitable, fulfiller] = makeAwaitable<ServerInformation>(loop, "listenPipeInternal");
  // The stream is a KJ object: it travels in a holder the lambda can copy
  // around as a move-only function.
  auto holder = std::make_shared<kj::Own<kj::AsyncIoStream>>(kj::mv(stream));
  tryPushWork(Work(
      [holder, callback = std::move(callback), schema = std::move(schema),
       fulfiller = std::move(fulfiller)](CapnpThreadInternalContext& context) mutable {
        std::move(context.serveSingleStream(kj::mv(*holder), std::move(callback), std::move(schema)))
            .visit([&](ServerInformation&& information) { fulfiller.fulfill(information); },
                   [&](const boost::system::error_code& code, const std::string& message) {
                     fulfiller.reject(std::make_exception_ptr(Exception(code, message)));
                   });
      },
      "listen"));
  ServerInformation information = co_await std::move(awaitable);
  co_return std::make_unique<DynamicServerWrapper>(self, information);
}

AsyncioAwaitable<py::object> CapnpContext::createPipe(
    AsyncioEventLoop loop, [[maybe_unused]] std::string name, PythonCallback callback,
    std::shared_ptr<InterfaceSchemaWrapper> schema) {
  auto self = shared_from_this();
  auto pipe = PipeConnectionProvider::create();
  std::unique_ptr<DynamicServerWrapper> server =
      co_await serveSingleStream(loop, "pipeServer", kj::mv(pipe.first), callback, schema);
  std::unique_ptr<DynamicClientWrapper> client = co_await connect(
      loop, "pipeClient", ConnectFunction(std::move(pipe.second)), schema);
  co_return py::make_tuple(py::cast(std::move(server)), py::cast(std::move(client)));
}

AsyncioAwaitable<py::object> CapnpContext::send(AsyncioEventLoop loop, [[maybe_unused]] std::string name,
                                                ClientId id, std::string methodName,
                                                py::kwargs arguments) {
  auto [awaitable, fulfiller] = makeAwaitable<ResponsePtr>(loop, "sendInternal");
  auto handle = wrapPythonObject(std::move(arguments));
  tryPushWork(Work(
      [id, methodName, handle = std::move(handle),
       fulfiller = std::move(fulfiller)](CapnpThreadInternalContext& context) mutable {
        context.send(id, methodName, std::move(handle), std::move(fulfiller));
      },
      methodName));
  ResponsePtr response = co_await std::move(awaitable);
  auto self = shared_from_this();
  co_return DynamicStructWrapper::createRoot(std::move(response),
                                             std::weak_ptr<CapabilityClientRegistry>(self));
}

py::object CapnpContext::registerCapabilityClient(
    capnp::DynamicValue::Reader capability,
    std::shared_ptr<EasyMessage<capnp::DynamicStruct>> message) {
  if (CapnpThreadInternalContext::current() != nullptr) {
    // Waiting here for a worker would wait for this very thread.
    throwError(PythonCapnpErrc::runtimeError,
               "A capability cannot be read on the background thread; read it in the "
               "coroutine of the callback.");
  }
  auto promise = std::make_shared<std::promise<ClientInformation>>();
  auto future = promise->get_future();
  tryPushWork(Work(
      [capability, message = std::move(message), promise](CapnpThreadInternalContext& context) mutable {
        std::move(context.registerCapabilityClient(capability, std::move(message)))
            .visit([&](ClientInformation&& information) { promise->set_value(std::move(information)); },
                   [&](const boost::system::error_code& code, const std::string& text) {
                     promise->set_exception(std::make_exception_ptr(Exception(code, text)));
                   });
      },
      "registerCapabilityClient"));
  {
    GilScopedReleaseIfHeld release;
    future.wait();
  }
  auto information = future.get();
  return py::cast(std::make_unique<DynamicClientWrapper>(shared_from_this(), std::move(information)));
}

void CapnpContext::destroyRootOnWorkerThread(
    std::shared_ptr<EasyMessage<capnp::DynamicStruct>> message) noexcept {
  if (!message) {
    return;
  }
  try {
    // Released when the item is destroyed after it ran, on the worker.
    tryPushWork(Work([message = std::move(message)](CapnpThreadInternalContext&) {},
                     "destroy message root"));
  } catch (...) {
    logging::logException(logging::Severity::debug, std::current_exception(),
                          "destroyRootOnWorkerThread");
  }
}

void CapnpContext::unregister(ServerId id) noexcept {
  try {
    tryPushWork(Work([id](CapnpThreadInternalContext& context) { context.unregister(id); },
                     "unregister"));
  } catch (const Exception& exception) {
    logging::logf(logging::Severity::warning,
                  "Attempted to close server but encountered error {}", exception.what());
  } catch (...) {
    logging::logException(logging::Severity::warning, std::current_exception(), "unregister");
  }
}

void CapnpContext::unregister(ClientId id) noexcept {
  try {
    tryPushWork(Work([id](CapnpThreadInternalContext& context) { context.unregister(id); },
                     "unregister"));
  } catch (const Exception& exception) {
    logging::logf(logging::Severity::warning,
                  "Attempted to close client but encountered error {}", exception.what());
  } catch (...) {
    logging::logException(logging::Severity::warning, std::current_exception(), "unregister");
  }
}

DynamicClientWrapper::DynamicClientWrapper(std::shared_ptr<CapnpContext> context,
                                           ClientInformation information)
    : context_(std::move(context)), information_(std::move(information)) {}

DynamicClientWrapper::~DynamicClientWrapper() {
  doTryAndLog([this] { close(); }, "DynamicClientWrapper dtor");
}

void DynamicClientWrapper::close() {
  if (!closed_ && context_) {
    closed_ = true;
    context_->unregister(information_.id);
  }
}

py::object DynamicClientWrapper::getAttribute(const std::string& name) const {
  if (information_.methods.count(name) == 0) {
    throw py::attribute_error(fmt::format("No interface method {} found.", name));
  }
  return py::cpp_function(
      [context = context_, id = information_.id, method = name](py::kwargs kwargs) {
        auto loop = context->createEventLoop();
        return context->send(loop, method, id, method, std::move(kwargs)).forwardToFuture();
      },
      py::name(name.c_str()));
}

}  // namespace nuvrel::python
