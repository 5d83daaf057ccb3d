// Product and schema versions: parsing, the packed forms, and the checks and
// messages by which a connection refuses an incompatible data server.

#include <boost/lexical_cast/bad_lexical_cast.hpp>
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "errors/exception.h"
#include "version/build_info.h"
#include "version/cal_ver.h"
#include "version/orvane_version_check.h"
#include "version/sem_ver.h"
#include "version/version_triple.h"

namespace nuvrel {
namespace {

TEST(VersionTriple, ExtractsLeniently) {
  struct Case {
    std::string text;
    VersionTriple expected;
  };
  const std::vector<Case> cases = {
      {"26.11.0.336", {26, 11, 0}},
      {"26", {26, 0, 0}},
      {"26.11", {26, 11, 0}},
      {"1.2.3.x.y", {1, 2, 3}},  // parts after the third are not looked at
      {"26..1", {0, 0, 0}},
      {"", {0, 0, 0}},
      {"1.2.x", {0, 0, 0}},
      {"1. 2.3", {0, 0, 0}},
      {"+1.2.3", {1, 2, 3}},
      {"-1.0.0", {UINT64_MAX, 0, 0}},
      {"18446744073709551616.0.0", {0, 0, 0}},  // 2^64 does not fit
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(extractVersionTriple(c.text), c.expected);
  }
  EXPECT_EQ(toString(VersionTriple{26, 11, 0}), "26.11.0");
  EXPECT_FALSE(isSet(VersionTriple{0, 0, 0}));
  EXPECT_TRUE(isSet(VersionTriple{0, 0, 1}));
}

TEST(CalVer, ParsesTextForms) {
  struct Case {
    std::string text;
    CalVer expected;
  };
  const std::vector<Case> cases = {
      {"26.11.0.336", CalVer(26, 11, 0, 336)},
      {"26.11", CalVer(26, 11, 0, 0)},
      {"x.y", CalVer()},
      {"", CalVer()},
      {"26.11.0.1.2", CalVer(26, 11, 0, 0)},  // four dots: not the build form
      {"26.11.0.+7", CalVer(26, 11, 0, 7)},
      {"x.11.0.7", CalVer(0, 0, 0, 7)},  // the triple is lenient, the build is not
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    CalVer parsed(c.text);
    EXPECT_EQ(parsed, c.expected);
    EXPECT_EQ(parsed.build(), c.expected.build());
  }
  EXPECT_THROW(CalVer("26.11.0.abc"), boost::bad_lexical_cast);
  EXPECT_THROW(CalVer("26.11.0."), boost::bad_lexical_cast);
}

TEST(CalVer, ComparesAllFourFieldsButPrintsThree) {
  EXPECT_EQ(toString(CalVer(26, 11, 0, 336)), "26.11.0");
  EXPECT_NE(CalVer(26, 11, 0, 336), CalVer(26, 11, 0, 0));
  EXPECT_LT(CalVer(26, 11, 0, 0), CalVer(26, 11, 0, 1));
  EXPECT_LT(CalVer(25, 12, 9, 9), CalVer(26, 1, 0, 0));
  EXPECT_LT(CalVer(26, 10, 9, 0), CalVer(26, 11, 0, 0));
  EXPECT_FALSE(isSet(CalVer()));
  EXPECT_TRUE(isSet(CalVer(0, 0, 0, 1)));
  std::ostringstream out;
  out << CalVer(26, 11, 2, 5);
  EXPECT_EQ(out.str(), "26.11.2");
}

TEST(CalVer, DecimalAndBinaryForms) {
  const CalVer release(26, 11, 0, 336);
  EXPECT_EQ(asDecimal(release), 261100336u);
  EXPECT_EQ(asBinary(release), 0x1A0B0150u);
  EXPECT_EQ(fromDecimal(261100336u), release);
  EXPECT_EQ(fromBinary(0x1A0B0150u), release);
  EXPECT_EQ(fromDecimal(std::string("261100336")), release);
  EXPECT_EQ(fromDecimal(std::string()), CalVer());

  // Fields wider than their slot are cut, not carried into the neighbour.
  const CalVer wide(2026, 123, 17, 12345);
  EXPECT_EQ(asDecimal(wide), 26u * 10'000'000 + 23u * 100'000 + 7u * 10'000 + 2345u);
  EXPECT_EQ(asBinary(CalVer(26, 0x1FF, 0x1F, 0x1FFF)), 0x1AFFFFFFu);
  EXPECT_EQ(fromBinary(0xFFFFFFFFu), CalVer(255, 255, 15, 4095));

  for (const char* bad : {"abc", "26.11", "12 34", "99999999999"}) {
    SCOPED_TRACE(bad);
    try {
      fromDecimal(std::string(bad));
      ADD_FAILURE() << "no exception";
    } catch (const Exception& error) {
      EXPECT_EQ(std::string(error.what()), std::string("Invalid revision '") + bad + "'.");
      EXPECT_EQ(error.code(), make_error_code(KS_ERROR_GENERAL));
    }
  }
}

TEST(SemVer, ParsesTheSemanticVersionGrammar) {
  struct Case {
    std::string text;
    std::optional<SemVer> expected;  // nullopt: refused
  };
  const std::vector<Case> cases = {
      {"1.17.0", SemVer(1, 17, 0)},
      {" 1.17.0 ", SemVer(1, 17, 0)},
      {"\t1.17.0\n", SemVer(1, 17, 0)},
      {"1.2.3-rc.1+b5", SemVer(1, 2, 3)},
      {"0.0.0", SemVer()},
      {"", SemVer()},
      {"   ", SemVer()},
      {"1.17", std::nullopt},
      {"01.2.3", std::nullopt},
      {"1.2.3.4", std::nullopt},
      {"1.2.3-", std::nullopt},
      {"1.2.3-01", std::nullopt},
      {"v1.2.3", std::nullopt},
      {"1 .2.3", std::nullopt},
      {"99999999999999999999.0.0", std::nullopt},  // does not fit 64 bits
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    if (c.expected) {
      EXPECT_EQ(SemVer(c.text), *c.expected);
      continue;
    }
    try {
      SemVer version(c.text);
      ADD_FAILURE() << "accepted as " << version;
    } catch (const Exception& error) {
      EXPECT_EQ(std::string(error.what()), "Invalid version expression: '" + c.text + "'.");
    }
  }
}

TEST(SemVer, OrdersAndPrints) {
  EXPECT_LT(SemVer(1, 17, 0), SemVer(1, 17, 1));
  EXPECT_LT(SemVer(1, 99, 99), SemVer(2, 0, 0));
  EXPECT_EQ(SemVer(2, 0, 1).toString(), "2.0.1");
  EXPECT_EQ(SemVer("1.17.0").major(), 1u);
  EXPECT_EQ(SemVer("1.17.0").minor(), 17u);
  EXPECT_EQ(SemVer("1.17.4").patch(), 4u);
  EXPECT_FALSE(SemVer().isSet());
  EXPECT_TRUE(SemVer(0, 0, 1).isSet());
}

TEST(OrvaneVersion, ClientConstants) {
  EXPECT_EQ(clientOrvaneVersion(), CalVer(26, 11, 0, 0));
  EXPECT_EQ(getOrvaneVersion(), CalVer(26, 11, 0, 336));
  EXPECT_EQ(getOrvaneVersionWithCommitHash(),
            "26.11.0.336 (" + std::string(version::commitHash()).substr(0, 12) + ")");
}

TEST(OrvaneVersion, CheckVersionMatchByPolicy) {
  struct Case {
    CalVer server;
    OnOrvaneVersionMismatch policy;
    bool accepted;
  };
  const std::vector<Case> cases = {
      {CalVer(26, 10, 0), OnOrvaneVersionMismatch::raise, false},
      {CalVer(26, 10, 0), OnOrvaneVersionMismatch::accept, true},
      {CalVer(26, 11, 9), OnOrvaneVersionMismatch::raise, true},
      {CalVer(26, 11, 9), OnOrvaneVersionMismatch::accept, true},
      {CalVer(26, 11, 0, 999), OnOrvaneVersionMismatch::raise, true},
      {CalVer(27, 11, 0), OnOrvaneVersionMismatch::raise, false},
      {CalVer(), OnOrvaneVersionMismatch::raise, false},
      {CalVer(26, 10, 0), OnOrvaneVersionMismatch(7), false},  // any non-zero is strict
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(toString(c.server) + " policy " + std::to_string(int(c.policy)));
    if (c.accepted) {
      EXPECT_NO_THROW(checkVersionMatch(c.server, c.policy));
    } else {
      EXPECT_THROW(checkVersionMatch(c.server, c.policy), ApiVersionMismatchException);
    }
  }
}

TEST(OrvaneVersion, ProductMismatchMessageNamesTheSideToUpdate) {
  const std::string prefix = "Version mismatch detected. The server is at Orvane version '";
  try {
    checkVersionMatch(CalVer(27, 1, 0), OnOrvaneVersionMismatch::raise);
    ADD_FAILURE() << "no exception";
  } catch (const ApiVersionMismatchException& error) {
    EXPECT_EQ(productVersionMismatchMessage(CalVer(27, 1, 0)),
              prefix + "27.1.0' but the client is at Orvane version '26.11.0'. Please update the "
                       "Orvane client to the newer version by installing the corresponding "
                       "Python/MATLAB/C/.NET API of Orvane software.");
    EXPECT_NE(std::string(error.what()).find(productVersionMismatchMessage(CalVer(27, 1, 0))),
              std::string::npos)
        << error.what();
    EXPECT_EQ(error.code(), make_error_code(KS_ERROR_CONNECTION_INVALID));
  }
  EXPECT_EQ(productVersionMismatchMessage(CalVer(26, 10, 3)),
            prefix + "26.10.3' but the client is at Orvane version '26.11.0'. Please update the "
                     "Orvane data-server to the newer version by installing the corresponding "
                     "Orvane software package available at https://example.com/downloads.");
}

TEST(OrvaneVersion, SchemaMismatchMessages) {
  const std::string sameRelease =
      "Incompatible server version. Please ensure the client and server run on the same Orvane "
      "version.";
  struct Case {
    CalVer server;
    std::string serverTooOld;
    std::string clientTooOld;
  };
  const std::vector<Case> cases = {
      {CalVer(26, 11, 0), sameRelease, sameRelease},
      {CalVer(24, 1, 0),
       "The server version is too old. The server runs on version '24.1.0' but the client runs on "
       "version '26.11.0'. Please update the Orvane Software.",
       "The client version is too old to connect to the data server. The client is on version "
       "26.11.0 while the server is on version 24.1.0"},
      // Same year, month and patch but another build: not the same release.
      {CalVer(26, 11, 0, 336),
       "The server version is too old. The server runs on version '26.11.0' but the client runs on "
       "version '26.11.0'. Please update the Orvane Software.",
       "The client version is too old to connect to the data server. The client is on version "
       "26.11.0 while the server is on version 26.11.0"},
      {CalVer(),
       "The server version is too old. The server runs on version 'unknown' but the client runs on "
       "version '26.11.0'. Please update the Orvane Software.",
       "The client version is too old to connect to the data server. The client is on version "
       "26.11.0 while the server is on version unknown"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(toString(c.server) + "." + std::to_string(c.server.build()));
    EXPECT_EQ(serverSchemaTooOldMessage(c.server), c.serverTooOld);
    EXPECT_EQ(clientSchemaTooOldMessage(c.server), c.clientTooOld);
  }
}

}  // namespace
}  // namespace nuvrel
