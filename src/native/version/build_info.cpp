#include "version/build_info.h"

namespace nuvrel::version {

bool interpreterMatches(std::string_view builtFor, std::string_view interpreterVersion) noexcept {
  if (builtFor.empty() || !interpreterVersion.starts_with(builtFor)) {
    return false;
  }
  if (interpreterVersion.size() == builtFor.size()) {
    return true;
  }
  const char next = interpreterVersion[builtFor.size()];
  return next < '0' || next > '9';
}

}  // namespace nuvrel::version
