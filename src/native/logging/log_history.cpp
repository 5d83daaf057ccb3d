#include "logging/log_history.h"

#include <boost/algorithm/string/predicate.hpp>
#include <boost/filesystem/directory.hpp>
#include <boost/filesystem/fstream.hpp>
#include <boost/filesystem/operations.hpp>
#include <boost/log/core/core.hpp>

#include <algorithm>
#include <iterator>

#include "logging/logger.h"
#include "logging/logger_state.h"

namespace nuvrel::logging {

namespace fs = boost::filesystem;

namespace detail {

std::vector<LogFileInfo> chooseHistoryFiles(const std::vector<LogFileInfo>& oldestFirst,
                                            std::size_t maxBytes) {
  constexpr std::size_t kMaxFiles = 5;
  std::vector<LogFileInfo> chosen;
  std::uintmax_t sum = 0;
  for (auto it = oldestFirst.rbegin(); it != oldestFirst.rend(); ++it) {
    chosen.push_back(*it);
    if (chosen.size() == kMaxFiles) {
      break;
    }
    sum += it->size;
    if (sum > maxBytes) {
      break;
    }
  }
  std::reverse(chosen.begin(), chosen.end());
  return chosen;
}

std::string toCrLf(const std::string& text) {
  std::string result;
  result.reserve(text.size() + text.size() / 32);
  for (char c : text) {
    if (c == '\n') {
      result.push_back('\r');
    }
    result.push_back(c);
  }
  return result;
}

std::string cutLogHistory(const std::string& header, const std::string& content,
                          std::size_t maxBytes) {
  const std::size_t limit = std::max(maxBytes, header.size());
  if (header.size() + content.size() <= limit) {
    return header + content;
  }
  const std::size_t drop = header.size() + content.size() - limit;
  const std::size_t lineEnd = content.find("\r\n", drop);
  if (lineEnd == std::string::npos) {
    return header;
  }
  return header + content.substr(lineEnd + 2);
}

}  // namespace detail

std::string getLogHistory(std::size_t maxBytes) {
  const auto& state = detail::loggerState();
  if (state.logPathApplication.empty()) {
    return {};
  }
  boost::log::core::get()->flush();

  std::vector<detail::LogFileInfo> files;
  boost::system::error_code ec;
  for (fs::directory_iterator it(state.logPathApplication, ec), end; !ec && it != end;
       it.increment(ec)) {
    boost::system::error_code statusError;
    if (!fs::is_regular_file(it->status(statusError)) ||
        !boost::algorithm::istarts_with(it->path().filename().string(), state.lastAppName)) {
      continue;
    }
    const auto written = fs::last_write_time(it->path(), statusError);
    const auto size = fs::file_size(it->path(), statusError);
    if (!statusError) {
      files.push_back({it->path(), written, size});
    }
  }
  std::stable_sort(files.begin(), files.end(),
                   [](const detail::LogFileInfo& a, const detail::LogFileInfo& b) {
                     return a.written != b.written ? a.written < b.written : a.path < b.path;
                   });

  std::string content;
  for (const auto& file : detail::chooseHistoryFiles(files, maxBytes)) {
    fs::ifstream in(file.path, std::ios_base::in | std::ios_base::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    content += detail::toCrLf(text);
  }

  const std::string header = "(All log files for " + state.lastAppName +
                             " can be found here: " + state.logPathApplication + ")\r\n\r\n";
  return detail::cutLogHistory(header, content, maxBytes);
}

}  // namespace nuvrel::logging
