// The choice of layout for one sink. The all-zero value (classic layout,
// local time, space between date and time, no colour) is the default.
#pragma once

#include <cstdint>

namespace nuvrel::logging {

struct LogFormatConfig {
  enum class TimeZone : std::int32_t {
    local = 0,  // converted from UTC to local time
    utc = 1,    // UTC, with a trailing "Z"
    // any other value: UTC without "Z"
  };
  enum class TimeFormat : std::int32_t {
    standard = 0,  // "%Y-%m-%d %H:%M:%S.%f"
    iso8601 = 1,   // "%Y-%m-%dT%H:%M:%S.%f" (also any other value)
  };

  bool colored = false;
  TimeZone timeZone = TimeZone::local;
  TimeFormat timeFormat = TimeFormat::standard;
  bool logfmt = false;
};

}  // namespace nuvrel::logging
