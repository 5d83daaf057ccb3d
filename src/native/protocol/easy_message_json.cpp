#include "protocol/easy_message_json.h"

#include <capnp/message.h>
#include <capnp/serialize-packed.h>
#include <fmt/format.h>
#include <kj/io.h>

#include <cmath>
#include <cstdint>

#include "errors/api_result.h"
#include "errors/throw_error.h"
#include "protocol/easy_message.h"

namespace nuvrel {

namespace {

int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int jsonKind(capnp::JsonValue::Reader value) { return static_cast<int>(value.which()); }

// The low 8 bits of the integer part of a JSON number. Computed without a
// cast from double so that numbers beyond the integer range stay defined.
capnp::byte lowByteOf(double number) {
  if (!std::isfinite(number)) {
    throwError(KS_ERROR_GENERAL, "DataHexHandler: invalid JSON; number {} is not a byte value",
               number);
  }
  double low = std::fmod(std::trunc(number), 256.0);
  if (low < 0) {
    low += 256.0;
  }
  return static_cast<capnp::byte>(low);
}

}  // namespace

void DataHexHandler::encode(const capnp::JsonCodec&, capnp::Data::Reader input,
                            capnp::JsonValue::Builder output) const {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(input.size() * 2);
  for (capnp::byte b : input) {
    text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 0x0f]);
  }
  output.setString(capnp::Text::Reader(text.data(), text.size()));
}

capnp::Orphan<capnp::Data> DataHexHandler::decode(const capnp::JsonCodec&,
                                                  capnp::JsonValue::Reader input,
                                                  capnp::Orphanage orphanage) const {
  if (input.isString()) {
    auto text = input.getString();
    if (text.size() % 2 != 0) {
      throwError(KS_ERROR_GENERAL,
                 "DataHexHandler: invalid hex string; expected even number of characters");
    }
    auto orphan = orphanage.newOrphan<capnp::Data>(text.size() / 2);
    auto bytes = orphan.get();
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (2 * i + 1 >= text.size()) {
        throwError(KS_ERROR_GENERAL, "DataHexHandler: invalid hex string: not enough input");
      }
      const int high = hexDigitValue(text[2 * i]);
      const int low = hexDigitValue(text[2 * i + 1]);
      if (high < 0 || low < 0) {
        throwError(KS_ERROR_GENERAL, "DataHexHandler: invalid hex string: invalid characters");
      }
      bytes[i] = static_cast<capnp::byte>(high << 4 | low);
    }
    return orphan;
  }
  if (input.isArray()) {
    auto array = input.getArray();
    auto orphan = orphanage.newOrphan<capnp::Data>(array.size());
    auto bytes = orphan.get();
    for (unsigned i = 0; i < array.size(); ++i) {
      auto element = array[i];
      if (!element.isNumber()) {
        throwError(KS_ERROR_GENERAL,
                   "DataHexHandler: invalid JSON; expected number for hex data; got {}",
                   jsonKind(element));
      }
      bytes[i] = lowByteOf(element.getNumber());
    }
    return orphan;
  }
  throwError(KS_ERROR_GENERAL, "DataHexHandler: invalid JSON; expected string for hex data; got {}",
             jsonKind(input));
}

DataHexHandler& DataHexHandler::instance() {
  static DataHexHandler handler;
  return handler;
}

EasyMessageJsonCodec::EasyMessageJsonCodec() { addTypeHandler(DataHexHandler::instance()); }

std::string toJson(capnp::DynamicStruct::Reader reader, bool prettyPrint) {
  EasyMessageJsonCodec codec;
  codec.setPrettyPrint(prettyPrint);
  auto text = codec.encode(reader);
  return std::string(text.cStr(), text.size());
}

std::string toJson(capnp::DynamicList::Reader reader, bool prettyPrint) {
  EasyMessageJsonCodec codec;
  codec.setPrettyPrint(prettyPrint);
  auto text = codec.encode(capnp::DynamicValue::Reader(reader), reader.getSchema());
  return std::string(text.cStr(), text.size());
}

std::shared_ptr<EasyMessage<capnp::DynamicStruct>> EasyMessage<capnp::DynamicStruct>::fromJson(
    std::string_view json, capnp::StructSchema schema, std::shared_ptr<const void> keepAlive) {
  auto message = std::make_shared<EasyMessage>(schema, std::move(keepAlive));
  EasyMessageJsonCodec codec;
  auto orphanage = message->getMessage().getOrphanage();
  auto root = codec.decode(kj::ArrayPtr<const char>(json.data(), json.size()), schema, orphanage);
  message->getMessage().adoptRoot(kj::mv(root));
  return message;
}

std::string EasyMessage<capnp::DynamicStruct>::toJson(bool prettyPrint) {
  return nuvrel::toJson(getReader(), prettyPrint);
}

std::shared_ptr<EasyMessage<capnp::DynamicStruct>>
EasyMessage<capnp::DynamicStruct>::fromPackedCapnp(std::string_view packed,
                                                   capnp::StructSchema schema,
                                                   std::shared_ptr<const void> keepAlive) {
  kj::ArrayInputStream input(
      kj::ArrayPtr<const kj::byte>(reinterpret_cast<const kj::byte*>(packed.data()), packed.size()));
  capnp::PackedMessageReader reader(input, valueReaderOptions());
  auto message = std::make_shared<EasyMessage>(schema, std::move(keepAlive));
  message->setRoot(reader.getRoot<capnp::DynamicStruct>(schema));
  return message;
}

std::string EasyMessage<capnp::DynamicStruct>::toPackedCapnp() {
  kj::VectorOutputStream output(4096);
  capnp::writePackedMessage(output, *message_);
  auto bytes = output.getArray();
  return std::string(reinterpret_cast<const char*>(bytes.begin()), bytes.size());
}

}  // namespace nuvrel
