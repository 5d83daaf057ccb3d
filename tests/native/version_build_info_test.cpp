#include "version/build_info.h"

#include <gtest/gtest.h>

#include <cstring>

namespace nuvrel::version {
namespace {

struct InterpreterCase {
  const char* builtFor;
  const char* interpreter;
  bool matches;
};

TEST(InterpreterMatches, ComparesTheVersionLine) {
  const InterpreterCase cases[] = {
      {"3.11", "3.11.7", true},
      {"3.11", "3.11.7 (main, Dec  4 2023, 18:10:11) [GCC 12.2.0]", true},
      {"3.11", "3.11", true},
      {"3.11", "3.110", false},
      {"3.11", "3.1", false},
      {"3.11", "3.12.0", false},
      {"3.11", "", false},
      {"3.15", "3.15.2", true},
      {"3.15", "3.150", false},
      {"3.15", "3.14.1", false},
      {"", "3.11.7", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(interpreterMatches(c.builtFor, c.interpreter), c.matches)
        << "built for " << c.builtFor << ", interpreter " << c.interpreter;
  }
}

TEST(CommitHash, IsFortyLowercaseHexDigits) {
  const char* hash = commitHash();
  ASSERT_EQ(std::strlen(hash), 40u);
  for (const char* p = hash; *p; ++p) {
    EXPECT_TRUE((*p >= '0' && *p <= '9') || (*p >= 'a' && *p <= 'f')) << hash;
  }
}

}  // namespace
}  // namespace nuvrel::version
