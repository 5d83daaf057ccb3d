// The product's calendar version: year, month, patch and build.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "version/version_triple.h"

namespace nuvrel {

class CalVer {
 public:
  // The unset version 0.0.0 (build 0).
  CalVer() noexcept = default;
  CalVer(std::uint64_t year, std::uint64_t month, std::uint64_t patch,
         std::uint64_t build = 0) noexcept
      : year_(year), month_(month), patch_(patch), build_(build) {}

  // "year.month.patch.build" (exactly three dots): the build is the part
  // after the last dot, converted by lexical cast; a build that does not
  // convert throws boost::bad_lexical_cast. Any other text: the lenient
  // triple of `extractVersionTriple` and build 0, so "x.y" gives 0.0.0.
  explicit CalVer(const std::string& text);

  std::uint64_t year() const noexcept { return year_; }
  std::uint64_t month() const noexcept { return month_; }
  std::uint64_t patch() const noexcept { return patch_; }
  std::uint64_t build() const noexcept { return build_; }
  VersionTriple triple() const noexcept { return {year_, month_, patch_}; }

  // All four fields; ordering is lexicographic over (year, month, patch,
  // build).
  friend bool operator==(const CalVer&, const CalVer&) noexcept = default;
  friend auto operator<=>(const CalVer&, const CalVer&) noexcept = default;

 private:
  std::uint64_t year_ = 0;
  std::uint64_t month_ = 0;
  std::uint64_t patch_ = 0;
  std::uint64_t build_ = 0;
};

// "year.month.patch": the build is not printed.
std::string toString(const CalVer& version);
std::ostream& operator<<(std::ostream& out, const CalVer& version);

// True when any field is non-zero.
bool isSet(const CalVer& version) noexcept;

// The decimal revision number: yy mm p bbbb, i.e. (year mod 100) * 10^7 +
// (month mod 100) * 10^5 + (patch mod 10) * 10^4 + (build mod 10^4).
std::uint32_t asDecimal(const CalVer& version) noexcept;
CalVer fromDecimal(unsigned revision) noexcept;
// The empty text is the unset version; a text that is not an unsigned
// decimal number throws an Exception "Invalid revision '<text>'.".
CalVer fromDecimal(const std::string& revision);

// The packed 32-bit form: year in bits 24..31, month in 16..23, patch in
// 12..15, build in 0..11; wider values are cut to their bits.
std::uint32_t asBinary(const CalVer& version) noexcept;
CalVer fromBinary(unsigned packed) noexcept;

}  // namespace nuvrel
