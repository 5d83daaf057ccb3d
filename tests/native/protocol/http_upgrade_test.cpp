// The data-server opening end to end on real loopback sockets: a scripted
// server on the test's event loop sends the hello, records the HTTP request
// and answers by scenario; bodies are built with the generated builders
// directly, independently of the conversions under test.
#include "protocol/http_protocol_upgrade.h"

#include <capnp/rpc-twoparty.h>
#include <capnp/serialize.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "errors/exception.h"
#include "kj/http_header.h"
#include "kj/rpc_client.h"
#include "protocol/pre_capnp_handshake.h"
#include "runtime/orvane_connection_provider.h"
#include "support/event_loop.h"
#include "test_echo.capnp.h"
#include "version/orvane_version_check.h"

namespace nuvrel {
namespace {

using kj_asio::ThreadLocalExecutor;
using testing::waitFor;
using namespace std::chrono_literals;

constexpr const char* kUid = "0123456789abcdef0123456789abcdef";

std::string hello(const std::string& json) {
  std::string text = json + "\n";
  text.resize(255, ' ');
  text.push_back('\0');
  return text;
}

std::string goodHello() {
  return hello(R"({"kind":"orchestrator","protocol":"capnp","schema":"1.17.0","pvVer":"26.11.0"})");
}

std::string head(const std::string& statusLine, const std::vector<std::string>& headers) {
  std::string text = statusLine + "\r\n";
  for (const auto& header : headers) {
    text += header + "\r\n";
  }
  return text + "\r\n";
}

std::string withBody(const std::string& statusLine, std::vector<std::string> headers,
                     const std::string& body) {
  headers.push_back("Content-Length: " + std::to_string(body.size()));
  return head(statusLine, headers) + body;
}

std::string bytesOf(capnp::MessageBuilder& message) {
  auto words = capnp::messageToFlatArray(message);
  auto bytes = words.asBytes();
  return std::string(bytes.asChars().begin(), bytes.size());
}

std::string descriptorBody(std::uint16_t port, std::size_t uidSize = 16) {
  capnp::MallocMessageBuilder message;
  auto ok = message.initRoot<KernelRequestResult>().initOk();
  ok.setHost("kernel.example");
  ok.setPort(port);
  std::vector<kj::byte> uid(uidSize, 0xab);
  ok.setUid(kj::arrayPtr(uid.data(), uid.size()));
  ok.setProtocol(nuvrel_capnp::ClientWireProtocol::CAPNP);
  ok.setVersion("26.11.0");
  return bytesOf(message);
}

std::string errorBody(nuvrel_capnp::ErrorCode code, const char* text) {
  capnp::MallocMessageBuilder message;
  auto err = message.initRoot<KernelRequestResult>().initErr();
  err.setCode(code);
  err.setMessage(text);
  return bytesOf(message);
}

class EchoImpl final : public TestEcho::Server {
 protected:
  kj::Promise<void> echo(EchoContext context) override {
    context.getResults().setText(context.getParams().getText());
    return kj::READY_NOW;
  }
};

// Puts `prefix` in front of the first write, so that it and the first bytes
// of the RPC system leave in one write.
class PrefixFirstWrite final : public kj::AsyncIoStream {
 public:
  PrefixFirstWrite(kj::AsyncIoStream& inner, std::string prefix)
      : inner_(inner), prefix_(std::move(prefix)) {}
  kj::Promise<size_t> tryRead(void* buffer, size_t minBytes, size_t maxBytes) override {
    return inner_.tryRead(buffer, minBytes, maxBytes);
  }
  kj::Promise<void> write(const void* buffer, size_t size) override {
    kj::ArrayPtr<const kj::byte> piece(static_cast<const kj::byte*>(buffer), size);
    return write(kj::arrayPtr(&piece, 1));
  }
  kj::Promise<void> write(kj::ArrayPtr<const kj::ArrayPtr<const kj::byte>> pieces) override {
    if (prefix_.empty()) {
      return inner_.write(pieces);
    }
    auto all = kj::heapString(prefix_.data(), prefix_.size());
    for (const auto& piece : pieces) {
      all = kj::str(all, kj::arrayPtr(piece.asChars().begin(), piece.size()));
    }
    prefix_.clear();
    auto& text = all;
    return inner_.write(text.begin(), text.size()).attach(kj::mv(all));
  }
  kj::Promise<void> whenWriteDisconnected() override { return inner_.whenWriteDisconnected(); }
  void shutdownWrite() override { inner_.shutdownWrite(); }

