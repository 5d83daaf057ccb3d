#include "logging/severity.h"

#include <array>
#include <istream>
#include <ostream>
#include <stdexcept>
#include <string>

namespace nuvrel::logging {
namespace {

constexpr std::array<std::string_view, kSeverityCount> kSeverityNames = {
    "trace", "debug", "info", "status", "warning", "error", "fatal",
};

constexpr std::array<std::string_view, 4> kSinkNames = {"all", "console", "file", "syslog"};

}  // namespace

std::string_view toString(Severity severity) noexcept {
  const auto value = static_cast<std::int32_t>(severity);
  if (value < 0 || value >= kSeverityCount) {
    return {};
  }
  return kSeverityNames[static_cast<std::size_t>(value)];
}

bool isValidLogSeverity(int value) noexcept { return value >= 0 && value < kSeverityCount; }

void forEachSeverity(const std::function<void(Severity, std::string_view)>& function) {
  for (int value = 0; value < kSeverityCount; ++value) {
    function(static_cast<Severity>(value), kSeverityNames[static_cast<std::size_t>(value)]);
  }
}

Severity parseSeverity(std::string_view text) {
  if (text.size() == 1) {
    const char digit = text.front();
    if (digit < '0' || digit > '9') {
      // One character that is no number cannot be a name either.
      throw std::out_of_range("Unknown severity name.");
    }
    const int value = digit - '0';
    if (!isValidLogSeverity(value)) {
      throw std::out_of_range("Severity number is out of the valid range.");
    }
    return static_cast<Severity>(value);
  }
  for (std::size_t i = 0; i < kSeverityNames.size(); ++i) {
    if (kSeverityNames[i] == text) {
      return static_cast<Severity>(i);
    }
  }
  throw std::out_of_range("Unknown severity name.");
}

std::ostream& operator<<(std::ostream& stream, Severity severity) {
  return stream << toString(severity);
}

std::istream& operator>>(std::istream& stream, Severity& severity) {
  std::string word;
  if (!(stream >> word)) {
    return stream;
  }
  if (auto parsed = FromStringConverter<Severity>::fromString(word)) {
    severity = *parsed;
  } else {
    stream.setstate(std::ios_base::failbit);
  }
  return stream;
}

std::string_view toString(LogSink sink) noexcept {
  const auto value = static_cast<std::int32_t>(sink);
  if (value < 0 || value >= static_cast<std::int32_t>(kSinkNames.size())) {
    return {};
  }
  return kSinkNames[static_cast<std::size_t>(value)];
}

std::optional<Severity> FromStringConverter<Severity>::fromString(std::string_view text) noexcept {
  try {
    return parseSeverity(text);
  } catch (...) {
    return std::nullopt;
  }
}

LogSink FromStringConverter<LogSink>::convert(std::string_view text) {
  if (auto sink = fromString(text)) {
    return *sink;
  }
  throw std::out_of_range("Unknown log sink name.");
}

std::optional<LogSink> FromStringConverter<LogSink>::fromString(std::string_view text) noexcept {
  for (std::size_t i = 0; i < kSinkNames.size(); ++i) {
    if (kSinkNames[i] == text) {
      return static_cast<LogSink>(i);
    }
  }
  return std::nullopt;
}

}  // namespace nuvrel::logging
