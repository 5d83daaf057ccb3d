// The recent content of the application's log files, for attaching to a
// report: the newest files (at most five, enough to exceed the byte limit),
// oldest first, with CR LF line ends, cut at the front to the limit at a line
// start and preceded by a header naming the directory.
#pragma once

#include <boost/filesystem/path.hpp>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace nuvrel::logging::detail {

struct LogFileInfo {
  boost::filesystem::path path;
  std::time_t written;
  std::uintmax_t size;
};

// From the newest file backwards: a file is taken, then the choice stops at
// five files or when the sizes taken so far exceed `maxBytes`. Input and
// result are ordered oldest first.
std::vector<LogFileInfo> chooseHistoryFiles(const std::vector<LogFileInfo>& oldestFirst,
                                            std::size_t maxBytes);

// Header and content within max(maxBytes, header length) characters; when
// the content must be cut it is cut at the front and then up to the end of
// the cut line, and nothing of it remains when no line end is left.
std::string cutLogHistory(const std::string& header, const std::string& content,
                          std::size_t maxBytes);

// Every "\n" becomes "\r\n".
std::string toCrLf(const std::string& text);

}  // namespace nuvrel::logging::detail