 private:
  kj::AsyncIoStream& inner_;
  std::string prefix_;
};

// One accepted connection at a time, scripted.
class FakeDataServer {
 public:
  struct Script {
    std::optional<std::string> hello = goodHello();  // nullopt: say nothing at all
    bool readRequest = true;
    std::string response;  // written after the request
    // After `response` (a 101 head): serve TestEcho on the connection.
    bool serveRpc = false;
    // Send `response` together with the server's first RPC message, a
    // bootstrap question to the client.
    bool earlyRpcBytes = false;
    bool closeAfterResponse = true;
  };

  FakeDataServer(kj::Network& network, ThreadLocalExecutor<>& executor)
      : listener_(waitFor(executor, network.parseAddress("127.0.0.1", 0))->listen()),
        port_(static_cast<std::uint16_t>(listener_->getPort())) {}
  // The RPC system goes before its network and both before the streams
  // (reverse declaration order).
  ~FakeDataServer() noexcept {}

  std::uint16_t port() const { return port_; }

  void start(Script script) {
    script_ = std::move(script);
    serving_ = listener_->accept()
                   .then([this](kj::Own<kj::AsyncIoStream>&& stream) {
                     stream_ = kj::mv(stream);
                     return run();
                   })
                   .eagerlyEvaluate([this](kj::Exception&& e) { failure = e.getDescription().cStr(); });
  }

  std::string request;
  std::string failure;
  bool clientClosed = false;
  // Set once the client's RPC system answered the early bootstrap question.
  std::optional<std::string> earlyQuestionAnswer;

 private:
  kj::Promise<void> run() {
    if (!script_.hello) {
      return drain();
    }
    auto& text = *script_.hello;
    return stream_->write(text.data(), text.size()).then([this]() -> kj::Promise<void> {
      if (!script_.readRequest) {
        return finish();
      }
      return readRequest().then([this]() { return answer(); });
    });
  }

  kj::Promise<void> readRequest() {
    return stream_->tryRead(buffer_, 1, sizeof(buffer_)).then([this](size_t n) -> kj::Promise<void> {
      if (n == 0) {
        return kj::READY_NOW;
      }
      request.append(buffer_, n);
      if (request.find("\r\n\r\n") != std::string::npos) {
        return kj::READY_NOW;
      }
      return readRequest();
    });
  }

  kj::Promise<void> answer() {
    if (script_.serveRpc) {
      return serveRpc();
    }
    return stream_->write(script_.response.data(), script_.response.size()).then([this]() {
      return finish();
    });
  }

  kj::Promise<void> finish() {
    if (script_.closeAfterResponse) {
      stream_->shutdownWrite();
    }
    return drain();
  }

  // Reads whatever the client still sends until it closes the connection.
  kj::Promise<void> drain() {
    return stream_->tryRead(buffer_, 1, sizeof(buffer_)).then([this](size_t n) -> kj::Promise<void> {
      if (n == 0) {
        clientClosed = true;
        return kj::NEVER_DONE;
      }
      return drain();
    });
  }

  kj::Promise<void> serveRpc() {
    kj::Promise<void> headWritten = kj::READY_NOW;
    kj::AsyncIoStream* rpcStream = stream_.get();
    if (script_.earlyRpcBytes) {
      early_ = kj::heap<PrefixFirstWrite>(*stream_, script_.response);
      rpcStream = early_.get();
    } else {
      headWritten = stream_->write(script_.response.data(), script_.response.size());
    }
    return headWritten.then([this, rpcStream]() -> kj::Promise<void> {
      network_ = kj::heap<capnp::TwoPartyVatNetwork>(*rpcStream, capnp::rpc::twoparty::Side::SERVER);
      rpc_ = kj::heap<capnp::RpcSystem<capnp::rpc::twoparty::VatId>>(
          capnp::makeRpcServer(*network_, kj::heap<EchoImpl>()));
      if (!script_.earlyRpcBytes) {
        return kj::NEVER_DONE;
      }
      // The server speaks first: it asks for the client's bootstrap
      // capability, which this client does not offer. An answer proves the
      // question reached the client's RPC system.
      capnp::MallocMessageBuilder message;
      auto vatId = message.initRoot<capnp::rpc::twoparty::VatId>();
      vatId.setSide(capnp::rpc::twoparty::Side::CLIENT);
      auto client = rpc_->bootstrap(vatId).castAs<TestEcho>();
      auto request = client.echoRequest();
      request.setText("to the client");
      return request.send().then(
          [this](auto&&) { earlyQuestionAnswer = "an unexpected echo"; },
          [this](kj::Exception&& e) { earlyQuestionAnswer = e.getDescription().cStr(); });
    });
  }

