#include "logging/log_format.h"

#include <gtest/gtest.h>

#include <boost/core/null_deleter.hpp>
#include <boost/date_time/posix_time/posix_time.hpp>
#include <boost/log/attributes/constant.hpp>
#include <boost/log/attributes/current_thread_id.hpp>
#include <boost/log/core/core.hpp>
#include <boost/log/sinks/sync_frontend.hpp>
#include <boost/log/sinks/text_ostream_backend.hpp>
#include <boost/log/sources/record_ostream.hpp>
#include <boost/smart_ptr/make_shared_object.hpp>

#include <ctime>
#include <regex>
#include <sstream>

#include "logging/severity.h"
#include "logging_test_support.h"

namespace nuvrel::logging {
namespace {

namespace attrs = boost::log::attributes;
using boost::posix_time::ptime;
using boost::posix_time::time_from_string;
using Config = LogFormatConfig;

const ptime kStamp = time_from_string("2024-05-17 12:03:22.123456");

// One record with fully controlled attributes, formatted by a sink of its
// own (no other sink is registered while these tests run). Source attributes win over the thread's and the global ones, so the
// rest of the process cannot change what the record carries; the thread's
// "tname" is hidden while a record without a name is made.
class FormatTest : public ::testing::Test {
 protected:
  struct Record {
    Severity severity = Severity::warning;
    std::optional<std::string> threadName = std::string("main");
    std::string message = "Connection lost";
    boost::log::attribute_set extras;
  };

