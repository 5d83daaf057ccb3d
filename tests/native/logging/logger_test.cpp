#include "logging/logger.h"

#include <gtest/gtest.h>

#include <boost/json/parse.hpp>
#include <boost/json/value.hpp>

#include <fmt/format.h>

#include <chrono>
#include <future>
#include <regex>

#include "logging/log.h"
#include "logging/statistics_sink.h"
#include "logging/thread_name.h"
#include "logging_test_support.h"

namespace nuvrel::logging {
namespace {

namespace fs = boost::filesystem;
using testing::LoggingTest;
using testing::TempDirectory;
using InitLogsTest = LoggingTest;

std::uint64_t counter(const std::string& json, const char* name) {
  return boost::json::parse(json).at("counters").at(name).to_number<std::uint64_t>();
}

TEST_F(InitLogsTest, NothingIsLoggedBeforeInit) {
  ASSERT_FALSE(isLoggingEnabled());
  bool formatted = false;
  auto sideEffect = [&] {
    formatted = true;
    return "x";
  };
  NUVREL_LOG(error) << sideEffect();
  log(Severity::fatal, "not shown");
  EXPECT_FALSE(formatted);
  EXPECT_EQ(console(), "");
  EXPECT_EQ(getLogStatisticsJson(), "null");

  ::testing::internal::CaptureStderr();
  logException(Severity::error, std::make_exception_ptr(std::runtime_error("boom")), "ctx");
  logException(Severity::error, std::make_exception_ptr(42), "");
  logException(Severity::error, nullptr, "ignored");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "ctx: Caught exception: boom\nCaught unknown exception.\n");
}

TEST_F(InitLogsTest, ThresholdErrorStillCountsWarnings) {
  TempDirectory dir;
  ::testing::internal::CaptureStdout();
  ASSERT_TRUE(initLogs(configWithFile(dir.str())));
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "Will log to directory '" + dir.str() + "'.\n");
  EXPECT_TRUE(isLoggingEnabled());
  EXPECT_EQ(getLogPathApplication(), dir.str());

  setLogLevel(Severity::error, LogSink::all);
  const std::string before = getLogStatisticsJson();
  NUVREL_LOG(warning) << "quiet warning";
  NUVREL_LOG(error) << "loud error";
  const std::string after = getLogStatisticsJson();
  EXPECT_EQ(counter(after, "warning") - counter(before, "warning"), 1u);
  EXPECT_EQ(counter(after, "error") - counter(before, "error"), 1u);
  closeLogs();  // flushes and closes the file

  EXPECT_EQ(console().find("quiet warning"), std::string::npos) << console();
  EXPECT_NE(console().find("[error] loud error"), std::string::npos) << console();
  const auto files = filesIn(dir.path());
  ASSERT_EQ(files.size(), 1u);
  const std::string text = readFile(files[0]);
  EXPECT_EQ(text.find("quiet warning"), std::string::npos) << text;
  EXPECT_NE(text.find("[error] loud error\n"), std::string::npos) << text;
}

TEST_F(InitLogsTest, StatisticsCountEverySeverityButSkipFwThreads) {
  ASSERT_TRUE(initLogs(configWithFile(dir_.str())));
  setLogLevel(Severity::fatal, LogSink::all);
  const std::string before = getLogStatisticsJson();
  NUVREL_LOG(warning) << "w";
  NUVREL_LOG(warning) << "w";
  NUVREL_LOG(trace) << "t";
  NUVREL_LOG(fatal) << "f";
  for (const char* name : {"fw_3", "fw_x"}) {
    auto done = std::async(std::launch::async, [name] {
      setThreadName(name);
      NUVREL_LOG(error) << "from " << name;
    });
    ASSERT_EQ(done.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  }
  const std::string after = getLogStatisticsJson();

  const auto parsed = boost::json::parse(after).as_object();
  EXPECT_TRUE(std::regex_match(std::string(parsed.at("timestamp").as_string()),
                               std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{6})")))
      << after;
  const auto& counters = parsed.at("counters").as_object();
  std::vector<std::string> keys;
  for (const auto& entry : counters) {
    keys.emplace_back(entry.key());
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"trace", "debug", "info", "status", "warning", "error",
                                            "fatal"}));
  EXPECT_EQ(counter(after, "warning") - counter(before, "warning"), 2u);
  EXPECT_EQ(counter(after, "trace") - counter(before, "trace"), 1u);
  EXPECT_EQ(counter(after, "fatal") - counter(before, "fatal"), 1u);
  // Only the thread "fw_x" counts; "fw_3" is one of the excluded threads.
  EXPECT_EQ(counter(after, "error") - counter(before, "error"), 1u);

  EXPECT_TRUE(detail::isExcludedFromStatistics("fw_0"));
  EXPECT_TRUE(detail::isExcludedFromStatistics("fw_1234"));
  EXPECT_FALSE(detail::isExcludedFromStatistics("fw_12x"));
  EXPECT_FALSE(detail::isExcludedFromStatistics("fw_"));
  EXPECT_FALSE(detail::isExcludedFromStatistics("fw_x1"));
  EXPECT_FALSE(detail::isExcludedFromStatistics("xfw_1"));
  closeLogs();
  EXPECT_EQ(getLogStatisticsJson(), "null");
}

