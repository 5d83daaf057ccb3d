// The hello message: its 256-byte layout, its parsing, and the checks the
// client applies to what a server announces in it.

#include <boost/lexical_cast/bad_lexical_cast.hpp>
#include <gtest/gtest.h>
#include <capnp/message.h>
#include <kj/exception.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "errors/exception.h"
#include "errors/python_errc.h"
#include "protocol/hello_message.h"
#include "protocol/pre_capnp_handshake.h"

namespace nuvrel {
namespace {

using nuvrel_capnp::HelloMsg;

// `json` laid out as a server sends it.
std::string padded(const std::string& json) {
  std::string text = json + "\n";
  text.resize(255, ' ');
  return text + '\0';
}

kj::ArrayPtr<const kj::byte> bytesOf(const std::string& text) {
  return kj::arrayPtr(reinterpret_cast<const kj::byte*>(text.data()), text.size());
}

TEST(HelloMessage, MakeLaysOutJsonLineFeedSpacesAndNul) {
  auto text = HelloMessage::make(HelloMsg::Kind::ORCHESTRATOR, "1.17.0", HelloMsg::Protocol::CAPNP);
  const std::string json =
      R"({"kind":"orchestrator","protocol":"capnp","schema":"1.17.0","pvVer":"26.11.0"})";
  ASSERT_EQ(text.size(), 256u);
  EXPECT_EQ(text.substr(0, json.size()), json);
  EXPECT_EQ(text[json.size()], '\n');
  EXPECT_EQ(text.find_first_not_of(' ', json.size() + 1), 255u);
  EXPECT_EQ(text[255], '\0');
  EXPECT_EQ(text, padded(json));
}

TEST(HelloMessage, ToStringRefusesJsonThatLeavesNoRoomForTheTerminators) {
  capnp::MallocMessageBuilder message;
  auto hello = message.initRoot<HelloMsg>();
  hello.setKind(HelloMsg::Kind::CLIENT);
  hello.setSchema("");
  const auto base = HelloMessage::toString(hello.asReader()).find('\n');

  // 254 bytes of JSON: the line feed lands in byte 254, no space is left.
  hello.setSchema(std::string(254 - base, 'x'));
  auto full = HelloMessage::toString(hello);
  ASSERT_EQ(full.size(), 256u);
  EXPECT_EQ(full[254], '\n');
  EXPECT_EQ(full[255], '\0');

  hello.setSchema(std::string(255 - base, 'x'));
  try {
    HelloMessage::toString(hello.asReader());
    ADD_FAILURE() << "accepted 255 bytes of JSON";
  } catch (const Exception& error) {
    EXPECT_EQ(error.code(), make_error_code(PythonCapnpErrc::valueError));
    EXPECT_EQ(std::string(error.what()),
              "The hello message needs 255 bytes of JSON, but at most 254 fit in its 256 bytes.");
  }
}

TEST(HelloMessage, FromRawBufferReadsWhatMakeWrote) {
  auto text = HelloMessage::make(HelloMsg::Kind::VKR, "1.2.3", HelloMsg::Protocol::HTTP);
  auto hello = HelloMessage::fromRawBuffer(bytesOf(text));
  EXPECT_EQ(hello->getKind(), HelloMsg::Kind::VKR);
  EXPECT_EQ(hello->getProtocol(), HelloMsg::Protocol::HTTP);
  EXPECT_EQ(hello->getSchema(), "1.2.3");
  EXPECT_EQ(hello->getPvVer(), "26.11.0");
}

TEST(HelloMessage, FromRawBufferIgnoresUnknownMembersAndKeepsDefaults) {
  auto hello = HelloMessage::fromRawBuffer(
      bytesOf(padded(R"({"kind":"orchestrator","future":{"a":[1,2]},"pvVer":"24.1.0"})")));
  EXPECT_EQ(hello->getKind(), HelloMsg::Kind::ORCHESTRATOR);
  EXPECT_EQ(hello->getProtocol(), HelloMsg::Protocol::CAPNP);  // the default
  EXPECT_FALSE(hello->hasSchema());
  EXPECT_EQ(hello->getPvVer(), "24.1.0");

  // The JSON ends at the first NUL; what follows is not looked at.
  std::string early = padded(R"({"kind":"vkr"})");
  early[20] = '\0';
  early[21] = '{';
  EXPECT_EQ(HelloMessage::fromRawBuffer(bytesOf(early))->getKind(), HelloMsg::Kind::VKR);
}

TEST(HelloMessage, FromRawBufferRefusesBadBuffers) {
  const std::string noNul =
      R"({"kind":"orchestrator","protocol":"capnp","schema":"1.17.0","pvVer":"26.11.0"})";
  std::string spaceAtEnd = padded(noNul);
  spaceAtEnd[255] = ' ';
  for (const auto& text : {spaceAtEnd, std::string()}) {
    try {
      HelloMessage::fromRawBuffer(bytesOf(text));
      ADD_FAILURE() << "accepted a buffer without the closing NUL";
    } catch (const Exception& error) {
      EXPECT_EQ(std::string(error.what()),
                "The server sent a hello message without null termination. This is not "
                "accepted.");
    }
  }
  for (const auto& text : {padded("<html><body>Welcome</body></html>"), padded(""),
                           padded(R"({"kind":"nonsense"})"), padded(R"({"kind":"vkr"} {})")}) {
    SCOPED_TRACE(text.substr(0, text.find('\n')));
    EXPECT_THROW(HelloMessage::fromRawBuffer(bytesOf(text)), kj::Exception);
  }
}

TEST(HelloMessage, ProtocolText) {
  EXPECT_EQ(toString(HelloMsg::Protocol::UNKNOWN), "unknown");
  EXPECT_EQ(toString(HelloMsg::Protocol::CAPNP), "capnp");
  EXPECT_EQ(toString(HelloMsg::Protocol::HTTP), "http");
  try {
    toString(HelloMsg::Protocol(3));
    ADD_FAILURE() << "no exception";
  } catch (const KSInternalException& error) {
    EXPECT_EQ(std::string(error.what()), "Unknown protocol in HelloMsg::Protocol");
  }
}

TEST(PreCapnpHandshake, ParseFailuresAllLookLikeAForeignServer) {
  std::string spaceAtEnd = padded(R"({"kind":"orchestrator"})");
  spaceAtEnd[255] = ' ';
  for (const auto& text : {spaceAtEnd, padded("<!DOCTYPE html><html>")}) {
    try {
      PreCapnpHandshake::parseHelloMessage(bytesOf(text));
      ADD_FAILURE() << "accepted";
    } catch (const KSIOInternalException& error) {
      EXPECT_EQ(std::string(error.what()),
                "The server cannot be recognized as a Kestrane Server. Please make sure host "
                "and port are correct.");
    }
  }
}

TEST(PreCapnpHandshake, ClientVersionAndServerTypes) {
  EXPECT_EQ(PreCapnpHandshake::clientVersion(), SemVer(1, 17, 0));
  using ServerType = PreCapnpHandshake::ServerType;
  EXPECT_EQ(PreCapnpHandshake::toKind(ServerType::unknown), HelloMsg::Kind::UNKNOWN);
  EXPECT_EQ(PreCapnpHandshake::toKind(ServerType::orchestrator), HelloMsg::Kind::ORCHESTRATOR);
  EXPECT_EQ(PreCapnpHandshake::toKind(ServerType::vkr), HelloMsg::Kind::VKR);
  EXPECT_EQ(PreCapnpHandshake::toKind(ServerType(3)), HelloMsg::Kind::UNKNOWN);
}

TEST(PreCapnpHandshake, ChecksSchemaThenKindThenProductVersion) {
  using ServerType = PreCapnpHandshake::ServerType;
  const auto accept = OnOrvaneVersionMismatch::accept;
  const auto raise = OnOrvaneVersionMismatch::raise;
  const std::string notSupported =
      "The server is not supported. This usually indicates a outdated client. Please update the "
      "client to the latest Orvane release.";

  enum class Outcome { passes, versionMismatch, notSupported, parseError, lexicalCast };
  struct Case {
    std::string json;
    ServerType expected;
    OnOrvaneVersionMismatch policy;
    Outcome outcome;
    std::string message;  // for versionMismatch and notSupported
  };
  const std::vector<Case> cases = {
      {R"({"kind":"orchestrator","protocol":"capnp","schema":"1.99.3","pvVer":"24.1.0"})",
       ServerType::orchestrator, accept, Outcome::passes, ""},
      {R"({"kind":"orchestrator","protocol":"capnp","schema":"2.0.0","pvVer":"24.1.0"})",
       ServerType::orchestrator, accept, Outcome::versionMismatch,
       clientSchemaTooOldMessage(CalVer(24, 1, 0))},
      {R"({"kind":"orchestrator","protocol":"capnp","schema":"0.9.0","pvVer":"24.1.0"})",
       ServerType::orchestrator, accept, Outcome::versionMismatch,
       serverSchemaTooOldMessage(CalVer(24, 1, 0))},
      // No schema counts as 1.0.0: same major.
      {R"({"kind":"orchestrator","protocol":"capnp","pvVer":"24.1.0"})", ServerType::orchestrator,
       accept, Outcome::passes, ""},
      {R"({"kind":"vkr","protocol":"capnp","schema":"1.17.0","pvVer":"26.11.0"})",
       ServerType::orchestrator, accept, Outcome::notSupported, notSupported},
      // The schema is checked before the kind.
      {R"({"kind":"vkr","schema":"3.0.0","pvVer":"26.11.0"})", ServerType::orchestrator, accept,
       Outcome::versionMismatch, clientSchemaTooOldMessage(CalVer(26, 11, 0))},
      {R"({"kind":"vkr","schema":"1.17.0"})", ServerType::vkr, accept, Outcome::passes, ""},
      {R"({"kind":"orchestrator","schema":"1.17.0","pvVer":"26.10.0"})", ServerType::orchestrator,
       raise, Outcome::versionMismatch, productVersionMismatchMessage(CalVer(26, 10, 0))},
      {R"({"kind":"orchestrator","schema":"1.17.0","pvVer":"26.11.7"})", ServerType::orchestrator,
       raise, Outcome::passes, ""},
      {R"({"kind":"orchestrator","schema":"1.17"})", ServerType::orchestrator, accept,
       Outcome::parseError, "Invalid version expression: '1.17'."},
      {R"({"kind":"orchestrator","schema":"1.17.0","pvVer":"26.11.0.x"})",
       ServerType::orchestrator, accept, Outcome::lexicalCast, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.json);
    auto text = padded(c.json);
    auto check = [&] {
      PreCapnpHandshake::parseAndCheckHelloMessage(bytesOf(text), c.expected, c.policy);
    };
    switch (c.outcome) {
      case Outcome::passes: EXPECT_NO_THROW(check()); break;
      case Outcome::versionMismatch:
        try {
          check();
          ADD_FAILURE() << "passed";
        } catch (const ApiVersionMismatchException& error) {
          EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos)
              << error.what();
        }
        break;
      case Outcome::notSupported:
        try {
          check();
          ADD_FAILURE() << "passed";
        } catch (const KSIOInternalException& error) {
          EXPECT_EQ(std::string(error.what()), c.message);
        }
        break;
      case Outcome::parseError:
        try {
          check();
          ADD_FAILURE() << "passed";
        } catch (const Exception& error) {
          EXPECT_EQ(std::string(error.what()), c.message);
        }
        break;
      case Outcome::lexicalCast: EXPECT_THROW(check(), boost::bad_lexical_cast); break;
    }
  }
}

}  // namespace
}  // namespace nuvrel
