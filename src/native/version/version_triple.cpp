#include "version/version_triple.h"

#include <boost/lexical_cast/try_lexical_convert.hpp>

#include <string_view>
#include <vector>

namespace nuvrel {

VersionTriple extractVersionTriple(const std::string& text) noexcept {
  std::vector<std::string_view> parts;
  std::string_view rest = text;
  while (true) {
    auto dot = rest.find('.');
    parts.push_back(rest.substr(0, dot));
    if (dot == std::string_view::npos || parts.size() == 3) break;
    rest.remove_prefix(dot + 1);
  }
  VersionTriple triple{0, 0, 0};
  for (std::size_t i = 0; i < parts.size(); ++i) {
    // A space, a letter or an empty part makes the conversion fail.
    if (!boost::conversion::try_lexical_convert(parts[i].data(), parts[i].size(), triple[i])) {
      return {0, 0, 0};
    }
  }
  return triple;
}

std::string toString(const VersionTriple& triple) {
  return std::to_string(triple[0]) + "." + std::to_string(triple[1]) + "." +
         std::to_string(triple[2]);
}

bool isSet(const VersionTriple& triple) noexcept {
  return triple[0] != 0 || triple[1] != 0 || triple[2] != 0;
}

}  // namespace nuvrel