TEST(DefaultLogDirectory, FollowsUser) {
  {
    testing::ScopedEnv user("USER", "svc");
    EXPECT_EQ(detail::defaultLogDirectory("CapnpBindings"), "/tmp/CapnpBindingsLog_svc");
  }
  {
    testing::ScopedEnv user("USER", nullptr);
    EXPECT_EQ(detail::defaultLogDirectory("CapnpBindings"), "/tmp/CapnpBindingsLog");
  }
}

TEST_F(InitLogsTest, FirstFileNameAndCounterContinuation) {
  ::testing::internal::CaptureStdout();
  ASSERT_TRUE(initLogs(configWithFile(dir_.str())));
  NUVREL_LOG(status) << "first run";
  closeLogs();
  ASSERT_TRUE(initLogs(configWithFile(dir_.str())));
  NUVREL_LOG(status) << "second run";
  closeLogs();
  ::testing::internal::GetCapturedStdout();

  const auto files = filesIn(dir_.path());
  ASSERT_EQ(files.size(), 2u);
  const std::regex first(R"(CapnpBindings_\d{8}_00000\.log)");
  const std::regex second(R"(CapnpBindings_\d{8}_00001\.log)");
  EXPECT_TRUE(std::regex_match(files[0].filename().string(), first)) << files[0];
  EXPECT_TRUE(std::regex_match(files[1].filename().string(), second)) << files[1];
  EXPECT_NE(readFile(files[0]).find("first run"), std::string::npos);
  EXPECT_NE(readFile(files[1]).find("second run"), std::string::npos);
}

TEST_F(InitLogsTest, SecondInitOnTheSameDirectoryLosesNoLines) {
  // Different layouts make a file written by two sinks at once visible.
  LogConfig logfmt = configWithFile(dir_.str());
  logfmt.file->format.logfmt = true;
  ::testing::internal::CaptureStdout();
  ASSERT_TRUE(initLogs(configWithFile(dir_.str())));
  ASSERT_TRUE(initLogs(logfmt));
  ::testing::internal::GetCapturedStdout();
  NUVREL_LOG(status) << "line one";
  NUVREL_LOG(status) << "line two";
  closeLogs();

  auto occurrences = [](const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) {
      ++n;
    }
    return n;
  };
  // Two console sinks; the second file sink replaced the first one on the
  // same directory, so the files hold each line once, whole.
  EXPECT_EQ(occurrences(console(), "] line one\n"), 2u);
  std::string files;
  for (const auto& file : filesIn(dir_.path())) {
    files += readFile(file);
  }
  const std::regex layout(R"re((ts=\S+ level=status count=\d+ tid=0x[0-9a-f]{16} tname=main msg="line (one|two)"\n){2})re");
  EXPECT_TRUE(std::regex_match(files, layout)) << files;

  // On another directory the earlier file sink stays.
  TempDirectory other;
  ::testing::internal::CaptureStdout();
  ASSERT_TRUE(initLogs(configWithFile(dir_.str())));
  ASSERT_TRUE(initLogs(configWithFile(other.str())));
  ::testing::internal::GetCapturedStdout();
  NUVREL_LOG(status) << "line three";
  closeLogs();
  for (const auto& directory : {dir_.path(), other.path()}) {
    std::string text;
    for (const auto& file : filesIn(directory)) {
      text += readFile(file);
    }
    EXPECT_EQ(occurrences(text, "] line three\n"), 1u) << directory;
  }
}

