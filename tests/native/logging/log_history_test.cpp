#include "logging/log_history.h"

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <ctime>

#include "logging/logger.h"
#include "logging_test_support.h"

namespace nuvrel::logging {
namespace {

namespace fs = boost::filesystem;
using testing::LoggingTest;

class LogHistoryTest : public LoggingTest {
 protected:
  void SetUp() override {
    LoggingTest::SetUp();
    auto& state = detail::loggerState();
    state.lastAppName = "CapnpBindings";
    state.logPathApplication = dir_.str();
  }

  // A file of `size` bytes made of numbered 20-byte lines, written `age`
  // seconds ago.
  std::string writeLogFile(const std::string& name, char tag, std::size_t size, int age) {
    std::string text;
    for (int line = 0; text.size() < size; ++line) {
      text += fmt::format("{} line {:04} .....\n", tag, line).substr(0, 19) + "\n";
    }
    text.resize(size);
    const fs::path path = dir_.path() / name;
    fs::ofstream(path, std::ios_base::binary) << text;
    fs::last_write_time(path, std::time(nullptr) - age);
    return text;
  }

  std::string header() const {
    return "(All log files for CapnpBindings can be found here: " + dir_.str() + ")\r\n\r\n";
  }
};

TEST_F(LogHistoryTest, LargeLimitReturnsTheFilesWholeOldestFirst) {
  const auto a = writeLogFile("CapnpBindings_20240101_00000.log", 'a', 400, 300);
  const auto b = writeLogFile("CapnpBindings_20240101_00001.log", 'b', 400, 200);
  const auto c = writeLogFile("capnpbindings_20240101_00002.log", 'c', 400, 100);
  writeLogFile("Other_20240101_00000.log", 'x', 400, 50);
  fs::create_directory(dir_.path() / "CapnpBindings_dir");

  const std::string history = getLogHistory(10000);
  EXPECT_EQ(history, header() + detail::toCrLf(a) + detail::toCrLf(b) + detail::toCrLf(c));
}

TEST_F(LogHistoryTest, SmallLimitKeepsTheEndFromALineStart) {
  const auto a = writeLogFile("CapnpBindings_20240101_00000.log", 'a', 400, 300);
  const auto b = writeLogFile("CapnpBindings_20240101_00001.log", 'b', 400, 200);
  const auto c = writeLogFile("CapnpBindings_20240101_00002.log", 'c', 400, 100);
  const std::string joined = detail::toCrLf(a) + detail::toCrLf(b) + detail::toCrLf(c);

  const std::string history = getLogHistory(1000);
  ASSERT_TRUE(history.starts_with(header()));
  EXPECT_LE(history.size(), 1000u);
  const std::string rest = history.substr(header().size());
  ASSERT_FALSE(rest.empty());
  EXPECT_TRUE(joined.ends_with(rest));
  // It begins right after a line end of the joined text...
  const std::size_t start = joined.size() - rest.size();
  EXPECT_EQ(joined.substr(start - 2, 2), "\r\n");
  // ...and is the longest such end that fits.
  const std::size_t limitStart = joined.size() - (1000 - header().size());
  EXPECT_EQ(start, joined.find("\r\n", limitStart) + 2);
  // The third file (pushing the sum over the limit) contributes: some of
  // the oldest file's lines are still there.
  EXPECT_NE(rest.find("a line"), std::string::npos);
}

TEST_F(LogHistoryTest, NoDirectoryNoHistory) {
  detail::loggerState().logPathApplication.clear();
  writeLogFile("CapnpBindings_20240101_00000.log", 'a', 100, 10);
  EXPECT_EQ(getLogHistory(1000), "");
}

TEST(ChooseHistoryFiles, StopsAfterTheFileThatExceedsTheLimitOrAtFive) {
  std::vector<detail::LogFileInfo> files;
  for (int i = 0; i < 7; ++i) {
    files.push_back({fs::path("f" + std::to_string(i)), i, 100});
  }
  auto names = [](const std::vector<detail::LogFileInfo>& chosen) {
    std::string text;
    for (const auto& f : chosen) {
      text += f.path.string() + " ";
    }
    return text;
  };
  EXPECT_EQ(names(detail::chooseHistoryFiles(files, 150)), "f5 f6 ");
  EXPECT_EQ(names(detail::chooseHistoryFiles(files, 200)), "f4 f5 f6 ");
  EXPECT_EQ(names(detail::chooseHistoryFiles(files, 0)), "f6 ");
  EXPECT_EQ(names(detail::chooseHistoryFiles(files, 100000)), "f2 f3 f4 f5 f6 ");
  EXPECT_EQ(names(detail::chooseHistoryFiles({}, 100)), "");
}

TEST(CutLogHistory, Cases) {
  struct Case {
    std::string content;
    std::size_t maxBytes;
    std::string expected;
  };
  const std::string h = "HEAD\r\n";  // 6 characters
  const Case cases[] = {
      {"a\r\nb\r\n", 100, h + "a\r\nb\r\n"},
      {"a\r\nb\r\n", 12, h + "a\r\nb\r\n"},  // exactly the limit
      {"aa\r\nbb\r\ncc\r\n", 14, h + "cc\r\n"},
      {"aa\r\nbb\r\ncc\r\n", 13, h + "cc\r\n"},
      {"aa\r\nbb\r\ncc\r\n", 12, h + "cc\r\n"},
      {"aa\r\nbb\r\ncc\r\n", 16, h + "bb\r\ncc\r\n"},
      // A line without an end after the cut: nothing of it is kept.
      {"aa\r\nbbbbbbbbbb", 10, h},
      // A limit below the header's length: the header alone.
      {"aa\r\nbb\r\n", 2, h},
  };
  for (const auto& c : cases) {
    const std::string result = detail::cutLogHistory(h, c.content, c.maxBytes);
    EXPECT_EQ(result, c.expected) << c.maxBytes;
    EXPECT_LE(result.size(), std::max(c.maxBytes, h.size()));
  }
  EXPECT_EQ(detail::toCrLf("a\nb\r\n"), "a\r\nb\r\r\n");
}

}  // namespace
}  // namespace nuvrel::logging
