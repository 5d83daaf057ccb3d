// Serial numbers of devices, written "DEV" followed by the number
// ("DEV8123"), and their extraction from node paths ("/dev8123/demods/0").
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace nuvrel {

class DeviceSerial {
 public:
  explicit DeviceSerial(std::uint32_t number) noexcept : number_(number) {}

  // "DEV8123" in any letter case, or the digits alone ("8123"). Throws an
  // Exception "Empty device serial supplied." for the empty text and
  // "Invalid device serial supplied ('<text>')." for anything but ASCII
  // digits after the optional prefix (an empty rest after "DEV" included).
  // Digits that do not fit 32 bits throw boost::bad_lexical_cast.
  explicit DeviceSerial(const std::string& text);

  // The serial of the first segment of a path separated by "/" or "\";
  // throws "Can't extract device serial from path <path>" when the path has
  // no segment, and the constructor's errors for a bad segment.
  static DeviceSerial fromPath(std::string_view path);

  std::uint32_t number() const noexcept { return number_; }

  // "DEV8123". The text is cached on first use, so concurrent first calls on
  // one object are not safe.
  const std::string& toString() const;
  // "dev8123".
  std::string toStringLowerCase() const;
  void print(std::ostream& out) const;

  void swap(DeviceSerial& other) noexcept;

  friend bool operator==(const DeviceSerial& a, const DeviceSerial& b) noexcept {
    return a.number_ == b.number_;
  }
  friend bool operator<(const DeviceSerial& a, const DeviceSerial& b) noexcept {
    return a.number_ < b.number_;
  }

 private:
  std::uint32_t number_;
  mutable std::optional<std::string> text_;
};

inline void swap(DeviceSerial& a, DeviceSerial& b) noexcept { a.swap(b); }

std::string toString(const DeviceSerial& serial);
std::ostream& operator<<(std::ostream& out, const DeviceSerial& serial);
// Reads one word and parses it as the text constructor does (and throws as
// it does).
std::istream& operator>>(std::istream& in, DeviceSerial& serial);

}  // namespace nuvrel