  kj::Own<kj::ConnectionReceiver> listener_;
  std::uint16_t port_;
  Script script_;
  kj::Own<kj::AsyncIoStream> stream_;
  kj::Own<kj::AsyncIoStream> early_;
  kj::Own<capnp::TwoPartyVatNetwork> network_;
  kj::Own<capnp::RpcSystem<capnp::rpc::twoparty::VatId>> rpc_;
  kj::Promise<void> serving_ = nullptr;
  char buffer_[4096] = {};
};

// The request as the server saw it.
struct RecordedRequest {
  std::string requestLine;
  std::map<std::string, std::string> headers;  // lower-case names
  std::size_t headerLines = 0;                  // so that duplicates show
};

RecordedRequest parseRequest(const std::string& text) {
  RecordedRequest request;
  std::size_t start = 0;
  bool first = true;
  while (true) {
    const auto end = text.find("\r\n", start);
    if (end == std::string::npos || end == start) {
      break;
    }
    const std::string line = text.substr(start, end - start);
    start = end + 2;
    if (first) {
      request.requestLine = line;
      first = false;
      continue;
    }
    const auto colon = line.find(':');
    std::string name = line.substr(0, colon);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::string value = line.substr(colon + 1);
    value.erase(0, value.find_first_not_of(' '));
    request.headers[name] = value;
    ++request.headerLines;
  }
  return request;
}

DestinationParams dev8123() {
  return DestinationParams::deviceConnection(DeviceSerial(8123u), {});
}

// What a failed attempt carried: the exception's class (by catch), message.
struct Failure {
  std::string type;
  std::string message;
};

Failure failureOf(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const KSTimeoutException& e) {
    return {"KSTimeoutException", e.what()};
  } catch (const KSIOInternalException& e) {
    return {"KSIOInternalException", e.what()};
  } catch (const KSIOConnectionResetException& e) {
    return {"KSIOConnectionResetException", e.what()};
  } catch (const ApiVersionMismatchException& e) {
    return {"ApiVersionMismatchException", e.what()};
  } catch (const ApiConnectionException& e) {
    return {"ApiConnectionException", e.what()};
  } catch (const ApiServerException& e) {
    return {"ApiServerException", e.what()};
  } catch (const ApiInternalException& e) {
    return {"ApiInternalException", e.what()};
  } catch (const std::exception& e) {
    return {"other", e.what()};
  } catch (const kj::Exception& e) {
    return {"kj::Exception", e.getDescription().cStr()};
  }
}

// The text an Api* exception shows for `message`, whatever the message format.
template <typename E>
std::string shown(const std::string& message) {
  return E(message).what();
}

class HttpUpgradeTest : public ::testing::Test {
 protected:
  ~HttpUpgradeTest() noexcept override {}

  ThreadLocalExecutor<> executor;
  kj::Network& network = executor.ioProvider().network();
  kj::Timer& timer = executor.ioProvider().timer();
  FakeDataServer server{network, executor};

  ExceptionOr<KernelEndpoint> attempt(FakeDataServer::Script script,
                                      std::chrono::milliseconds timeout = 3000ms,
                                      HandshakeBehavior behavior = HandshakeBehavior::Check) {
    server.start(std::move(script));
    return waitFor(executor,
                   HttpProtocolUpgrade::attemptUpgrade(
                       network, timer, kj::str("127.0.0.1"), server.port(), dev8123(), behavior,
                       timeout, {ClientWireProtocol::capnp}, LyrVectorParsing::yes,
                       OnOrvaneVersionMismatch::accept),
                   "upgrade");
  }