TEST_F(InitLogsTest, PrunesOldFilesToTheLimit) {
  const auto now = std::time(nullptr);
  for (int i = 0; i < 600; ++i) {
    const fs::path file = dir_.path() / fmt::format("CapnpBindings_20200101_{:05}.log", i);
    fs::ofstream(file) << "old " << i << "\n";
    fs::last_write_time(file, now - 100000 + i);  // 0 is the oldest
  }
  // Not a log file of the application: left alone.
  fs::ofstream(dir_.path() / "Other_20200101_00000.log") << "x";

  ::testing::internal::CaptureStdout();
  ASSERT_TRUE(initLogs(configWithFile(dir_.str())));
  ::testing::internal::GetCapturedStdout();

  const auto remaining = filesIn(dir_.path());
  EXPECT_EQ(remaining.size(), 513u);
  EXPECT_FALSE(fs::exists(dir_.path() / "CapnpBindings_20200101_00087.log"));
  EXPECT_TRUE(fs::exists(dir_.path() / "CapnpBindings_20200101_00088.log"));
  EXPECT_TRUE(fs::exists(dir_.path() / "CapnpBindings_20200101_00599.log"));
  EXPECT_TRUE(fs::exists(dir_.path() / "Other_20200101_00000.log"));

  NUVREL_LOG(status) << "new file";
  closeLogs();
  // The counter continues after the highest one found, the collector keeps
  // the count at the limit.
  const auto after = filesIn(dir_.path());
  bool found = false;
  for (const auto& file : after) {
    const std::string name = file.filename().string();
    if (std::regex_match(name, std::regex(R"(CapnpBindings_\d{8}_00600\.log)"))) {
      found = true;
      EXPECT_NE(readFile(file).find("new file"), std::string::npos);
    }
  }
  EXPECT_TRUE(found);
  EXPECT_EQ(after.size(), 513u);
}

TEST_F(InitLogsTest, InaccessibleDirectoryLeavesConsoleRunning) {
  // A directory named like the probe file: the probe cannot be created.
  fs::create_directory(dir_.path() / "CapnpBindingsLog.log");
  ::testing::internal::CaptureStderr();
  ::testing::internal::CaptureStdout();
  ASSERT_TRUE(initLogs(configWithFile(dir_.str())));
  const std::string out = ::testing::internal::GetCapturedStdout();
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "Warning: Could not access directory '" + dir_.str() +
                     "'. Will not be able to create the log file.\n");
  EXPECT_EQ(out, "");
  EXPECT_EQ(getLogPathApplication(), "");
  NUVREL_LOG(status) << "still on the console";
  EXPECT_NE(console().find("still on the console"), std::string::npos);
  EXPECT_EQ(getLogHistory(1000), "");
}

TEST_F(InitLogsTest, ConsoleIsRequired) {
  LogConfig config = configWithFile(dir_.str());
  config.console.reset();
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(initLogs(config));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Error: Caught exception 'The log configuration has no console sink.' during console "
            "logging start.\n");
  EXPECT_FALSE(isLoggingEnabled());
  EXPECT_EQ(getLogStatisticsJson(), "null");
}

TEST_F(InitLogsTest, SettingThePathReinitialises) {
  TempDirectory other;
  ::testing::internal::CaptureStdout();
  ASSERT_TRUE(initLogs(configWithFile(dir_.str())));
  setLogPathApplication(other.str());
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Will log to directory '" + other.str() + "'."), std::string::npos) << out;
  EXPECT_TRUE(isLoggingEnabled());
  NUVREL_LOG(status) << "moved";
  closeLogs();
  EXPECT_TRUE(filesIn(dir_.path()).empty());
  const auto files = filesIn(other.path());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_NE(readFile(files[0]).find("moved"), std::string::npos);
}

}  // namespace
}  // namespace nuvrel::logging
