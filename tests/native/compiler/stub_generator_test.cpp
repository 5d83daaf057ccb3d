#include "compiler/stub_generator.h"

#include <capnp/message.h>
#include <capnp/serialize-packed.h>
#include <gtest/gtest.h>
#include <kj/encoding.h>
#include <kj/io.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "compiler/schema_compiler.h"

namespace nuvrel::python::detail {
namespace {

TEST(StubGeneratorTest, ClassNames) {
  const std::pair<const char*, const char*> cases[] = {
      {"foo.capnp:Outer.Inner", "OuterInner"},
      {"foo.capnp:Iface.getValue$Params", "IfaceGetValueParams"},
      {"capnp/schema.capnp:Node", "CapnpNode"},
      {"capnp/schema.capnp:Node.Parameter", "CapnpNodeParameter"},
      {"dir/foo.capnp:Point", "Point"},
      {"abcdefPoint", "Point"},  // no ".capnp:": the first six characters go
      {"foo.capnp:Outer.settings", "OuterSettings"},
      {"foo.capnp:a..b", "a.B"},
  };
  for (const auto& [display, expected] : cases) {
    EXPECT_EQ(convertDisplayName(display), expected) << display;
  }
}

TEST(StubGeneratorTest, ConstantNames) {
  const std::pair<const char*, const char*> cases[] = {
      {"foo.capnp:myDefaultTimeout", "MY_DEFAULT_TIMEOUT"},
      {"foo.capnp:notANumber", "NOT_ANUMBER"},
      {"capnp/c++.capnp:someConst", "CAPNP_SOME_CONST"},
      {"foo.capnp:x2Value", "X2_VALUE"},
      {"foo.capnp:plain", "PLAIN"},
  };
  for (const auto& [display, expected] : cases) {
    EXPECT_EQ(convertConstName(display), expected) << display;
  }
}

TEST(StubGeneratorTest, FloatLiterals) {
  const std::pair<double, const char*> cases[] = {
      {1.0, "1.0"},
      {2.0, "2.0"},
      {-0.5, "-0.5"},
      {1e20, "1e+20"},
      {0.1, "0.1"},
      {static_cast<double>(0.1f), "0.10000000149011612"},
      {123456.0, "123456.0"},
      {std::numeric_limits<double>::infinity(), "float(\"inf\")"},
      {-std::numeric_limits<double>::infinity(), "float(\"-inf\")"},
      {std::nan(""), "float(\"nan\")"},
  };
  for (const auto& [value, expected] : cases) {
    EXPECT_EQ(pythonFloatLiteral(value), expected);
  }
}

TEST(StubGeneratorTest, TextLiterals) {
  EXPECT_EQ(pythonTextLiteral("a\tb\nc\rd\"e\\f"), R"("a\tb\nc\rd\"e\\f")");
  EXPECT_EQ(pythonTextLiteral(std::string("\x01\x1f\x7f", 3)), R"("\x01\x1f\x7f")");
  EXPECT_EQ(pythonTextLiteral("caf\xc3\xa9"), "\"caf\xc3\xa9\"");  // UTF-8 kept as is
  EXPECT_EQ(pythonTextLiteral(""), "\"\"");
}

TEST(StubGeneratorTest, TemplateIsKeptVerbatim) {
  std::string text = kPythonModuleTemplate;
  EXPECT_EQ(text.size(), 3257u);
  EXPECT_TRUE(text.starts_with("# ruff: noqa: E501, N815, D101, D102, N802\n"));
  EXPECT_TRUE(text.ends_with("DynamicStruct.\n\n{stubs}"));
}

TEST(StubGeneratorTest, BlobLines) {
  EXPECT_EQ(wrapSchemaBlob(""), "");
  EXPECT_EQ(wrapSchemaBlob(std::string(88, 'A')), std::string(88, 'A'));
  EXPECT_EQ(wrapSchemaBlob(std::string(89, 'A')), std::string(88, 'A') + "\\\nA");
}

TEST(StubGeneratorTest, BlobKeepsEveryNodeButFiles) {
  capnp::MallocMessageBuilder message;
  auto nodes = message.initRoot<capnp::schema::CodeGeneratorRequest>().initNodes(2);
  nodes[0].setId(0xa000000000000001ULL);
  nodes[0].setFile();
  nodes[1].setId(0xa000000000000002ULL);
  nodes[1].initStruct();
  auto encoded = encodeSchemaBlob(nodes.asReader());

  auto decoded = kj::decodeBase64(kj::StringPtr(encoded.c_str()).asArray());
  ASSERT_FALSE(decoded.hadErrors);
  kj::ArrayInputStream input(decoded);
  capnp::PackedMessageReader reader(input);
  auto root = reader.getRoot<capnp::AnyStruct>();
  ASSERT_EQ(root.getDataSection().size(), 8u);
  uint64_t typeId = 1;
  std::memcpy(&typeId, root.getDataSection().begin(), sizeof(typeId));
  EXPECT_EQ(typeId, 0u);
  auto list = root.getPointerSection()[0].getAs<capnp::List<capnp::schema::Node>>();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].getId(), 0xa000000000000002ULL);
}

TEST(SchemaCompilerTest, OutputPath) {
  EXPECT_EQ(outputPathFor("out", "foo.capnp"), "out/foo_schema.py");
  EXPECT_EQ(outputPathFor("out", "schemas/foo.capnp"), "out/schemas/foo_schema.py");
  // Only a trailing suffix is replaced, and a name without one never becomes
  // the source's own name.
  EXPECT_EQ(outputPathFor("out", "a.capnp.capnp"), "out/a.capnp_schema.py");
  EXPECT_EQ(outputPathFor("out", "foo.txt"), "out/foo.txt_schema.py");
}

TEST(SchemaCompilerTest, RandomIds) {
  auto first = nuvrel::python::capnpId();
  auto second = nuvrel::python::capnpId();
  EXPECT_NE(first, second);
  for (const auto& id : {first, second}) {
    ASSERT_EQ(id.size(), 19u);
    EXPECT_TRUE(id.starts_with("@0x"));
    EXPECT_NE(std::string("89abcdef").find(id[3]), std::string::npos) << id;
  }
}

}  // namespace
}  // namespace nuvrel::python::detail