  std::string echo(kj::Own<kj::AsyncIoStream> stream, const char* text) {
    kj_asio::RpcClient client(kj::mv(stream), capnp::ReaderOptions());
    auto request = client.getMain().castAs<TestEcho>().echoRequest();
    request.setText(text);
    return waitFor(executor, request.send(), "echo").getText().cStr();
  }
};

std::string upgradeHead(const std::string& upgrade = "capnp") {
  return head("HTTP/1.1 101 Switching Protocols",
              {"Connection: Upgrade", "Upgrade: " + upgrade, std::string("Nuvrel-Kernel-Uid: ") + kUid,
               "Nuvrel-Kernel-Version: 26.11.3"});
}

TEST_F(HttpUpgradeTest, UpgradesToTheKernelAndCarriesRpc) {
  FakeDataServer::Script script;
  script.response = upgradeHead();
  script.serveRpc = true;
  auto result = attempt(script);
  ASSERT_TRUE(result.hasValue()) << failureOf(result.exception()).message;
  auto& kernel = std::get<KernelStream>(result.value());
  EXPECT_EQ(kernel.protocol, ClientWireProtocol::capnp);
  EXPECT_EQ(kernel.version, (VersionTriple{26, 11, 3}));
  EXPECT_EQ(kernel.uid.data[0], 0x01);
  EXPECT_EQ(kernel.uid.data[15], 0xef);

  // The request target and header set.
  const auto request = parseRequest(server.request);
  EXPECT_EQ(request.requestLine,
            "GET /api/v1/kernel/devid/dev8123?interface=&autolaunch=1&api=6 HTTP/1.1");
  const std::map<std::string, std::string> expected = {
      {"accept", "application/capnp"},
      {"connection", "Upgrade"},
      {"host", "127.0.0.1:" + std::to_string(server.port())},
      {"upgrade", "capnp"},
      {"nuvrel.client.wantscntandtriggersasvectors", "true"},
      {"nuvrel.client.wantslyrvectors", "true"},
  };
  EXPECT_EQ(request.headers, expected) << server.request;
  EXPECT_EQ(request.headerLines, expected.size()) << server.request;

  EXPECT_EQ(echo(kj::mv(kernel.stream), "through the kernel"), "through the kernel");
}

TEST_F(HttpUpgradeTest, RpcBytesSentWithThe101HeadReachTheRpcConnection) {
  FakeDataServer::Script script;
  script.response = upgradeHead();
  script.serveRpc = true;
  script.earlyRpcBytes = true;
  auto result = attempt(script);
  ASSERT_TRUE(result.hasValue()) << failureOf(result.exception()).message;
  kj_asio::RpcClient client(kj::mv(std::get<KernelStream>(result.value()).stream),
                            capnp::ReaderOptions());
  // A two-party client only starts reading once it has a connection, that is
  // once it asks for the server's bootstrap capability.
  auto request = client.getMain().castAs<TestEcho>().echoRequest();
  request.setText("after early bytes");
  auto echoed = request.send();
  // The server's question, which came in the same write as the 101 head,
  // was read and answered by the client's RPC system.
  ASSERT_TRUE(testing::runUntil(executor, [&] { return server.earlyQuestionAnswer.has_value(); }))
      << "the early RPC bytes were lost";
  EXPECT_NE(server.earlyQuestionAnswer->find("bootstrap"), std::string::npos)
      << *server.earlyQuestionAnswer;
  // And the connection goes on working.
  EXPECT_EQ(std::string(waitFor(executor, kj::mv(echoed), "echo").getText().cStr()),
            "after early bytes");
}

TEST_F(HttpUpgradeTest, Binmsg101IsAcceptedThoughOnlyCapnpWasRequested) {
  FakeDataServer::Script script;
  script.response = upgradeHead("binmsg");
  script.closeAfterResponse = false;
  auto result = attempt(script);
  ASSERT_TRUE(result.hasValue()) << failureOf(result.exception()).message;
  EXPECT_EQ(std::get<KernelStream>(result.value()).protocol, ClientWireProtocol::binmsg);
}

TEST_F(HttpUpgradeTest, A200WithADescriptorIsARedirection) {
  for (const char* contentType : {"application/capnp", "application/capnp; charset=binary"}) {
    SCOPED_TRACE(contentType);
    FakeDataServer::Script script;
    script.response = withBody("HTTP/1.1 200 OK",
                               {std::string("Content-Type: ") + contentType,
                                std::string("Nuvrel-Kernel-Uid: ") + kUid},
                               descriptorBody(8004));
    auto result = attempt(script);
    ASSERT_TRUE(result.hasValue()) << failureOf(result.exception()).message;
    const auto& redirection = std::get<KernelRedirection>(result.value());
    EXPECT_EQ(redirection.descriptor.host, "kernel.example");
    EXPECT_EQ(redirection.descriptor.port, 8004);
    EXPECT_EQ(redirection.descriptor.version, (VersionTriple{26, 11, 0}));
    EXPECT_EQ(redirection.uid.data[0], 0x01);
  }
}

TEST_F(HttpUpgradeTest, RefusalsReachTheCallerWithClassAndMessage) {
  const std::string uidHeader = std::string("Nuvrel-Kernel-Uid: ") + kUid;
  const std::string capnpType = "Content-Type: application/capnp";
  const std::string sameVersion =
      "This usually means that the data-server version is newer than the client version. Please "
      "make sure client and server are on the same Orvane version.";
  using C = ApiConnectionException;
  struct Case {
    const char* what;
    std::string response;
    std::string type;
    std::string message;
    bool prefixOnly = false;
  };
  const std::vector<Case> cases = {
      {"101 without version",
       head("HTTP/1.1 101 Switching Protocols", {"Upgrade: capnp", uidHeader}),
       "ApiConnectionException", shown<C>("Server did not provide its version")},
      {"101 with version abc",
       head("HTTP/1.1 101 Switching Protocols",
            {"Upgrade: capnp", uidHeader, "Nuvrel-Kernel-Version: abc"}),
       "ApiConnectionException", shown<C>("Server version 'abc' cannot be parsed")},
      {"404 with version abc",
       withBody("HTTP/1.1 404 Not Found", {"Nuvrel-Kernel-Version: abc"}, ""),
       "ApiConnectionException", shown<C>("Server version 'abc' cannot be parsed")},
      {"101 with CAPNP",
       head("HTTP/1.1 101 Switching Protocols",
            {"Upgrade: CAPNP", uidHeader, "Nuvrel-Kernel-Version: 26.11.0"}),
       "ApiConnectionException",
       shown<C>("Server requires upgrade to unsupported protocol CAPNP. " + sameVersion)},
      {"101 without Upgrade",
       head("HTTP/1.1 101 Switching Protocols", {uidHeader, "Nuvrel-Kernel-Version: 26.11.0"}),
       "ApiConnectionException",
       shown<C>("Server HTTP response does not contain an 'Upgrade' header.")},
      {"101 without uid",
       head("HTTP/1.1 101 Switching Protocols", {"Upgrade: capnp", "Nuvrel-Kernel-Version: 26.11.0"}),
       "ApiConnectionException", shown<C>("Server response does not have a UUID header")},
      {"101 with a malformed uid",
       head("HTTP/1.1 101 Switching Protocols",
            {"Upgrade: capnp", "Nuvrel-Kernel-Uid: 0123-4567", "Nuvrel-Kernel-Version: 26.11.0"}),
       "ApiConnectionException", shown<C>("Server UUID '0123-4567' cannot be parsed")},
      {"404 without content type", withBody("HTTP/1.1 404 Not Found", {}, "nothing here"),
       "ApiConnectionException", shown<C>("Server response does not specify the content type.")},
      {"404 with text/plain", withBody("HTTP/1.1 404 Not Found", {"Content-Type: text/plain"}, "x"),
       "ApiConnectionException",
       shown<C>("The server returned a response with the unsupported content type 'text/plain'. " +
                sameVersion)},
      {"404 with an orchestrator error",
       withBody("HTTP/1.1 404 Not Found", {capnpType},
                errorBody(nuvrel_capnp::ErrorCode::DEVICE_NOT_FOUND, "no dev8123 here")),
       "ApiServerException",
       ApiServerException(make_error_code(KS_ERROR_DEVICE_NOT_FOUND), "no dev8123 here").what()},
      {"404 with an unreadable body",
       withBody("HTTP/1.1 404 Not Found", {capnpType}, "not a message"), "ApiConnectionException",
       shown<C>("The server reported HTTP status code 404")},
      {"404 with a descriptor",
       withBody("HTTP/1.1 404 Not Found", {capnpType}, descriptorBody(8004)),
       "ApiConnectionException", shown<C>("The server reported HTTP status code 404")},
      {"unregistered status 299",
       withBody("HTTP/1.1 299 Odd", {capnpType}, "not a message"), "ApiConnectionException",
       shown<C>("The server reported HTTP status code 0")},
      {"200 with port 0",
       withBody("HTTP/1.1 200 OK", {capnpType, uidHeader}, descriptorBody(0)),
       "ApiConnectionException",
       shown<C>("The client does not support protocol upgrade. " + sameVersion)},
      {"200 without uid", withBody("HTTP/1.1 200 OK", {capnpType}, descriptorBody(8004)),
       "ApiConnectionException", shown<C>("Server response does not have a UUID header")},
      {"200 without content type", withBody("HTTP/1.1 200 OK", {uidHeader}, descriptorBody(8004)),
       "ApiConnectionException", shown<C>("Server response does not specify the content type.")},
      {"200 with an unreadable body",
       withBody("HTTP/1.1 200 OK", {capnpType, uidHeader}, "\x01\x02"), "ApiConnectionException",
       shown<C>("Could not parse data-server HTTP response: "), true},
      {"200 with a 15-byte uid",
       withBody("HTTP/1.1 200 OK", {capnpType, uidHeader}, descriptorBody(8004, 15)),
       "ApiInternalException",
       shown<ApiInternalException>("Failed to parse message from the server. "), true},
      {"200 with an orchestrator error",
       withBody("HTTP/1.1 200 OK", {capnpType, uidHeader},
                errorBody(nuvrel_capnp::ErrorCode::DEVICE_IN_USE, "busy")),
       "ApiServerException",
       ApiServerException(make_error_code(KS_ERROR_DEVICE_IN_USE), "busy").what()},
      {"a head KJ cannot parse", "garbage\r\n\r\n", "ApiConnectionException",
       shown<C>("The data server sent an invalid HTTP response head: "), true},
      {"no answer to the request", "", "ApiConnectionException",
       shown<C>("The data server closed the connection without an HTTP response.")},
      // Hello refusals.
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeDataServer fresh(network, executor);
    fresh.start({goodHello(), true, c.response});
    auto result = waitFor(executor,
                          HttpProtocolUpgrade::attemptUpgrade(
                              network, timer, kj::str("127.0.0.1"), fresh.port(), dev8123(),
                              HandshakeBehavior::Check, 3000ms, {ClientWireProtocol::capnp},
                              LyrVectorParsing::yes, OnOrvaneVersionMismatch::accept),
                          "upgrade");
    ASSERT_TRUE(result.hasException());
    const auto failure = failureOf(result.exception());
    EXPECT_EQ(failure.type, c.type) << failure.message;
    // Whatever the failure, the connection is closed.
    EXPECT_TRUE(testing::runUntil(executor, [&] { return fresh.clientClosed; }, 2000ms));
    if (c.prefixOnly) {
      // The rest is the event library's or the converter's own description.
      EXPECT_EQ(failure.message.rfind(c.message, 0), 0u) << failure.message;
      EXPECT_GT(failure.message.size(), c.message.size());
    } else {
      EXPECT_EQ(failure.message, c.message);
    }
  }
}

TEST_F(HttpUpgradeTest, HelloRefusalsReachTheCaller) {
  const std::string unrecognised =
      "The server cannot be recognized as a Kestrane Server. Please make sure host and port are "
      "correct.";
  std::string spaceTerminated = goodHello();
  spaceTerminated.back() = ' ';
  std::string html = "<!DOCTYPE html><html><body>Hello</body></html>";
  html.resize(256, ' ');
  struct Case {
    const char* what;
    std::string hello;
    std::string type;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"byte 255 is a space", spaceTerminated, "KSIOInternalException", unrecognised},
      {"an HTML page", html, "KSIOInternalException", unrecognised},
      {"a vkr", hello(R"({"kind":"vkr","protocol":"capnp","schema":"1.17.0","pvVer":"26.11.0"})"),
       "KSIOInternalException",
       "The server is not supported. This usually indicates a outdated client. Please update the "
       "client to the latest Orvane release."},
      {"a newer schema major",
       hello(R"({"kind":"orchestrator","protocol":"capnp","schema":"2.0.0","pvVer":"24.1.0"})"),
       "ApiVersionMismatchException",
       shown<ApiVersionMismatchException>(clientSchemaTooOldMessage(CalVer(24, 1, 0)))},
      {"an older schema major",
       hello(R"({"kind":"orchestrator","protocol":"capnp","schema":"0.9.0","pvVer":"24.1.0"})"),
       "ApiVersionMismatchException",
       shown<ApiVersionMismatchException>(serverSchemaTooOldMessage(CalVer(24, 1, 0)))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeDataServer fresh(network, executor);
    FakeDataServer::Script script;
    script.hello = c.hello;
    script.readRequest = false;
    script.closeAfterResponse = false;
    fresh.start(script);
    auto result = waitFor(executor,
                          HttpProtocolUpgrade::attemptUpgrade(
                              network, timer, kj::str("127.0.0.1"), fresh.port(), dev8123(),
                              HandshakeBehavior::Check, 3000ms, {ClientWireProtocol::capnp},
                              LyrVectorParsing::yes, OnOrvaneVersionMismatch::accept),
                          "upgrade");
    ASSERT_TRUE(result.hasException());
    const auto failure = failureOf(result.exception());
    EXPECT_EQ(failure.type, c.type) << failure.message;
    EXPECT_EQ(failure.message, c.message);
    EXPECT_TRUE(fresh.request.empty()) << "the client sent before the hello was accepted";
    EXPECT_TRUE(testing::runUntil(executor, [&] { return fresh.clientClosed; }, 2000ms));
  }
}

TEST_F(HttpUpgradeTest, AShortHelloIsAConnectionReset) {
  FakeDataServer::Script script;
  script.hello = std::string(100, ' ');
  script.readRequest = false;
  auto result = attempt(script);
  ASSERT_TRUE(result.hasException());
  const auto failure = failureOf(result.exception());
  EXPECT_EQ(failure.type, "KSIOConnectionResetException");
  EXPECT_EQ(failure.message.rfind("Issues connecting to the server: ", 0), 0u) << failure.message;
}

TEST_F(HttpUpgradeTest, NoCheckAcceptsAnyHello) {
  FakeDataServer::Script script;
  script.hello = hello(R"({"kind":"vkr","schema":"9.0.0"})");
  script.response = upgradeHead();
  script.serveRpc = true;
  auto result = attempt(script, 3000ms, HandshakeBehavior::NoCheck);
  ASSERT_TRUE(result.hasValue()) << failureOf(result.exception()).message;
  EXPECT_EQ(echo(kj::mv(std::get<KernelStream>(result.value()).stream), "unchecked"), "unchecked");
}

TEST_F(HttpUpgradeTest, ASilentServerTimesOutUnderTheAttemptsName) {
  FakeDataServer::Script script;
  script.hello = std::nullopt;
  auto result = attempt(script, 1000ms);
  ASSERT_TRUE(result.hasException());
  const auto failure = failureOf(result.exception());
  EXPECT_EQ(failure.type, "KSTimeoutException");
  EXPECT_EQ(failure.message, "Execution of connection to the data-server took longer than 1s.");
  // Cancelling the attempt closed the half-open connection.
  EXPECT_TRUE(testing::runUntil(executor, [&] { return server.clientClosed; }, 2000ms));
}

TEST(PreCapnpHandshakeAsync, ReportsWhatTheHelloAnnounced) {
  ThreadLocalExecutor<> executor;
  {
    auto pipe = kj::newTwoWayPipe();
    auto& serverEnd = *pipe.ends[0];
    // No protocol member: the field's default, capnp.
    const std::string text = hello(R"({"kind":"orchestrator","schema":"1.18.2","pvVer":"26.10.1"})");
    auto handshake = PreCapnpHandshake::doClientSideHandshake(
        kj::mv(pipe.ends[1]), PreCapnpHandshake::ServerType::orchestrator,
        OnOrvaneVersionMismatch::accept);
    waitFor(executor, serverEnd.write(text.data(), text.size()), "hello");
    auto result = testing::unwrapFor(executor, kj::mv(handshake));
    EXPECT_EQ(result.serverVersion, SemVer(1, 18, 2));
    EXPECT_EQ(result.serverOrvaneVersion, CalVer(26, 10, 1, 0));
    EXPECT_EQ(result.protocol, nuvrel_capnp::HelloMsg::Protocol::CAPNP);
    // The stream comes back, positioned after the hello.
    ASSERT_TRUE(result.stream.get() != nullptr);
    char byte = 0;
    auto reading = result.stream->read(&byte, 1);
    waitFor(executor, serverEnd.write("!", 1), "next byte");
    waitFor(executor, kj::mv(reading), "read");
    EXPECT_EQ(byte, '!');
  }
  {
    auto pipe = kj::newTwoWayPipe();
    auto& serverEnd = *pipe.ends[0];
    const std::string text(256, 'x');
    auto handshake = PreCapnpHandshake::doClientSideHandshakeNoCheck(kj::mv(pipe.ends[1]));
    waitFor(executor, serverEnd.write(text.data(), text.size()), "hello");
    auto result = testing::unwrapFor(executor, kj::mv(handshake));
    EXPECT_FALSE(result.serverVersion.isSet());
    EXPECT_FALSE(isSet(result.serverOrvaneVersion));
    EXPECT_EQ(result.protocol, nuvrel_capnp::HelloMsg::Protocol::UNKNOWN);
  }
}

TEST_F(HttpUpgradeTest, AGivenStreamSkipsTheConnect) {
  auto pipe = kj::newTwoWayPipe();
  auto& serverEnd = *pipe.ends[0];
  // An in-memory pipe has no buffer: the client must be reading before the
  // hello can be written.
  auto upgrading = HttpProtocolUpgrade::attemptUpgrade(
      network, timer, kj::str("unresolvable.invalid"), 1, DestinationParams::ksConnection(KS_API_LEVEL_6),
      HandshakeBehavior::Check, 3000ms, {ClientWireProtocol::capnp, ClientWireProtocol::binmsg},
      LyrVectorParsing::no, OnOrvaneVersionMismatch::accept, kj::mv(pipe.ends[1]));
  const std::string answer = goodHello();
  waitFor(executor, serverEnd.write(answer.data(), answer.size()), "hello");
  // Read the request, answer it with a 101.
  std::string request;
  char buffer[1024];
  while (request.find("\r\n\r\n") == std::string::npos) {
    const auto n = waitFor(executor, serverEnd.tryRead(buffer, 1, sizeof(buffer)), "request");
    ASSERT_GT(n, 0u);
    request.append(buffer, n);
  }
  const std::string response = upgradeHead();
  waitFor(executor, serverEnd.write(response.data(), response.size()), "101");
  auto result = waitFor(executor, kj::mv(upgrading), "upgrade");
  ASSERT_TRUE(result.hasValue()) << failureOf(result.exception()).message;

  const auto recorded = parseRequest(request);
  EXPECT_EQ(recorded.requestLine, "GET /api/v1/kernel/ks?apiLevel=6 HTTP/1.1");
  EXPECT_EQ(recorded.headers.at("upgrade"), "capnp,binmsg");
  EXPECT_EQ(recorded.headers.at("host"), "unresolvable.invalid:1");
  EXPECT_EQ(recorded.headers.count("nuvrel.client.wantslyrvectors"), 0u);
  EXPECT_EQ(recorded.headers.at("nuvrel.client.wantscntandtriggersasvectors"), "true");
}

TEST(ParsedHeaders, KernelUidGrammar) {
  struct Case {
    const char* text;
    bool valid;
  };
  const std::vector<Case> cases = {
      {"0123456789abcdef0123456789ABCDEF", true},
      {"01234567-89ab-cdef-0123-456789abcdef", true},
      {"{01234567-89ab-cdef-0123-456789abcdef}", true},
      {"{0123456789abcdef0123456789abcdef}", true},
      {"0123456789abcdef0123456789abcde", false},
      {"0123456789abcdef0123456789abcdef0", false},
      {"0123-456789ab-cdef-0123-456789abcdef", false},
      {"{01234567-89ab-cdef-0123-456789abcdef", false},
      {"0123456789abcdef0123456789abcdeg", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    auto headers = kj_asio::HttpHeader::make();
    headers.set(kj_asio::HttpHeader::kernelUid(), c.text);
    if (c.valid) {
      const auto uid = ParsedHeaders::getUid(headers);
      ASSERT_TRUE(uid.has_value());
      EXPECT_EQ(uid->data[0], 0x01);
      EXPECT_EQ(uid->data[15], 0xef);
    } else {
      try {
        ParsedHeaders::getUid(headers);
        ADD_FAILURE() << "accepted";
      } catch (const ApiConnectionException& e) {
        EXPECT_EQ(std::string(e.what()),
                  shown<ApiConnectionException>(std::string("Server UUID '") + c.text +
                                                "' cannot be parsed"));
      }
    }
  }
  EXPECT_FALSE(ParsedHeaders::getUid(kj_asio::HttpHeader::make()).has_value());
}

class OrvaneProviderTest : public HttpUpgradeTest {
 protected:
  ExceptionOr<kj::Own<kj::AsyncIoStream>> provide(FakeDataServer::Script script,
                                                  std::chrono::milliseconds timeout = 3000ms) {
    server.start(std::move(script));
    python::OrvaneConnectionProvider provider("127.0.0.1", server.port(), dev8123(), timeout);
    // As the worker holds it.
    kj::Function<kj_asio::Hopefully<kj::Own<kj::AsyncIoStream>>(kj::Network&, kj::Timer&)>
        function = kj::mv(provider);
    return waitFor(executor, function(network, timer), "provider");
  }
};

TEST_F(OrvaneProviderTest, YieldsTheUpgradedStream) {
  FakeDataServer::Script script;
  script.response = upgradeHead();
  script.serveRpc = true;
  auto result = provide(script);
  ASSERT_TRUE(result.hasValue()) << failureOf(result.exception()).message;
  EXPECT_EQ(echo(kj::mv(result.value()), "provided"), "provided");
  EXPECT_EQ(parseRequest(server.request).headers.at("upgrade"), "capnp");
}

TEST_F(OrvaneProviderTest, ARedirectionIsRefusedAsAnUnsupportedVersion) {
  FakeDataServer::Script script;
  script.response = withBody("HTTP/1.1 200 OK",
                             {"Content-Type: application/capnp",
                              std::string("Nuvrel-Kernel-Uid: ") + kUid},
                             descriptorBody(8004));
  auto result = provide(script);
  ASSERT_TRUE(result.hasException());
  const auto failure = failureOf(result.exception());
  EXPECT_EQ(failure.type, "ApiConnectionException");
  EXPECT_EQ(failure.message,
            shown<ApiConnectionException>(
                "The Server has an unsupported version. This usually means that the data-server "
                "version is older than the client version. Please make sure client and server are "
                "on the same Orvane version."));
}

TEST_F(OrvaneProviderTest, ASilentServerTimesOut) {
  FakeDataServer::Script script;
  script.hello = std::nullopt;
  auto result = provide(script, 300ms);
  ASSERT_TRUE(result.hasException());
  EXPECT_EQ(failureOf(result.exception()).message,
            "Execution of connection to the data-server took longer than 300ms.");
}

}  // namespace
}  // namespace nuvrel
