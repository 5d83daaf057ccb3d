// `LogSeverity` and `init_logs`: the Python face of the logging layer.
#include <pybind11/pybind11.h>

#include "logging/levels.h"
#include "logging/logger.h"
#include "logging/severity.h"
#include "python/registrations.h"

namespace py = pybind11;

namespace nuvrel::python {

void registerLogSeverity(py::module_& module) {
  using logging::Severity;
  py::enum_<Severity>(module, "LogSeverity")
      .value("TRACE", Severity::trace)
      .value("DEBUG", Severity::debug)
      .value("INFO", Severity::info)
      .value("STATUS", Severity::status)
      .value("WARNING", Severity::warning)
      .value("ERROR", Severity::error)
      .export_values();
}

void registerInitLogs(py::module_& module) {
  // The docstring is the whole documentation of the function.
  py::options options;
  options.disable_function_signatures();
  module.def(
      "init_logs",
      [](logging::Severity severity) {
        logging::initLogs("CapnpBindings");
        logging::setLogLevel(severity, logging::LogSink::all);
      },
      py::arg("severity") = logging::Severity::info,
      "Initialize the logging system.\n"
      "\n"
      "Currently, the default Orvane logging system is used. The log messages\n"
      "will be logged to the console and the log file (CapnpBindings).\n"
      "\n"
      "Args:\n"
      "    severity: The log level to set. (default = INFO)");
}

}  // namespace nuvrel::python
