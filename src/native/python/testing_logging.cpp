// Test-only access to the logging layer, so that Python tests can keep log
// files in a temporary directory and restore the process-wide state.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "logging/levels.h"
#include "logging/log.h"
#include "logging/logger.h"
#include "python/registrations.h"

namespace py = pybind11;

namespace nuvrel::python {

void addTestingBindingsLogging(py::module_& testing) {
  using namespace nuvrel::logging;
  testing.def("set_log_path_application", &setLogPathApplication, py::arg("path"));
  testing.def("get_log_path_application", &getLogPathApplication);
  testing.def("close_logs", &closeLogs);
  testing.def("is_logging_enabled", &isLoggingEnabled);
  testing.def(
      "log", [](Severity severity, const std::string& message) { log(severity, message); },
      py::arg("severity"), py::arg("message"));
  testing.def("get_log_statistics_json", &getLogStatisticsJson);
  testing.def("get_log_history", &getLogHistory, py::arg("max_bytes"));
  testing.def(
      "get_log_level",
      [](const std::string& sink) {
        return sink.empty() ? getLogLevel() : getLogLevel(FromStringConverter<LogSink>::convert(sink));
      },
      py::arg("sink") = std::string());
}

}  // namespace nuvrel::python
