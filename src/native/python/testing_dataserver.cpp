// Test-only driver of the data-server connection, so that the Python tests
// can run the native opening against the Python stand-in of a data server
// before the context class offers connect_orvane. Not part of the public API.
#include <pybind11/pybind11.h>

#include <chrono>
#include <exception>
#include <string>
#include <thread>

#include "kj/rpc_client.h"
#include "kj/thread_local_executor.h"
#include "protocol/destination_params.h"
#include "python/registrations.h"
#include "runtime/orvane_connection_provider.h"

namespace py = pybind11;

namespace nuvrel::python {
namespace {

// Runs the provider on a thread of its own (with its own event loop, as the
// worker would), then asks the kernel for its bootstrap capability over the
// upgraded stream and waits for the answer. Returns "resolved" or the
// description of the failed answer; a failure of the provider is thrown.
std::string probe(const std::string& host, std::uint16_t port, const DestinationParams& destination,
                  int timeoutMs) {
  std::string outcome;
  std::exception_ptr error;
  {
    py::gil_scoped_release release;
    // The provider bounds the connection, the answer is bounded below: the
    // join cannot wait for ever.
    std::thread runner([&]() {
      try {
        kj_asio::ThreadLocalExecutor<> executor;
        auto& io = executor.ioProvider();
        OrvaneConnectionProvider provider(host, port, destination,
                                          std::chrono::milliseconds(timeoutMs));
        auto stream = provider(io.network(), io.timer()).wait(executor.waitScope()).unwrap();
        kj_asio::RpcClient client(kj::mv(stream), capnp::ReaderOptions());
        auto answered = io.timer().timeoutAfter(
            static_cast<std::int64_t>(timeoutMs) * kj::MILLISECONDS,
            client.getMain().whenResolved());
        outcome = answered.then([]() { return std::string("resolved"); },
                                [](kj::Exception&& e) { return std::string(e.getDescription().cStr()); })
                      .wait(executor.waitScope());
      } catch (...) {
        error = std::current_exception();
      }
    });
    runner.join();
  }
  if (error) {
    std::rethrow_exception(error);
  }
  return outcome;
}

}  // namespace

void addTestingBindingsDataServer(py::module_& testing) {
  testing.def("orvane_probe", &probe, py::arg("host"), py::arg("port"), py::arg("destination"),
              py::arg("timeout_ms"));
}

}  // namespace nuvrel::python
