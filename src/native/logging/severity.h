// Severities of log records, from the most verbose to the most severe, and
// the sinks whose thresholds can be set separately.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string_view>

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

inline constexpr int kSeverityCount = 7;

// The name of the severity ("trace" ... "fatal"); empty for values outside
// the scale.
std::string_view toString(Severity severity) noexcept;

// True for 0 to 6.
bool isValidLogSeverity(int value) noexcept;

// Calls `function(value, name)` for the seven severities in scale order.
void forEachSeverity(const std::function<void(Severity, std::string_view)>& function);

// Reads a severity: a single character is a decimal number 0..6, anything
// longer one of the seven names in lower case. Throws std::out_of_range with
// "Severity number is out of the valid range." or "Unknown severity name.".
Severity parseSeverity(std::string_view text);

// Writes the name.
std::ostream& operator<<(std::ostream& stream, Severity severity);
// Reads one word as parseSeverity does; sets the fail bit on error and leaves
// the target unchanged.
std::istream& operator>>(std::istream& stream, Severity& severity);

// The sinks with a threshold of their own; `all` addresses every one.
enum class LogSink : std::int32_t {
  all = 0,
  console = 1,
  file = 2,
  syslog = 3,
};

// "all", "console", "file", "syslog"; empty for other values.
std::string_view toString(LogSink sink) noexcept;

template <typename T>
struct FromStringConverter;

template <>
struct FromStringConverter<Severity> {
  // As parseSeverity; throws std::out_of_range.
  static Severity convert(std::string_view text) { return parseSeverity(text); }
  // No value instead of an exception.
  static std::optional<Severity> fromString(std::string_view text) noexcept;
};

template <>
struct FromStringConverter<LogSink> {
  // Accepts exactly "all", "console", "file" and "syslog"; throws
  // std::out_of_range "Unknown log sink name." otherwise.
  static LogSink convert(std::string_view text);
  static std::optional<LogSink> fromString(std::string_view text) noexcept;
};

}  // namespace nuvrel::logging
