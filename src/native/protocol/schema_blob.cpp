#include "protocol/schema_blob.h"

#include <capnp/any.h>
#include <capnp/schema.capnp.h>
#include <capnp/serialize-packed.h>
#include <kj/exception.h>
#include <kj/io.h>

#include <array>
#include <string>

#include "errors/throw_error.h"
#include "protocol/easy_message.h"

namespace nuvrel {

namespace {

constexpr std::array<signed char, 256> makeDecodeTable() {
  std::array<signed char, 256> table{};
  for (auto& entry : table) entry = -1;
  for (int i = 0; i < 26; ++i) {
    table['A' + i] = static_cast<signed char>(i);
    table['a' + i] = static_cast<signed char>(26 + i);
  }
  for (int i = 0; i < 10; ++i) table['0' + i] = static_cast<signed char>(52 + i);
  table['+'] = 62;
  table['/'] = 63;
  return table;
}

constexpr auto kDecodeTable = makeDecodeTable();

size_t decodedSize(size_t length) {
  const size_t tail = length % 4;
  return length / 4 * 3 + (tail >= 2 ? tail - 1 : 0);
}

}  // namespace

kj::Array<kj::byte> decodeSchemaBase64(std::string_view text) {
  auto out = kj::heapArray<kj::byte>(decodedSize(text.size()));
  for (auto& b : out) b = 0;

  size_t written = 0;
  unsigned accumulator = 0;
  int bits = 0;
  for (char c : text) {
    const int value = kDecodeTable[static_cast<unsigned char>(c)];
    if (value < 0) {
      break;  // "=" padding or a character outside the alphabet
    }
    accumulator = (accumulator << 6) | static_cast<unsigned>(value);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      // The size computed above bounds every write: each four characters give
      // at most three bytes and each further character at most one.
      if (written < out.size()) {
        out[written++] = static_cast<kj::byte>((accumulator >> bits) & 0xff);
      }
    }
  }
  return out;
}

void loadPackedCapSchema(kj::ArrayPtr<const kj::byte> packed, capnp::SchemaLoader& loader) {
  try {
    kj::ArrayInputStream input(packed);
    capnp::PackedMessageReader message(input, valueReaderOptions());
    auto root = message.getRoot<capnp::AnyStruct>();
    auto pointers = root.getPointerSection();
    if (pointers.size() == 0) {
      return;
    }
    auto nodes = pointers[0].getAs<capnp::List<capnp::schema::Node>>();
    for (auto node : nodes) {
      loader.load(node);
    }
  } catch (const kj::Exception& e) {
    throwError(PythonCapnpErrc::runtimeError, "Failed to load schema from string. (Error: {})",
               std::string(e.getDescription().cStr()));
  }
}

void loadSchemaBlob(std::string_view base64, capnp::SchemaLoader& loader) {
  auto bytes = decodeSchemaBase64(base64);
  loadPackedCapSchema(bytes.asPtr(), loader);
}

}  // namespace nuvrel
