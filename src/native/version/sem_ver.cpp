#include "version/sem_ver.h"

#include <boost/lexical_cast/try_lexical_convert.hpp>

#include <ostream>
#include <regex>

#include "errors/throw_error.h"

namespace nuvrel {

namespace {

const std::regex& semVerGrammar() {
  // The grammar recommended by semver.org, anchored at both ends.
  static const std::regex grammar(
      "^(0|[1-9]\\d*)\\.(0|[1-9]\\d*)\\.(0|[1-9]\\d*)"
      "(?:-((?:0|[1-9]\\d*|\\d*[a-zA-Z-][0-9a-zA-Z-]*)"
      "(?:\\.(?:0|[1-9]\\d*|\\d*[a-zA-Z-][0-9a-zA-Z-]*))*))?"
      "(?:\\+([0-9a-zA-Z-]+(?:\\.[0-9a-zA-Z-]+)*))?$");
  return grammar;
}

std::string_view trim(std::string_view text) {
  constexpr std::string_view whiteSpace = " \t\n\v\f\r";
  auto first = text.find_first_not_of(whiteSpace);
  if (first == std::string_view::npos) return {};
  auto last = text.find_last_not_of(whiteSpace);
  return text.substr(first, last - first + 1);
}

}  // namespace

SemVer::SemVer(std::string_view text) {
  auto trimmed = trim(text);
  if (trimmed.empty()) return;
  std::match_results<std::string_view::const_iterator> match;
  if (!std::regex_match(trimmed.begin(), trimmed.end(), match, semVerGrammar())) {
    throwError(KS_ERROR_GENERAL, "Invalid version expression: '{}'.", text);
  }
  std::uint64_t* fields[] = {&major_, &minor_, &patch_};
  for (int i = 0; i < 3; ++i) {
    // The grammar admits digits only; a number too large for 64 bits is the
    // one way the conversion can still fail.
    if (!boost::conversion::try_lexical_convert(match[i + 1].str(), *fields[i])) {
      throwError(KS_ERROR_GENERAL, "Invalid version expression: '{}'.", text);
    }
  }
}

std::string SemVer::toString() const {
  return std::to_string(major_) + "." + std::to_string(minor_) + "." + std::to_string(patch_);
}

std::ostream& operator<<(std::ostream& out, const SemVer& version) {
  return out << version.toString();
}

}  // namespace nuvrel
