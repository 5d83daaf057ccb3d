// The schema blob (base64 of a packed CapSchema), the loader built from it
// and the interface schema that travels in the reflection answer.

#include <capnp/dynamic.h>
#include <capnp/message.h>
#include <capnp/schema-loader.h>
#include <capnp/schema.capnp.h>
#include <capnp/serialize-packed.h>
#include <gtest/gtest.h>
#include <kj/encoding.h>
#include <kj/io.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "errors/exception.h"
#include "errors/python_errc.h"
#include "protocol/schema_blob.h"
#include "protocol/schema_loader.h"
#include "protocol/schemas/reflection/reflection.capnp.h"

namespace nuvrel {
namespace {

using python::InterfaceSchemaWrapper;
using python::SchemaLoaderWrapper;

constexpr std::uint64_t kReflectionId = 0xf9a52e68104bc776ULL;
constexpr std::uint64_t kCapSchemaId = 0xcb31ef7a76eb85cfULL;

std::string bytesOf(const kj::Array<kj::byte>& bytes) {
  return std::string(reinterpret_cast<const char*>(bytes.begin()), bytes.size());
}

struct Base64Case {
  const char* text;
  std::string bytes;
};

TEST(DecodeSchemaBase64, DecodesGroupsAndStopsAtPaddingOrForeignCharacters) {
  using namespace std::string_literals;
  const Base64Case cases[] = {
      {"", ""},
      {"TWFu", "Man"},
      {"TWFuTWFu", "ManMan"},
      {"TWE=", "Ma\0"s},   // buffer of whole groups, undecoded bytes zero
      {"TQ==", "M\0\0"s},
      {"TWE", "Ma"},       // unpadded: decoded completely
      {"TQ", "M"},
      {"TWFuTQ", "ManM"},
      {"T", ""},           // a lone character carries no whole byte
      {"TW!u", "M\0\0"s},  // stops at a character outside the alphabet
      {"TW\nu", "M\0\0"s},
      {"////", "\xff\xff\xff"},
      {"++++", "\xfb\xef\xbe"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(bytesOf(decodeSchemaBase64(c.text)), c.bytes) << c.text;
  }
}

TEST(DecodeSchemaBase64, AgreesWithKjOnPaddedText) {
  std::vector<kj::byte> data(1000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<kj::byte>(i * 37 + 11);
  for (size_t length : {0u, 1u, 2u, 3u, 4u, 5u, 998u, 999u, 1000u}) {
    auto text = kj::encodeBase64(kj::arrayPtr(data.data(), length));
    auto decoded = decodeSchemaBase64(std::string_view(text.cStr(), text.size()));
    // Padded text yields whole groups: the payload, then zeros.
    ASSERT_EQ(decoded.size(), text.size() / 4 * 3);
    EXPECT_TRUE(std::equal(data.begin(), data.begin() + static_cast<long>(length), decoded.begin()));
    EXPECT_TRUE(std::all_of(decoded.begin() + length, decoded.end(), [](kj::byte b) { return b == 0; }));
  }
}

// A CapSchema message with every node the compiled reflection schema needs.
kj::Array<kj::byte> packedReflectionSchema(std::uint64_t typeId) {
  capnp::SchemaLoader compiled;
  compiled.loadCompiledTypeAndDependencies<nuvrel_capnp::Reflection>();
  auto schemas = compiled.getAllLoaded();

  capnp::MallocMessageBuilder message;
  auto root = message.initRoot<nuvrel_capnp::CapSchema>();
  root.setTypeId(typeId);
  auto nodes = root.initTheSchema(static_cast<unsigned>(schemas.size()));
  for (unsigned i = 0; i < schemas.size(); ++i) {
    nodes.setWithCaveats(i, schemas[i].getProto());
  }
  kj::VectorOutputStream out;
  capnp::writePackedMessage(out, message);
  return kj::heapArray(out.getArray());
}

std::string blobOf(const kj::Array<kj::byte>& packed) {
  auto text = kj::encodeBase64(packed);
  return std::string(text.cStr(), text.size());
}

std::set<std::uint64_t> loadedIds(const kj::Array<capnp::Schema>& schemas) {
  std::set<std::uint64_t> ids;
  for (auto schema : schemas) ids.insert(schema.getProto().getId());
  return ids;
}

TEST(SchemaLoaderWrapper, LoadsABlobAndLooksUpInterfacesAndStructs) {
  SchemaLoaderWrapper loader(blobOf(packedReflectionSchema(0)), "4.3.0");
  auto reflection = loader.getInterfaceSchema(kReflectionId);
  EXPECT_EQ(reflection.schemaId(), kReflectionId);
  auto methods = reflection.getInterface().getMethods();
  ASSERT_EQ(methods.size(), 2u);
  EXPECT_EQ(std::string(methods[0].getProto().getName().cStr()), "getTheSchema");
  EXPECT_EQ(loader.getStructSchema(kCapSchemaId).getProto().getId(), kCapSchemaId);
  EXPECT_EQ(loader.getImpl(), reflection.getImpl());
}

TEST(SchemaLoaderWrapper, UnpaddedBlobLoads) {
  // Pick a type id whose packed size leaves a partial base64 group.
  for (std::uint64_t typeId = 1; typeId < 64; ++typeId) {
    auto packed = packedReflectionSchema(typeId);
    if (packed.size() % 3 == 0) continue;
    auto blob = blobOf(packed);
    blob.erase(blob.find('='));
    SchemaLoaderWrapper loader(blob, "3.0.0");
    EXPECT_EQ(loader.getInterfaceSchema(kReflectionId).schemaId(), kReflectionId);
    return;
  }
  FAIL() << "no packed size with a partial group";
}

void expectCode(const std::function<void()>& action, PythonCapnpErrc code, const std::string& prefix) {
  try {
    action();
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.code(), make_error_code(code));
    EXPECT_EQ(std::string(e.what()).substr(0, prefix.size()), prefix) << e.what();
  }
}

TEST(SchemaLoaderWrapper, Failures) {
  const auto blob = blobOf(packedReflectionSchema(0));
  expectCode([&] { SchemaLoaderWrapper(blob, ""); }, PythonCapnpErrc::runtimeError,
             "Cannot load a schema generated with a version older than 3.0.0");
  expectCode([&] { SchemaLoaderWrapper(blob, "2.99.99"); }, PythonCapnpErrc::runtimeError,
             "Cannot load a schema generated with a version older than 3.0.0");
  expectCode([&] { SchemaLoaderWrapper(blob.substr(0, blob.size() / 2), "3.0.0"); },
             PythonCapnpErrc::runtimeError, "Failed to load schema from string. (Error: ");
  SchemaLoaderWrapper loader(blob, "3.0.0");
  expectCode([&] { loader.getInterfaceSchema(17); }, PythonCapnpErrc::keyError,
             "Interface with id 17 not found in schema loader.");
  expectCode([&] { loader.getStructSchema(18); }, PythonCapnpErrc::keyError,
             "Struct with id 18 not found in schema loader.");
  EXPECT_THROW(loader.getStructSchema(kReflectionId), kj::Exception);  // not a struct
  // A struct id passes the lookup; taking the interface then fails.
  auto notAnInterface = loader.getInterfaceSchema(kCapSchemaId);
  EXPECT_THROW(notAnInterface.getInterface(), kj::Exception);
}

TEST(LoadPackedCapSchema, RootWithoutPointersLoadsNothing) {
  capnp::MallocMessageBuilder message;
  message.initRoot<capnp::AnyPointer>().initAsAnyStruct(1, 0);
  kj::VectorOutputStream out;
  capnp::writePackedMessage(out, message);
  capnp::SchemaLoader loader;
  loadPackedCapSchema(out.getArray(), loader);
  EXPECT_EQ(loader.getAllLoaded().size(), 0u);
}

TEST(InterfaceSchemaWrapper, FromCapSchemaAndBackIntoOne) {
  auto packed = packedReflectionSchema(kReflectionId);
  kj::ArrayInputStream input(packed);
  capnp::PackedMessageReader reader(input);
  InterfaceSchemaWrapper fetched(reader.getRoot<nuvrel_capnp::CapSchema>());
  EXPECT_EQ(fetched.schemaId(), kReflectionId);
  EXPECT_EQ(fetched.getInterface().getMethods().size(), 2u);

  // The reflection answer built from it carries the same id and nodes.
  capnp::MallocMessageBuilder answer;
  auto capSchema = answer.initRoot<nuvrel_capnp::CapSchema>();
  CapnpTrait<InterfaceSchemaWrapper, capnp::DynamicStruct>::toCapnp(fetched, capnp::toDynamic(capSchema));
  EXPECT_EQ(capSchema.getTypeId(), kReflectionId);
  EXPECT_EQ(capSchema.getTheSchema().size(), fetched.getAllLoaded().size());
  InterfaceSchemaWrapper again(capSchema.asReader());
  EXPECT_EQ(again.schemaId(), kReflectionId);
  EXPECT_EQ(loadedIds(again.getAllLoaded()), loadedIds(fetched.getAllLoaded()));
}

TEST(InterfaceSchemaWrapper, ShortDataSectionGivesIdZero) {
  auto packed = packedReflectionSchema(kReflectionId);
  kj::ArrayInputStream input(packed);
  capnp::PackedMessageReader reader(input);
  auto nodes = reader.getRoot<nuvrel_capnp::CapSchema>().getTheSchema();

  capnp::MallocMessageBuilder message;
  auto root = message.initRoot<capnp::AnyPointer>().initAsAnyStruct(0, 1);
  root.getPointerSection()[0].setAs<capnp::List<capnp::schema::Node>>(nodes);
  InterfaceSchemaWrapper wrapper(root.asReader());
  EXPECT_EQ(wrapper.schemaId(), 0u);
  EXPECT_EQ(wrapper.getAllLoaded().size(), nodes.size());
}

}  // namespace
}  // namespace nuvrel
