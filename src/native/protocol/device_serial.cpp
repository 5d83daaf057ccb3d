#include "protocol/device_serial.h"

#include <boost/algorithm/string/predicate.hpp>
#include <boost/lexical_cast.hpp>

#include <algorithm>
#include <istream>
#include <ostream>
#include <regex>

#include "errors/throw_error.h"

namespace nuvrel {

namespace {

constexpr std::string_view kPrefix = "DEV";

// A path segment: anything between "/" and "\" separators.
const std::regex& pathSegmentPattern() {
  static const std::regex pattern(R"([^\\/]+)");
  return pattern;
}

std::uint32_t parseDigits(const std::string& text) {
  if (text.empty()) throwError(KS_ERROR_GENERAL, "Empty device serial supplied.");
  if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    throwError(KS_ERROR_GENERAL, "Invalid device serial supplied ('{}').", text);
  }
  return boost::lexical_cast<std::uint32_t>(text);
}

std::uint32_t parseSerial(const std::string& text) {
  if (!boost::algorithm::istarts_with(text, kPrefix)) return parseDigits(text);
  try {
    return parseDigits(text.substr(kPrefix.size()));
  } catch (...) {
    throwError(KS_ERROR_GENERAL, "Invalid device serial supplied ('{}').", text);
  }
}

}  // namespace

DeviceSerial::DeviceSerial(const std::string& text) : number_(parseSerial(text)) {}

DeviceSerial DeviceSerial::fromPath(std::string_view path) {
  std::match_results<std::string_view::const_iterator> segment;
  if (!std::regex_search(path.begin(), path.end(), segment, pathSegmentPattern())) {
    throwError(KS_ERROR_GENERAL, "Can't extract device serial from path {}", path);
  }
  return DeviceSerial(segment.str());
}

const std::string& DeviceSerial::toString() const {
  if (!text_) text_ = std::string(kPrefix) + std::to_string(number_);
  return *text_;
}

std::string DeviceSerial::toStringLowerCase() const { return "dev" + std::to_string(number_); }

void DeviceSerial::print(std::ostream& out) const { out << toString(); }

void DeviceSerial::swap(DeviceSerial& other) noexcept {
  std::swap(number_, other.number_);
  text_.swap(other.text_);
}

std::string toString(const DeviceSerial& serial) { return serial.toString(); }

std::ostream& operator<<(std::ostream& out, const DeviceSerial& serial) {
  serial.print(out);
  return out;
}

std::istream& operator>>(std::istream& in, DeviceSerial& serial) {
  std::string word;
  if (in >> word) serial = DeviceSerial(word);
  return in;
}

}  // namespace nuvrel
