// Device serials, destinations, kernel descriptors and the orchestrator's
// error codes, native side.

#include <boost/lexical_cast/bad_lexical_cast.hpp>
#include <boost/property_tree/ptree.hpp>
#include <boost/uuid/string_generator.hpp>
#include <capnp/message.h>
#include <capnp/serialize.h>
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "errors/exception.h"
#include "protocol/client_wire_protocol.h"
#include "protocol/destination_params.h"
#include "protocol/device_interface.h"
#include "protocol/device_serial.h"
#include "protocol/kernel_descriptor.h"

namespace nuvrel {
namespace {

// The message of the Exception `action` throws, or nullopt when it throws
// none (another exception type fails the test).
template <typename F>
std::optional<std::string> exceptionMessage(F&& action) {
  try {
    action();
  } catch (const Exception& error) {
    return std::string(error.what());
  }
  return std::nullopt;
}

TEST(DeviceSerial, ParsesPrefixedAndBareNumbers) {
  struct Case {
    std::string text;
    std::optional<std::uint32_t> number;
    std::string error;  // when `number` is empty
  };
  const std::vector<Case> cases = {
      {"DEV8123", 8123, ""},
      {"dev8123", 8123, ""},
      {"dEv8123", 8123, ""},
      {"8123", 8123, ""},
      {"DEV0", 0, ""},
      {"4294967295", 4294967295u, ""},
      {"", std::nullopt, "Empty device serial supplied."},
      {"devABC", std::nullopt, "Invalid device serial supplied ('devABC')."},
      {"dev", std::nullopt, "Invalid device serial supplied ('dev')."},
      {"12 34", std::nullopt, "Invalid device serial supplied ('12 34')."},
      {"8123x", std::nullopt, "Invalid device serial supplied ('8123x')."},
      {"-1", std::nullopt, "Invalid device serial supplied ('-1')."},
      {"DEV 8123", std::nullopt, "Invalid device serial supplied ('DEV 8123')."},
      // Too large after the prefix: the prefix path reports the whole text.
      {"DEV4294967296", std::nullopt, "Invalid device serial supplied ('DEV4294967296')."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    if (c.number) {
      EXPECT_EQ(DeviceSerial(c.text).number(), *c.number);
    } else {
      EXPECT_EQ(exceptionMessage([&] { DeviceSerial serial(c.text); }), c.error);
    }
  }
  EXPECT_THROW(DeviceSerial("4294967296"), boost::bad_lexical_cast);
}

TEST(DeviceSerial, FromPathTakesTheFirstSegment) {
  struct Case {
    std::string path;
    std::optional<std::uint32_t> number;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"/dev8123/demods/0", 8123, ""},
      {"DEV8123", 8123, ""},
      {"dev8123", 8123, ""},
      {"8123", 8123, ""},
      {"\\dev12\\sigouts", 12, ""},
      {"//dev5//x", 5, ""},
      {"", std::nullopt, "Can't extract device serial from path "},
      {"/", std::nullopt, "Can't extract device serial from path /"},
      {"/\\/", std::nullopt, "Can't extract device serial from path /\\/"},
      {"/devABC/demods", std::nullopt, "Invalid device serial supplied ('devABC')."},
      {"12 34", std::nullopt, "Invalid device serial supplied ('12 34')."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    if (c.number) {
      EXPECT_EQ(DeviceSerial::fromPath(c.path).number(), *c.number);
    } else {
      EXPECT_EQ(exceptionMessage([&] { DeviceSerial::fromPath(c.path); }), c.error);
    }
  }
}

TEST(DeviceSerial, TextFormsOrderAndStreams) {
  DeviceSerial serial(8123);
  EXPECT_EQ(serial.toString(), "DEV8123");
  EXPECT_EQ(&serial.toString(), &serial.toString());  // cached
  EXPECT_EQ(serial.toStringLowerCase(), "dev8123");
  EXPECT_EQ(toString(DeviceSerial(7)), "DEV7");

  DeviceSerial other(12);
  EXPECT_LT(other, serial);
  EXPECT_EQ(DeviceSerial("dev8123"), serial);
  // The cache moves with the number: swapped serials print their new numbers.
  swap(serial, other);
  EXPECT_EQ(serial.toString(), "DEV12");
  EXPECT_EQ(other.toString(), "DEV8123");

  std::ostringstream out;
  out << other;
  EXPECT_EQ(out.str(), "DEV8123");
  std::istringstream in("dev42 rest");
  DeviceSerial read(0);
  in >> read;
  EXPECT_EQ(read.number(), 42u);
  EXPECT_EQ(read.toString(), "DEV42");
  std::istringstream bad("devXY");
  EXPECT_THROW(bad >> read, Exception);
}

TEST(DestinationParams, DeviceAndKsDestinations) {
  auto device = DestinationParams::deviceConnection(
      DeviceSerial::fromPath("dev8123"),
      orchestrator::DeviceConnectionSettings{"", orchestrator::AutoLaunch(true), KS_API_LEVEL_6});
  EXPECT_EQ(device.apiLevel(), KS_API_LEVEL_6);
  const auto& params = std::get<DeviceConnectionParams>(device.params());
  EXPECT_EQ(params.serial.toStringLowerCase(), "dev8123");

  auto tree = orchestrator::toPropertyTree(params.settings);
  std::vector<std::pair<std::string, std::string>> entries;
  for (const auto& [key, value] : tree) entries.emplace_back(key, value.data());
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"interface", ""}, {"autolaunch", "1"}, {"api", "6"}};
  EXPECT_EQ(entries, expected);

