// Helpers for tests that start and stop the process-wide logging layer.
// Every such test uses LoggingTest, whose tear-down closes the logs and puts
// levels, paths, the console stream and the environment back.
#pragma once

#include <gtest/gtest.h>

#include <boost/filesystem.hpp>
#include <boost/filesystem/fstream.hpp>

#include <algorithm>

#include <cstdlib>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "logging/levels.h"
#include "logging/logger.h"
#include "logging/logger_state.h"

namespace nuvrel::logging::testing {

// A fresh directory below the system's temporary directory, removed at the
// end of the scope.
class TempDirectory {
 public:
  TempDirectory()
      : path_(boost::filesystem::temp_directory_path() /
              boost::filesystem::unique_path("nuvrel-logging-%%%%-%%%%-%%%%")) {
    boost::filesystem::create_directories(path_);
  }
  ~TempDirectory() {
    boost::system::error_code ec;
    boost::filesystem::remove_all(path_, ec);
  }
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;

  const boost::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }

 private:
  boost::filesystem::path path_;
};

// Sets or unsets an environment variable for the scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) {
      old_ = old;
    }
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_.c_str(), old_->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }

 private:
  std::string name_;
  std::optional<std::string> old_;
};

class LoggingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedClog_ = std::clog.rdbuf(console_.rdbuf());
    level_ = getLogLevel();
    console_level_ = getLogLevel(LogSink::console);
    file_level_ = getLogLevel(LogSink::file);
    syslog_level_ = getLogLevel(LogSink::syslog);
  }

  void TearDown() override {
    closeLogs();
    auto& state = detail::loggerState();
    state.logPathApplication.clear();
    state.lastLogPath.clear();
    state.lastSyslogSink.reset();
    setLogLevel(level_, LogSink::all);
    setLogLevel(console_level_, LogSink::console);
    setLogLevel(file_level_, LogSink::file);
    setLogLevel(syslog_level_, LogSink::syslog);
    std::clog.rdbuf(savedClog_);
  }

  TempDirectory dir_;

  // What the console sinks wrote so far.
  std::string console() const { return console_.str(); }

  // A configuration with console and a file sink in `directory`.
  static LogConfig configWithFile(const std::string& directory) {
    LogConfig config;
    config.appName = "CapnpBindings";
    config.console.emplace();
    config.file.emplace();
    config.file->directory = directory;
    return config;
  }

  static std::vector<boost::filesystem::path> filesIn(const boost::filesystem::path& directory) {
    std::vector<boost::filesystem::path> files;
    for (const auto& entry : boost::filesystem::directory_iterator(directory)) {
      files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
  }

  static std::string readFile(const boost::filesystem::path& path) {
    boost::filesystem::ifstream in(path, std::ios_base::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  std::ostringstream console_;
  std::streambuf* savedClog_ = nullptr;
  Severity level_{}, console_level_{}, file_level_{}, syslog_level_{};
};

// A LoggingTest whose console logs every severity: for tests that check the
// log lines other parts of the code write.
class ConsoleLoggingTest : public LoggingTest {
 protected:
  void SetUp() override {
    LoggingTest::SetUp();
    LogConfig config;
    config.appName = "CapnpBindings";
    config.console.emplace();
    ASSERT_TRUE(initLogs(config));
    setLogLevel(Severity::trace, LogSink::all);
  }

  bool logged(const std::string& line) const { return console().find(line) != std::string::npos; }
};

}  // namespace nuvrel::logging::testing
