#include "version/cal_ver.h"

#include <boost/lexical_cast.hpp>
#include <boost/lexical_cast/try_lexical_convert.hpp>

#include <algorithm>
#include <ostream>

#include "errors/throw_error.h"

namespace nuvrel {

CalVer::CalVer(const std::string& text) {
  if (std::count(text.begin(), text.end(), '.') == 3) {
    auto lastDot = text.rfind('.');
    auto triple = extractVersionTriple(text.substr(0, lastDot));
    // Throws boost::bad_lexical_cast for a build that is not a number.
    build_ = boost::lexical_cast<std::uint64_t>(text.substr(lastDot + 1));
    year_ = triple[0];
    month_ = triple[1];
    patch_ = triple[2];
  } else {
    auto triple = extractVersionTriple(text);
    year_ = triple[0];
    month_ = triple[1];
    patch_ = triple[2];
  }
}

std::string toString(const CalVer& version) { return toString(version.triple()); }

std::ostream& operator<<(std::ostream& out, const CalVer& version) {
  return out << toString(version);
}

bool isSet(const CalVer& version) noexcept { return version != CalVer(); }

std::uint32_t asDecimal(const CalVer& version) noexcept {
  return static_cast<std::uint32_t>((version.year() % 100) * 10'000'000 +
                                    (version.month() % 100) * 100'000 +
                                    (version.patch() % 10) * 10'000 + version.build() % 10'000);
}

CalVer fromDecimal(unsigned revision) noexcept {
  return CalVer(revision / 10'000'000 % 100, revision / 100'000 % 100, revision / 10'000 % 10,
                revision % 10'000);
}

CalVer fromDecimal(const std::string& revision) {
  if (revision.empty()) return CalVer();
  unsigned number = 0;
  if (!boost::conversion::try_lexical_convert(revision, number)) {
    throwError(KS_ERROR_GENERAL, "Invalid revision '{}'.", revision);
  }
  return fromDecimal(number);
}

std::uint32_t asBinary(const CalVer& version) noexcept {
  return static_cast<std::uint32_t>(version.year() << 24 | ((version.month() << 16) & 0xFF0000) |
                                    ((version.patch() << 12) & 0xF000) |
                                    (version.build() & 0xFFF));
}

CalVer fromBinary(unsigned packed) noexcept {
  return CalVer(packed >> 24, (packed >> 16) & 0xFF, (packed >> 12) & 0xF, packed & 0xFFF);
}

}  // namespace nuvrel
