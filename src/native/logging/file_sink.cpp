#include <boost/filesystem/directory.hpp>
#include <boost/filesystem/fstream.hpp>
#include <boost/filesystem/operations.hpp>
#include <boost/log/core/core.hpp>
#include <boost/log/exceptions.hpp>
#include <boost/log/sinks/sync_frontend.hpp>
#include <boost/log/sinks/text_file_backend.hpp>
#include <boost/smart_ptr/make_shared_object.hpp>

#include <algorithm>
#include <atomic>
#include <memory>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <sstream>
#include <vector>

#include "errors/exception_utils.h"
#include "logging/levels.h"
#include "logging/log_format.h"
#include "logging/logger.h"
#include "logging/logger_state.h"
#include "logging/sinks.h"

namespace nuvrel::logging {

namespace fs = boost::filesystem;

namespace detail {
namespace {

// Captured while the library is loaded, before anyone can change directory.
const fs::path& captureInitialDirectory() {
  static const fs::path directory = [] {
    boost::system::error_code ec;
    fs::path path = fs::current_path(ec);
    return ec ? fs::path(".") : path;
  }();
  return directory;
}

[[maybe_unused]] const fs::path& initialDirectoryAtLoad = captureInitialDirectory();

std::string quotedPath(const fs::path& path) {
  std::ostringstream text;
  text << path;
  return text.str();
}

// The file sink must not take log statements down with it (a full disk, a
// directory removed under it); its first failure is reported, later ones are
// dropped.
struct ReportFirstFailure {
  std::shared_ptr<std::atomic<bool>> reported = std::make_shared<std::atomic<bool>>(false);
  void operator()() const {
    if (!reported->exchange(true)) {
      nuvrel::detail::logExceptionToClog(std::current_exception(), "log file sink");
    }
  }
};

// Creates the directory (with parents), falling back to "<appName>Log" in the
// initial working directory. Returns the directory or an empty path.
fs::path createLogDirectory(const std::string& appName, fs::path directory) {
  boost::system::error_code ec;
  fs::create_directories(directory, ec);
  if (!ec && fs::is_directory(directory, ec)) {
    return directory;
  }
  std::cerr << "Warning: Could not create directory '" << quotedPath(directory)
            << "'. Will try to log into the local directory.\n";
  directory = initialWorkingDirectory() / (appName + "Log");
  ec.clear();
  fs::create_directory(directory, ec);
  if (!ec && fs::is_directory(directory, ec)) {
    return directory;
  }
  std::cerr << "Warning: Could not get create directory '" << directory.string()
            << "'. Will not be able to create the log file.\n";
  return {};
}

// True when a file can be created (and removed) in the directory.
bool probeLogDirectory(const std::string& appName, const fs::path& directory) {
  const fs::path probe = directory / (appName + "Log.log");
  {
    fs::ofstream file(probe, std::ios_base::out | std::ios_base::app);
    if (!file.is_open()) {
      return false;
    }
  }
  boost::system::error_code ec;
  fs::remove(probe, ec);
  return true;
}

std::string sameDirectoryKey(const fs::path& directory) {
  boost::system::error_code ec;
  const fs::path canonical = fs::weakly_canonical(directory, ec);
  return (ec ? directory : canonical).lexically_normal().string();
}

void replaceFileSinkOn(const fs::path& directory) {
  auto& sinks = loggerState().fileSinks;
  const std::string key = sameDirectoryKey(directory);
  auto core = boost::log::core::get();
  for (auto it = sinks.begin(); it != sinks.end();) {
    auto sink = it->sink.lock();
    if (!sink || it->directory == key) {
      if (sink) {
        core->remove_sink(sink);
        sink->flush();
      }
      it = sinks.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace

const fs::path& initialWorkingDirectory() { return captureInitialDirectory(); }

std::size_t pruneLogFiles(const fs::path& directory, const std::string& prefix,
                          std::uintmax_t maxFiles) {
  struct Entry {
    fs::path path;
    std::time_t written;
  };
  std::vector<Entry> files;
  for (const auto& entry : fs::directory_iterator(directory)) {
    if (!fs::is_regular_file(entry.status())) {
      continue;
    }
    const std::string name = entry.path().filename().string();
    if (name.starts_with(prefix)) {
      files.push_back({entry.path(), fs::last_write_time(entry.path())});
    }
  }
  if (files.size() <= maxFiles) {
    return 0;
  }
  // Newest first; equal times by name, the higher counter being newer.
  std::sort(files.begin(), files.end(), [](const Entry& a, const Entry& b) {
    return a.written != b.written ? a.written > b.written : a.path > b.path;
  });
  std::size_t removed = 0;
  for (std::size_t i = static_cast<std::size_t>(maxFiles); i < files.size(); ++i) {
    if (fs::remove(files[i].path)) {
      ++removed;
    }
  }
  return removed;
}

std::string defaultLogDirectory(const std::string& appName) {
  const char* user = std::getenv("USER");
  const std::string name = user != nullptr ? appName + "Log_" + user : appName + "Log";
  return (fs::path("/tmp") / name).string();
}

void startFileLogging(const std::string& appName, const LogConfig::FileSink& file) {
  auto& state = loggerState();
  try {
    fs::path directory = file.directory.empty() ? fs::path(defaultLogDirectory(appName))
                                                : fs::path(file.directory);
    state.logPathApplication = directory.string();

    directory = createLogDirectory(appName, directory);
    if (directory.empty()) {
      state.logPathApplication.clear();
      return;
    }
    state.logPathApplication = directory.string();

    if (!probeLogDirectory(appName, directory)) {
      std::cerr << "Warning: Could not access directory '" << directory.string()
                << "'. Will not be able to create the log file.\n";
      state.logPathApplication.clear();
      return;
    }

    namespace keywords = boost::log::keywords;
    namespace sinks = boost::log::sinks;
    // A second file sink on the same directory would scan the same files
    // and could pick the counter of a file the first one has not opened yet;
    // both would then truncate and overwrite one file. The older sink on
    // that directory is closed instead, so that its file counts in the scan.
    replaceFileSinkOn(directory);

    auto backend = boost::make_shared<sinks::text_file_backend>(
        keywords::file_name = (directory / (appName + "_%Y%m%d_%5N.log")).string(),
        keywords::rotation_size = file.rotationSize, keywords::open_mode = std::ios_base::out,
        keywords::auto_flush = true);
    backend->set_file_collector(sinks::file::make_collector(
        keywords::target = directory.string(), keywords::max_size = file.maxSize,
        keywords::min_free_space = file.minFreeSpace, keywords::max_files = file.maxFiles));

    pruneLogFiles(directory, appName + "_", file.maxFiles);

    // Continue the counter of the files already there.
    backend->scan_for_files();

    auto sink = boost::make_shared<sinks::synchronous_sink<sinks::text_file_backend>>(backend);
    sink->set_filter(ThresholdFilter{&passesFile});
    sink->set_formatter(makeFormatter(file.format));
    sink->set_exception_handler(ReportFirstFailure{});
    boost::log::core::get()->add_sink(sink);
    state.fileSinks.push_back({sameDirectoryKey(directory), sink});

    std::cout << "Will log to directory '" << directory.string() << "'." << std::endl;
    state.lastLogPath = file.directory;
  } catch (const std::exception& e) {
    std::cerr << "Warning: Caught exception '" << e.what()
              << "' during file logging start. Will not log to file.\n";
  } catch (...) {
    std::cerr << "Warning: Caught exception 'unknown exception' during file logging start. "
                 "Will not log to file.\n";
  }
}

}  // namespace detail
}  // namespace nuvrel::logging