  auto usb = orchestrator::toPropertyTree(
      {"usb", orchestrator::AutoLaunch(false), KSAPIVersion_enum(5)});
  EXPECT_EQ(usb.get<std::string>("interface"), "usb");
  EXPECT_EQ(usb.get<std::string>("autolaunch"), "0");
  EXPECT_EQ(usb.get<std::string>("api"), "5");

  auto ks = DestinationParams::ksConnection(KS_API_LEVEL_6);
  EXPECT_EQ(ks.apiLevel(), KS_API_LEVEL_6);
  EXPECT_TRUE(std::holds_alternative<KsPathConnectionParams>(ks.params()));
  EXPECT_EQ(DestinationParams(KsPathConnectionParams{KSAPIVersion_enum(4)}).apiLevel(), 4);
}

TEST(ClientWireProtocol, TextForms) {
  EXPECT_EQ(toString(ClientWireProtocol::binmsg), "binmsg");
  EXPECT_EQ(toString(ClientWireProtocol::capnp), "capnp");
  EXPECT_EQ(toString(ClientWireProtocol(9)), "unknown");

  using Converter = FromStringConverter<ClientWireProtocol>;
  EXPECT_EQ(Converter::fromString("capnp"), ClientWireProtocol::capnp);
  EXPECT_EQ(Converter::fromString("binmsg"), ClientWireProtocol::binmsg);
  for (const char* bad : {"Capnp", "CAPNP", "", "capnp ", "http"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(Converter::fromString(bad), std::nullopt);
  }

  ClientWireProtocol protocol = ClientWireProtocol::binmsg;
  std::istringstream good("capnp");
  EXPECT_TRUE(good >> protocol);
  EXPECT_EQ(protocol, ClientWireProtocol::capnp);
  std::istringstream bad("Capnp");
  EXPECT_FALSE(bad >> protocol);
  EXPECT_EQ(protocol, ClientWireProtocol::capnp);
}

TEST(Orchestrator, ErrorCodesMapBothWays) {
  using Wire = nuvrel_capnp::ErrorCode;
  const std::vector<std::pair<unsigned, std::uint32_t>> fromWire = {
      {0, 0x0000},  {1, 0x8000},  {2, 0x801B},  {3, 0x801F},  {4, 0x8014},
      {5, 0x800E},  {6, 0x8019},  {7, 0x8016},  {8, 0x8018},  {9, 0x8015},
      {10, 0x801C}, {11, 0x801F}, {12, 0x8000}, {42, 0x8000}, {0xFFFF, 0x8000},
  };
  for (auto [wire, api] : fromWire) {
    SCOPED_TRACE(wire);
    EXPECT_EQ(orchestrator::getKsApiError(Wire(wire)), KSResult_enum(api));
  }
  const std::vector<std::pair<std::uint32_t, unsigned>> toWire = {
      {0x0000, 0}, {0x8000, 1}, {0x8014, 4}, {0x8015, 9}, {0x8016, 7}, {0x8018, 8},
      {0x8019, 6}, {0x801B, 2}, {0x801F, 3}, {0x800E, 5}, {0x801C, 5}, {0x4000, 5},
  };
  for (auto [api, wire] : toWire) {
    SCOPED_TRACE(api);
    EXPECT_EQ(orchestrator::getCapnpError(KSResult_enum(api)), Wire(wire));
  }
}

TEST(Orchestrator, DeviceInterfaceMapsBothWays) {
  using Wire = nuvrel_capnp::DeviceInterface;
  using Trait = CapnpTrait<DeviceInterface>;
  const std::vector<std::pair<std::uint32_t, unsigned>> toWire = {
      {0, 0}, {1, 1}, {16, 1}, {2, 2}, {8, 3}, {4, 4}, {32, 4}, {0x80000000, 4}};
  for (auto [native, wire] : toWire) {
    SCOPED_TRACE(native);
    EXPECT_EQ(Trait::toCapnp(DeviceInterface(native)), Wire(wire));
  }
  const std::vector<std::pair<unsigned, std::uint32_t>> fromWire = {
      {0, 0}, {1, 1}, {2, 2}, {3, 8}, {4, 0x80000000}, {200, 0x80000000}};
  for (auto [wire, native] : fromWire) {
    SCOPED_TRACE(wire);
    EXPECT_EQ(Trait::fromCapnp(Wire(wire)), DeviceInterface(native));
  }
}

class KernelRequestResultTest : public ::testing::Test {
 protected:
  KernelDescriptor descriptor() const {
    KernelDescriptor d;
    d.host = "kernel.example";
    d.port = 8004;
    d.uid = boost::uuids::string_generator()("{01234567-89ab-cdef-0123-456789abcdef}");
    d.protocols = {ClientWireProtocol::capnp};
    d.flag = true;
    d.version = {26, 11, 3};
    return d;
  }

  KernelRequestResult::Builder result() { return message_->initRoot<KernelRequestResult>(); }

  ExceptionOr<KernelDescriptor> convert() {
    return CapnpTrait<ExceptionOr<KernelDescriptor>, KernelRequestResult>::fromCapnp(
        message_->getRoot<KernelRequestResult>().asReader());
  }

  // Behind a pointer: the builder's destructor may throw, the fixture's may not.
  std::unique_ptr<capnp::MallocMessageBuilder> message_ =
      std::make_unique<capnp::MallocMessageBuilder>();
};

TEST_F(KernelRequestResultTest, DescriptorRoundTrips) {
  auto ok = result().initOk();
  CapnpTrait<KernelDescriptor, nuvrel_capnp::KernelDescriptor>::toCapnp(descriptor(), ok);
  EXPECT_EQ(ok.asReader().getVersion(), "26.11.3");
  EXPECT_EQ(ok.asReader().getReserved(), 0u);
  EXPECT_EQ(ok.asReader().getUid().size(), 16u);

  auto converted = convert();
  ASSERT_TRUE(converted.hasValue());
  EXPECT_EQ(converted.value(), descriptor());
  EXPECT_EQ(fmt::format("{}", converted.value()), "kernel.example:8004");
  std::ostringstream out;
  out << converted.value();
  EXPECT_EQ(out.str(), "kernel.example:8004");
}

TEST_F(KernelRequestResultTest, WritesTheSmallestProtocolAndRefusesNone) {
  auto d = descriptor();
  d.protocols = {ClientWireProtocol::capnp, ClientWireProtocol::binmsg};
  auto ok = result().initOk();
  CapnpTrait<KernelDescriptor, nuvrel_capnp::KernelDescriptor>::toCapnp(d, ok);
  EXPECT_EQ(ok.asReader().getProtocol(), nuvrel_capnp::ClientWireProtocol::BINMSG);

  d.protocols.clear();
  auto write = [&] {
    CapnpTrait<KernelDescriptor, nuvrel_capnp::KernelDescriptor>::toCapnp(d, result().initOk());
  };
  EXPECT_EQ(exceptionMessage(write), "A kernel descriptor needs at least one wire protocol");
}

TEST_F(KernelRequestResultTest, ServerErrorBecomesApiServerException) {
  struct Case {
    unsigned wireCode;
    std::uint32_t apiCode;
  };
  for (auto c : std::vector<Case>{{2, 0x801B}, {42, 0x8000}, {9, 0x8015}}) {
    SCOPED_TRACE(c.wireCode);
    auto err = result().initErr();
    err.setCode(nuvrel_capnp::ErrorCode(c.wireCode));
    err.setMessage("Device dev8123 not found");
    auto converted = convert();
    ASSERT_TRUE(converted.hasException());
    try {
      std::rethrow_exception(converted.exception());
    } catch (const ApiServerException& error) {
      EXPECT_EQ(error.code(), make_error_code(KSResult_enum(c.apiCode)));
      EXPECT_NE(std::string(error.what()).find("Device dev8123 not found"), std::string::npos)
          << error.what();
    } catch (...) {
      ADD_FAILURE() << "not an ApiServerException";
    }
  }
}

TEST_F(KernelRequestResultTest, UnreadableDescriptorBecomesApiInternalException) {
  const std::string prefix = "Failed to parse message from the server. ";
  struct Case {
    std::string name;
    std::function<void(nuvrel_capnp::KernelDescriptor::Builder)> spoil;
    std::string detail;
  };
  const std::vector<Case> cases = {
      {"15-byte uid",
       [](auto ok) { ok.initUid(15); },
       "Cannot deserialize UUID from capnp. The capnp data is 15 bytes instead of 16"},
      {"no uid", [](auto ok) { ok.disownUid(); }, "The capnp data is 0 bytes instead of 16"},
      {"unknown protocol",
       [](auto ok) { ok.setProtocol(nuvrel_capnp::ClientWireProtocol(7)); },
       "Unknown client wire protocol"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto ok = result().initOk();
    CapnpTrait<KernelDescriptor, nuvrel_capnp::KernelDescriptor>::toCapnp(descriptor(), ok);
    c.spoil(ok);
    auto converted = convert();
    ASSERT_TRUE(converted.hasException());
    try {
      std::rethrow_exception(converted.exception());
    } catch (const ApiInternalException& error) {
      std::string text = error.what();
      EXPECT_NE(text.find(prefix), std::string::npos) << text;
      EXPECT_NE(text.find(c.detail), std::string::npos) << text;
      EXPECT_EQ(error.code(), make_error_code(KS_ERROR_COMMAND_SERVER));
    } catch (...) {
      ADD_FAILURE() << "not an ApiInternalException";
    }
  }
}

TEST_F(KernelRequestResultTest, VersionTextThatDoesNotParseReadsAsUnset) {
  auto ok = result().initOk();
  CapnpTrait<KernelDescriptor, nuvrel_capnp::KernelDescriptor>::toCapnp(descriptor(), ok);
  ok.setVersion("next");
  auto converted = convert();
  ASSERT_TRUE(converted.hasValue());
  EXPECT_EQ(converted.value().version, (VersionTriple{0, 0, 0}));
}

// A result read from raw words (a root pointer to a struct of one data word
// and one pointer, then its sections), as a peer with another schema might
// send it.
ExceptionOr<KernelDescriptor> convertRaw(uint64_t discriminantWord, uint64_t pointerWord) {
  const uint64_t words[] = {uint64_t(1) << 32 | uint64_t(1) << 48, discriminantWord, pointerWord};
  kj::ArrayPtr<const capnp::word> segments[] = {
      kj::arrayPtr(reinterpret_cast<const capnp::word*>(words), 3)};
  capnp::SegmentArrayMessageReader reader(segments);
  return CapnpTrait<ExceptionOr<KernelDescriptor>, KernelRequestResult>::fromCapnp(
      reader.getRoot<KernelRequestResult>());
}

std::string internalErrorText(const ExceptionOr<KernelDescriptor>& converted) {
  if (!converted.hasException()) return "no error";
  try {
    std::rethrow_exception(converted.exception());
  } catch (const ApiInternalException& error) {
    return error.what();
  } catch (...) {
  }
  return "another exception";
}

TEST(KernelRequestResult, NeitherOkNorErrIsAnErrorNotAnException) {
  // A member a newer schema might add.
  auto unknownMember = convertRaw(5, 0);
  EXPECT_NE(internalErrorText(unknownMember).find("Failed to parse message from the server. "),
            std::string::npos)
      << internalErrorText(unknownMember);
  EXPECT_NE(internalErrorText(unknownMember).find("unknown member 5"), std::string::npos);

  // `ok` pointing far outside the message: the reader's own failure is kept
  // as the error instead of escaping.
  const uint64_t outOfBounds = uint64_t(1000) << 2 | uint64_t(1) << 32 | uint64_t(3) << 48;
  auto broken = convertRaw(0, outOfBounds);
  EXPECT_NE(internalErrorText(broken).find("Failed to parse message from the server. "),
            std::string::npos)
      << internalErrorText(broken);
}

}  // namespace
}  // namespace nuvrel
