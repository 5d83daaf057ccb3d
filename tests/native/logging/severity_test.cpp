#include "logging/severity.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace nuvrel::logging {
namespace {

struct ParseCase {
  const char* text;
  std::optional<Severity> expected;
  const char* error;
};

TEST(Severity, ParsesNumbersAndExactNames) {
  const ParseCase cases[] = {
      {"0", Severity::trace, nullptr},
      {"4", Severity::warning, nullptr},
      {"6", Severity::fatal, nullptr},
      {"7", std::nullopt, "Severity number is out of the valid range."},
      {"9", std::nullopt, "Severity number is out of the valid range."},
      {"x", std::nullopt, "Unknown severity name."},
      {"trace", Severity::trace, nullptr},
      {"status", Severity::status, nullptr},
      {"fatal", Severity::fatal, nullptr},
      {"Debug", std::nullopt, "Unknown severity name."},
      {"WARNING", std::nullopt, "Unknown severity name."},
      {"10", std::nullopt, "Unknown severity name."},
      {"warning ", std::nullopt, "Unknown severity name."},
      {"", std::nullopt, "Unknown severity name."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("text '") + c.text + "'");
    if (c.expected) {
      EXPECT_EQ(parseSeverity(c.text), *c.expected);
      EXPECT_EQ(FromStringConverter<Severity>::fromString(c.text), c.expected);
    } else {
      try {
        parseSeverity(c.text);
        ADD_FAILURE() << "no exception";
      } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), c.error);
      }
      EXPECT_EQ(FromStringConverter<Severity>::fromString(c.text), std::nullopt);
    }
  }
}

TEST(Severity, NamesInScaleOrder) {
  std::vector<std::string> names;
  std::vector<int> values;
  forEachSeverity([&](Severity severity, std::string_view name) {
    values.push_back(static_cast<int>(severity));
    names.emplace_back(name);
    EXPECT_EQ(toString(severity), name);
  });
  EXPECT_EQ(names, (std::vector<std::string>{"trace", "debug", "info", "status", "warning",
                                             "error", "fatal"}));
  EXPECT_EQ(values, (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(toString(static_cast<Severity>(7)), "");
  EXPECT_EQ(toString(static_cast<Severity>(-1)), "");
  EXPECT_TRUE(isValidLogSeverity(0));
  EXPECT_TRUE(isValidLogSeverity(6));
  EXPECT_FALSE(isValidLogSeverity(7));
  EXPECT_FALSE(isValidLogSeverity(-1));
}

TEST(Severity, StreamsBothWays) {
  std::ostringstream out;
  out << Severity::status << ' ' << Severity::error;
  EXPECT_EQ(out.str(), "status error");

  std::istringstream in("debug 5 Info");
  Severity a = Severity::trace, b = Severity::trace, c = Severity::trace;
  in >> a >> b;
  EXPECT_FALSE(in.fail());
  EXPECT_EQ(a, Severity::debug);
  EXPECT_EQ(b, Severity::error);
  in >> c;
  EXPECT_TRUE(in.fail());
  EXPECT_EQ(c, Severity::trace);
}

TEST(LogSink, AcceptsExactlyTheFourNames) {
  EXPECT_EQ(FromStringConverter<LogSink>::convert("all"), LogSink::all);
  EXPECT_EQ(FromStringConverter<LogSink>::convert("console"), LogSink::console);
  EXPECT_EQ(FromStringConverter<LogSink>::convert("file"), LogSink::file);
  EXPECT_EQ(FromStringConverter<LogSink>::convert("syslog"), LogSink::syslog);
  for (const char* bad : {"", "Console", "files", "sys log"}) {
    EXPECT_EQ(FromStringConverter<LogSink>::fromString(bad), std::nullopt) << bad;
    EXPECT_THROW(FromStringConverter<LogSink>::convert(bad), std::out_of_range) << bad;
  }
  EXPECT_EQ(toString(LogSink::syslog), "syslog");
}

}  // namespace
}  // namespace nuvrel::logging
