#include "kj/timeout.h"

#include <sstream>

namespace nuvrel {

std::string durationText(std::chrono::milliseconds duration) {
  const auto count = duration.count();
  if (count > -1000 && count < 1000) {
    return std::to_string(count) + "ms";
  }
  std::ostringstream text;
  text << static_cast<double>(count) / 1000.0 << "s";
  return text.str();
}

}  // namespace nuvrel
