// EasyMessage: the owned message of the value layer, its JSON form (Data as
// hexadecimal text) and its packed form.

#include <capnp/dynamic.h>
#include <capnp/message.h>
#include <capnp/serialize-packed.h>
#include <gtest/gtest.h>
#include <kj/io.h>

#include <memory>
#include <string>

#include "errors/api_result.h"
#include "errors/exception.h"
#include "protocol/easy_message.h"
#include "protocol/easy_message_json.h"
#include "protocol/schemas/common/complex.capnp.h"
#include "protocol/schemas/common/value.capnp.h"

namespace nuvrel {
namespace {

using Message = EasyMessage<capnp::DynamicStruct>;

capnp::StructSchema vectorDataSchema() { return capnp::Schema::from<nuvrel_capnp::VectorData>(); }

TEST(EasyMessage, BuildsItsRootOnFirstUseAndKeepsItsKeepAlive) {
  auto keepAlive = std::make_shared<int>(7);
  auto message = std::make_shared<Message>(vectorDataSchema(), keepAlive);
  EXPECT_EQ(keepAlive.use_count(), 2);
  message->getBuilder().set("valueType", 3);
  EXPECT_EQ(message->getReader().get("valueType").as<int>(), 3);
  message.reset();
  EXPECT_EQ(keepAlive.use_count(), 1);
}

TEST(EasyMessage, FromReaderCopies) {
  capnp::MallocMessageBuilder source;
  auto data = source.initRoot<nuvrel_capnp::VectorData>();
  data.setExtraHeaderInfo(9);
  auto copy = Message::fromReader(capnp::toDynamic(data.asReader()), nullptr);
  data.setExtraHeaderInfo(10);
  EXPECT_EQ(copy->getReader().get("extraHeaderInfo").as<unsigned>(), 9u);
  EXPECT_EQ(copy->getSchema(), vectorDataSchema());
}

TEST(EasyMessage, SetRootRefusesAnotherType) {
  Message message(vectorDataSchema(), nullptr);
  capnp::MallocMessageBuilder other;
  auto complex = other.initRoot<nuvrel_capnp::Complex>();
  EXPECT_THROW(message.setRoot(capnp::toDynamic(complex.asReader())), kj::Exception);
}

TEST(EasyMessageJson, DataIsHexText) {
  Message message(vectorDataSchema(), nullptr);
  const kj::byte bytes[] = {0x01, 0xab, 0x00, 0xff};
  message.getBuilder().set("data", capnp::Data::Reader(bytes, sizeof(bytes)));
  const auto json = message.toJson();
  EXPECT_EQ(json, R"({"valueType":0,"vectorElementType":0,"extraHeaderInfo":0,"data":"01ab00ff"})");
  auto back = Message::fromJson(json, vectorDataSchema(), nullptr);
  auto data = back->getReader().get("data").as<capnp::Data>();
  EXPECT_EQ(std::string(data.asChars().begin(), data.size()), std::string("\x01\xab\x00\xff", 4));
  EXPECT_NE(message.toJson(true), json);  // pretty printing only on request
}

struct HexCase {
  const char* json;
  const char* message;  // null: accepted
  std::string bytes;
};

TEST(DataHexHandler, DecodesStringsAndArraysAndNamesWhatIsWrong) {
  using namespace std::string_literals;
  const HexCase cases[] = {
      {R"("0aFf")", nullptr, "\x0a\xff"},
      {R"([10, 255, 256, -1])", nullptr, "\x0a\xff\x00\xff"s},
      {R"("abc")", "DataHexHandler: invalid hex string; expected even number of characters", {}},
      {R"("0x")", "DataHexHandler: invalid hex string: invalid characters", {}},
      {R"(true)", "DataHexHandler: invalid JSON; expected string for hex data; got 1", {}},
      {R"({})", "DataHexHandler: invalid JSON; expected string for hex data; got 5", {}},
      {R"([1, "2"])", "DataHexHandler: invalid JSON; expected number for hex data; got 3", {}},
      {R"([false])", "DataHexHandler: invalid JSON; expected number for hex data; got 1", {}},
  };
  for (const auto& c : cases) {
    const std::string json = std::string(R"({"data":)") + c.json + "}";
    if (c.message == nullptr) {
      auto message = Message::fromJson(json, vectorDataSchema(), nullptr);
      auto data = message->getReader().get("data").as<capnp::Data>();
      EXPECT_EQ(std::string(data.asChars().begin(), data.size()), c.bytes) << c.json;
      continue;
    }
    try {
      Message::fromJson(json, vectorDataSchema(), nullptr);
      ADD_FAILURE() << "accepted " << c.json;
    } catch (const Exception& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
      EXPECT_EQ(e.code(), make_error_code(KS_ERROR_GENERAL));
    }
  }
}

TEST(DataHexHandler, AppliesToDataListElements) {
  auto schema = capnp::Schema::from<nuvrel_capnp::LargeVectorData>();
  auto message = Message::fromJson(R"({"dataSegments":["00ff", [1]]})", schema, nullptr);
  EXPECT_EQ(message->toJson(), R"({"valueType":0,"vectorElementType":0,"extraHeaderInfo":0,"dataSegments":["00ff","01"]})");
}

TEST(EasyMessagePacked, RoundTripAndStreamFraming) {
  Message message(capnp::Schema::from<nuvrel_capnp::Complex>(), nullptr);
  message.getBuilder().set("real", 1.5);
  message.getBuilder().set("imag", -2.0);
  const auto packed = message.toPackedCapnp();

  // Standard framing: the stock reader takes it.
  kj::ArrayInputStream input(kj::arrayPtr(reinterpret_cast<const kj::byte*>(packed.data()), packed.size()));
  capnp::PackedMessageReader reader(input);
  EXPECT_EQ(reader.getRoot<nuvrel_capnp::Complex>().getImag(), -2.0);

  auto back = Message::fromPackedCapnp(packed, message.getSchema(), nullptr);
  EXPECT_EQ(back->getReader().get("real").as<double>(), 1.5);
  EXPECT_THROW(Message::fromPackedCapnp(packed.substr(0, 3), message.getSchema(), nullptr),
               kj::Exception);
}

TEST(EasyMessageJson, FreeFunctionsEncodeListsAndStructs) {
  capnp::MallocMessageBuilder builder;
  auto data = builder.initRoot<nuvrel_capnp::LargeVectorData>();
  auto segments = data.initDataSegments(1);
  const kj::byte one[] = {0x12};
  segments.set(0, capnp::Data::Reader(one, 1));
  EXPECT_EQ(toJson(capnp::toDynamic(segments.asReader()), false), R"(["12"])");
  EXPECT_EQ(toJson(capnp::toDynamic(data.asReader()), false),
            R"({"valueType":0,"vectorElementType":0,"extraHeaderInfo":0,"dataSegments":["12"]})");
}

}  // namespace
}  // namespace nuvrel
