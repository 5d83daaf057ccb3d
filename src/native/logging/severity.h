// Severities of log records, from the most verbose to the most severe.
#pragma once

#include <cstdint>

namespace nuvrel::logging {

enum class Severity : std::int32_t {
  trace = 0,
  debug = 1,
  info = 2,
  status = 3,
  warning = 4,
  error = 5,
  fatal = 6,
};

}  // namespace nuvrel::logging