  std::string format(const Config& config, const Record& record) {
    auto core = boost::log::core::get();
    const bool wasEnabled = core->get_logging_enabled();
    const auto threadAttributes = core->get_thread_attributes();
    core->set_thread_attributes(boost::log::attribute_set());
    core->set_logging_enabled(true);

    std::ostringstream out;
    auto backend = boost::make_shared<boost::log::sinks::text_ostream_backend>();
    backend->add_stream(boost::shared_ptr<std::ostream>(&out, boost::null_deleter()));
    auto sink =
        boost::make_shared<boost::log::sinks::synchronous_sink<boost::log::sinks::text_ostream_backend>>(
            backend);
    sink->set_formatter(makeFormatter(config));
    core->add_sink(sink);

    boost::log::attribute_set source = record.extras;
    source.insert("ts", attrs::constant<ptime>(kStamp));
    source.insert("count", attrs::constant<unsigned int>(42));
    source.insert("tid", attrs::current_thread_id());
    source.insert("Severity", attrs::constant<Severity>(record.severity));
    if (record.threadName) {
      source.insert("tname", attrs::constant<std::string>(*record.threadName));
    }
    auto rec = core->open_record(source);
    EXPECT_TRUE(bool(rec));
    if (rec) {
      boost::log::record_ostream stream(rec);
      stream << record.message;
      stream.flush();
      stream.detach_from_record();
      core->push_record(std::move(rec));
    }

    core->remove_sink(sink);
    core->set_thread_attributes(threadAttributes);
    core->set_logging_enabled(wasEnabled);

    std::string text = out.str();
    if (!text.empty() && text.back() == '\n') {
      text.pop_back();
    }
    return text;
  }
};

const std::string kTid = "0x[0-9a-f]{16}";
const std::string kLocalStamp = R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{6})";

Config utcStandard() {
  Config c;
  c.timeZone = Config::TimeZone::utc;
  return c;
}

TEST(DateTimeFormatter, TimeZonesAndFormats) {
  struct Case {
    Config::TimeFormat format;
    int zone;
    const char* expected;
  };
  const Case cases[] = {
      {Config::TimeFormat::standard, 1, "2024-05-17 12:03:22.123456Z"},
      {Config::TimeFormat::iso8601, 1, "2024-05-17T12:03:22.123456Z"},
      {Config::TimeFormat::standard, 2, "2024-05-17 12:03:22.123456"},
      {static_cast<Config::TimeFormat>(7), 5, "2024-05-17T12:03:22.123456"},
  };
  for (const auto& c : cases) {
    DateTimeFormatter formatter(c.format, static_cast<Config::TimeZone>(c.zone));
    EXPECT_EQ(formatter.format(kStamp), c.expected);
  }
  // Whole seconds still show six digits.
  EXPECT_EQ(DateTimeFormatter(Config::TimeFormat::standard, Config::TimeZone::utc)
                .format(time_from_string("2024-01-02 03:04:05")),
            "2024-01-02 03:04:05.000000Z");
}

TEST(DateTimeFormatter, LocalTimeFollowsTheTimeZone) {
  testing::ScopedEnv tz("TZ", "XYZ-2");
  ::tzset();
  DateTimeFormatter formatter(Config::TimeFormat::standard, Config::TimeZone::local);
  const std::string text = formatter.format(kStamp);
  testing::ScopedEnv restore("TZ", nullptr);
  EXPECT_EQ(text, "2024-05-17 14:03:22.123456");
}

TEST_F(FormatTest, ClassicLineMatchesTheLayout) {
  const std::string line = format(Config{}, Record{});
  const std::regex layout("^" + kLocalStamp + " \\[" + kTid +
                          R"(/main           \] \[42\] \[warning\] Connection lost$)");
  EXPECT_TRUE(std::regex_match(line, layout)) << line;
}

TEST_F(FormatTest, UnnamedThreadWithOneExtraShowsNoExtras) {
  // Five standard values and one extra are six: no extras section.
  Record record;
  record.threadName.reset();
  record.severity = Severity::info;
  record.message = "hello";
  record.extras.insert("peer", attrs::constant<std::string>("x"));
  const std::string line = format(utcStandard(), record);
  const std::regex layout("^2024-05-17 12:03:22\\.123456Z \\[" + kTid +
                          R"(/unnamed_thread \] \[42\] \[info\] hello$)");
  EXPECT_TRUE(std::regex_match(line, layout)) << line;
}

TEST_F(FormatTest, ThreadNamesAreCutToFifteenOnlyInClassic) {
  Record record;
  record.threadName = "abcdefghijklmnopqrst";
  const std::string classic = format(Config{}, record);
  EXPECT_NE(classic.find("/abcdefghijklmno] [42]"), std::string::npos) << classic;

  Config logfmt;
  logfmt.logfmt = true;
  const std::string line = format(logfmt, record);
  EXPECT_NE(line.find(" tname=abcdefghijklmnopqrst "), std::string::npos) << line;

  record.threadName = "io";
  EXPECT_NE(format(Config{}, record).find("/io             ] [42]"), std::string::npos);
}

TEST_F(FormatTest, LogfmtLineQuotesTheMessage) {
  Config config = utcStandard();
  config.logfmt = true;
  config.timeFormat = Config::TimeFormat::standard;  // ignored: logfmt is always ISO
  Record record;
  record.message = R"(say "hi" \n)";
  const std::string line = format(config, record);
  const std::regex layout("^ts=2024-05-17T12:03:22\\.123456Z level=warning count=42 tid=" + kTid +
                          R"( tname=main msg="say \\"hi\\" \\n"$)");
  EXPECT_TRUE(std::regex_match(line, layout)) << line;
}

TEST_F(FormatTest, LogfmtWithoutThreadName) {
  Config config = utcStandard();
  config.logfmt = true;
  Record record;
  record.threadName.reset();
  const std::string line = format(config, record);
  EXPECT_NE(line.find(" tname= msg=\"Connection lost\""), std::string::npos) << line;
}

TEST_F(FormatTest, ExtraAttributesInBothLayouts) {
  Record record;
  record.extras.insert("peer", attrs::constant<std::string>("a \"b\""));
  record.extras.insert("blob", attrs::constant<std::vector<int>>({1, 2}));
  const std::string classic = format(Config{}, record);
  EXPECT_NE(classic.find("peer: a \"b\""), std::string::npos) << classic;
  EXPECT_NE(classic.find("blob: "), std::string::npos) << classic;
  EXPECT_NE(classic.find(") Connection lost"), std::string::npos) << classic;

  Config logfmt;
  logfmt.logfmt = true;
  const std::string line = format(logfmt, record);
  EXPECT_NE(line.find(R"(peer="a \"b\"" )"), std::string::npos) << line;
  // A value of a type the writer does not know is written empty.
  EXPECT_NE(line.find("blob= "), std::string::npos) << line;
}

TEST_F(FormatTest, ColoursBySeverity) {
  Config config;
  config.colored = true;
  struct Case {
    Severity severity;
    const char* prefix;
  };
  const Case cases[] = {
      {Severity::trace, ""},        {Severity::info, ""},           {Severity::status, ""},
      {Severity::warning, "\x1b[33m"}, {Severity::error, "\x1b[31m"}, {Severity::fatal, "\x1b[31m"},
  };
  for (const auto& c : cases) {
    Record record;
    record.severity = c.severity;
    const std::string line = format(config, record);
    SCOPED_TRACE(line);
    const std::string prefix = c.prefix;
    EXPECT_EQ(line.substr(0, prefix.size()), prefix);
    if (prefix.empty()) {
      EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(line.front())));
    }
    ASSERT_GE(line.size(), 4u);
    EXPECT_EQ(line.substr(line.size() - 4), "\x1b[0m");
  }
}

TEST(Quote, EscapesOnlyDoubleQuotes) {
  EXPECT_EQ(quote(""), R"("")");
  EXPECT_EQ(quote("plain"), R"("plain")");
  EXPECT_EQ(quote(R"(a"b")"), R"("a\"b\"")");
  EXPECT_EQ(quote("back\\slash\ttab"), "\"back\\slash\ttab\"");
}

TEST(KnownAttributes, SixStandardNames) {
  const auto ids = makeKnownAttributeIdsArray();
  EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
  for (const char* name : {"ts", "count", "tid", "tname", "Severity", "Message"}) {
    EXPECT_FALSE(isExtraAttribute(boost::log::attribute_name(name))) << name;
  }
  EXPECT_TRUE(isExtraAttribute(boost::log::attribute_name("peer")));
}

}  // namespace
}  // namespace nuvrel::logging
