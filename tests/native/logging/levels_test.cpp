#include "logging/levels.h"

#include <gtest/gtest.h>

#include "errors/exception.h"
#include "logging_test_support.h"

namespace nuvrel::logging {
namespace {

using testing::LoggingTest;
using LevelsTest = LoggingTest;

TEST_F(LevelsTest, AllSetsEveryThresholdAndASinkOnlyItsOwn) {
  setLogLevel(Severity::error, LogSink::all);
  EXPECT_EQ(getLogLevel(), Severity::error);
  EXPECT_EQ(getLogLevel(LogSink::console), Severity::error);
  EXPECT_EQ(getLogLevel(LogSink::file), Severity::error);
  EXPECT_EQ(getLogLevel(LogSink::syslog), Severity::error);

  setLogLevel(Severity::debug, LogSink::file);
  setLogLevelConsole(Severity::trace);
  setLogLevel(Severity::info, LogSink::syslog);
  EXPECT_EQ(getLogLevel(), Severity::error);
  EXPECT_EQ(getLogLevelConsole(), Severity::trace);
  EXPECT_EQ(getLogLevelFile(), Severity::debug);
  EXPECT_EQ(getLogLevel(LogSink::syslog), Severity::info);

  setLogLevelFile(Severity::fatal);
  EXPECT_EQ(getLogLevel(LogSink::file), Severity::fatal);
}

TEST_F(LevelsTest, GetLogLevelRefusesAllAndUnknownSinks) {
  try {
    getLogLevel(LogSink::all);
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "getLogLevel for sink=all is not supported.");
  }
  try {
    getLogLevel(static_cast<LogSink>(9));
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "getLogLevel for sink=9 is not supported.");
  }
  EXPECT_THROW(setLogLevel(Severity::info, static_cast<LogSink>(9)), Exception);
}

TEST_F(LevelsTest, ScopedChangeRestoresOnlyTheGeneralLevel) {
  setLogLevel(Severity::status, LogSink::all);
  {
    ScopedLogLevelChange change(Severity::trace);
    EXPECT_EQ(getLogLevel(), Severity::trace);
    EXPECT_EQ(getLogLevel(LogSink::console), Severity::status);
    {
      ScopedLogLevelChange inner(Severity::fatal);
      EXPECT_EQ(getLogLevel(), Severity::fatal);
    }
    EXPECT_EQ(getLogLevel(), Severity::trace);
  }
  EXPECT_EQ(getLogLevel(), Severity::status);
}

}  // namespace
}  // namespace nuvrel::logging
