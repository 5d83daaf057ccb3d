// The front end: log statements, exception logging and the helpers around
// them, with logging enabled.
#include "logging/log.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <boost/json/parse.hpp>

#include <future>
#include <regex>

#include "errors/exception.h"
#include "errors/exception_utils.h"
#include "logging/logger.h"
#include "logging/thread_name.h"
#include "logging_test_support.h"

namespace nuvrel::logging {
namespace {

using testing::LoggingTest;

class FrontEndTest : public LoggingTest {
 protected:
  void SetUp() override {
    LoggingTest::SetUp();
    LogConfig config;
    config.appName = "CapnpBindings";
    config.console.emplace();
    ASSERT_TRUE(initLogs(config));
    setLogLevel(Severity::trace, LogSink::all);
  }
};

TEST_F(FrontEndTest, StatementsAndExceptionsReachTheConsole) {
  NUVREL_LOG(debug) << "value " << 42;
  logf(Severity::info, "{} items", 3);
  logException(Severity::warning, std::make_exception_ptr(std::runtime_error("boom")), "ctx");
  logException(Severity::warning, std::make_exception_ptr(7), "");
  const std::string text = console();
  EXPECT_NE(text.find("[debug] value 42\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[info] 3 items\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[warning] ctx: Caught exception: boom\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[warning] Caught unknown exception.\n"), std::string::npos) << text;
}

TEST_F(FrontEndTest, CountersIncreaseByOne) {
  NUVREL_LOG(status) << "one";
  NUVREL_LOG(status) << "two";
  const std::string text = console();
  std::smatch m1, m2;
  ASSERT_TRUE(std::regex_search(text, m1, std::regex(R"(\[(\d+)\] \[status\] one)")));
  ASSERT_TRUE(std::regex_search(text, m2, std::regex(R"(\[(\d+)\] \[status\] two)")));
  EXPECT_EQ(std::stoul(m2[1]), std::stoul(m1[1]) + 1);
}

TEST_F(FrontEndTest, LogAndThrowLogsThenThrowsWithTheCallersLocation) {
  try {
    logAndThrow("cannot go on");
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "cannot go on");
    EXPECT_NE(diagnosticInfo(e).find("log_test.cpp:"), std::string::npos) << diagnosticInfo(e);
  }
  EXPECT_NE(console().find("[error] cannot go on\n"), std::string::npos);
}

TEST_F(FrontEndTest, TryLogErrorWritesStandardErrorToo) {
  ::testing::internal::CaptureStderr();
  tryLogError("bad thing");
  tryLog(Severity::info, "fine thing");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "bad thing\n");
  EXPECT_NE(console().find("[error] bad thing\n"), std::string::npos);
  EXPECT_NE(console().find("[info] fine thing\n"), std::string::npos);
}

TEST_F(FrontEndTest, DebugLogJson) {
  writeDebugLogJson(R"({"message": "from json", "severity": 4})");
  EXPECT_NE(console().find("[warning] from json\n"), std::string::npos);

  struct Bad {
    const char* json;
    const char* message;
  };
  const Bad cases[] = {
      {"not json", "Debug log text is no valid JSON"},
      {"[1, 2]", "Debug log JSON is not an object."},
      {R"({"severity": 1})", "Debug log JSON has no string \"message\"."},
      {R"({"message": 5, "severity": 1})", "Debug log JSON has no string \"message\"."},
      {R"({"message": "m"})", "Debug log JSON has no number \"severity\"."},
      {R"({"message": "m", "severity": "1"})", "Debug log JSON has no number \"severity\"."},
      {R"({"message": "m", "severity": 7})", "Debug log JSON has an invalid severity 7."},
      {R"({"message": "m", "severity": -1})", "Debug log JSON has an invalid severity -1."},
      {R"({"message": "m", "severity": 1.5})", "Debug log JSON has an invalid severity"},
  };
  for (const auto& c : cases) {
    try {
      writeDebugLogJson(c.json);
      ADD_FAILURE() << "no exception for " << c.json;
    } catch (const Exception& e) {
      EXPECT_TRUE(std::string(e.what()).starts_with(c.message)) << c.json << ": " << e.what();
    }
  }

  tryWriteDebugLogJson("[1]");
  EXPECT_NE(console().find(
                "[warning] Failed to write debug log from JSON (Debug log JSON is not an object.).\n"),
            std::string::npos)
      << console();
}

TEST_F(FrontEndTest, ThreadsLogWhileThresholdsChange) {
  auto counted = [] {
    const auto json = boost::json::parse(getLogStatisticsJson());
    return json.at("counters").at("info").to_number<std::uint64_t>();
  };
  const auto before = counted();
  constexpr int kThreads = 4;
  constexpr int kRecords = 200;
  std::vector<std::future<void>> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.push_back(std::async(std::launch::async, [t] {
      setThreadName("writer-" + std::to_string(t));
      for (int i = 0; i < kRecords; ++i) {
        NUVREL_LOG(info) << "record " << t << "/" << i;
      }
    }));
  }
  auto changer = std::async(std::launch::async, [] {
    for (int i = 0; i < 200; ++i) {
      setLogLevel(i % 2 == 0 ? Severity::error : Severity::trace, LogSink::console);
      ScopedLogLevelChange change(Severity::debug);
    }
  });
  for (auto& writer : writers) {
    ASSERT_EQ(writer.wait_for(std::chrono::seconds(30)), std::future_status::ready);
  }
  ASSERT_EQ(changer.wait_for(std::chrono::seconds(30)), std::future_status::ready);
  EXPECT_EQ(counted() - before, std::uint64_t(kThreads * kRecords));
  // Whatever reached the console arrived as whole lines.
  std::istringstream lines(console());
  for (std::string line; std::getline(lines, line);) {
    if (line.find("record ") != std::string::npos) {
      EXPECT_TRUE(std::regex_search(line, std::regex(R"(/writer-\d +\] \[\d+\] \[info\] record \d/\d+$)")))
          << line;
    }
  }
}

TEST_F(FrontEndTest, ThreadNamesInRecords) {
  auto result = std::async(std::launch::async, [] {
    setThreadName("abcdefghijklmnopqrst");
    char osName[32] = {};
    pthread_getname_np(pthread_self(), osName, sizeof(osName));
    NUVREL_LOG(status) << "from a named thread";
    return std::make_pair(currentThreadName(), std::string(osName));
  });
  ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  const auto [name, osName] = result.get();
  EXPECT_EQ(name, "abcdefghijklmnopqrst");
  EXPECT_EQ(osName, "abcdefghijklmno");
  EXPECT_NE(console().find("/abcdefghijklmno] ["), std::string::npos) << console();

  auto unnamed = std::async(std::launch::async, [] {
    NUVREL_LOG(status) << "from an unnamed thread";
    return currentThreadName();
  });
  ASSERT_EQ(unnamed.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_FALSE(unnamed.get().empty());  // the OS name, inherited from the test process
  EXPECT_NE(console().find("/unnamed_thread ] ["), std::string::npos) << console();
}

}  // namespace
}  // namespace nuvrel::logging
