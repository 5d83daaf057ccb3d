#include "compiler/codegen_request.h"

#include <capnp/message.h>
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "compiler/source_tree.h"
#include "errors/exception.h"
#include "errors/python_errc.h"

namespace nuvrel::python::detail {
namespace {

const std::string kSchemas = std::string(NUVREL_SOURCE_ROOT) + "tests/python/compiler_data/schemas";

TEST(CodeGenRequestTest, RequestedFileImportsAndSourceInfo) {
  capnp::MallocMessageBuilder message;
  auto request = makeCodeGenRequest({kSchemas + "/foo.capnp"}, kSchemas, "out", {}, message);

  EXPECT_EQ(request.getCapnpVersion().getMajor(), 1);
  EXPECT_EQ(request.getCapnpVersion().getMinor(), 1);
  EXPECT_EQ(request.getCapnpVersion().getMicro(), 0);

  std::map<std::string, uint64_t> files;
  for (auto node : request.getNodes()) {
    if (node.isFile()) {
      files.emplace(node.getDisplayName().cStr(), node.getId());
    }
  }
  // Named relative to the prefix, and to the import path for c++.capnp.
  ASSERT_EQ(files.size(), 3u);
  ASSERT_TRUE(files.count("foo.capnp") && files.count("other.capnp") &&
              files.count("capnp/c++.capnp"));

  ASSERT_EQ(request.getRequestedFiles().size(), 1u);
  auto requested = request.getRequestedFiles()[0];
  EXPECT_EQ(std::string(requested.getFilename().cStr()), "foo.capnp");
  EXPECT_EQ(requested.getId(), files["foo.capnp"]);
  std::map<std::string, uint64_t> imports;
  for (auto import : requested.getImports()) {
    imports.emplace(import.getName().cStr(), import.getId());
  }
  EXPECT_EQ(imports, (std::map<std::string, uint64_t>{{"/capnp/c++.capnp", files["capnp/c++.capnp"]},
                                                      {"other.capnp", files["other.capnp"]}}));

  bool fileDocFound = false;
  for (auto info : request.getSourceInfo()) {
    if (info.getId() == files["foo.capnp"]) {
      fileDocFound = std::string(info.getDocComment().cStr()).starts_with("A schema touching");
    }
  }
  EXPECT_TRUE(fileDocFound);
}

TEST(CodeGenRequestTest, MissingImportPathFailsBeforeParsing) {
  capnp::MallocMessageBuilder message;
  try {
    makeCodeGenRequest({kSchemas + "/broken.capnp"}, kSchemas, "out", {"/no/such/dir"}, message);
    FAIL() << "expected a failure";
  } catch (const Exception& error) {
    EXPECT_EQ(error.code(), make_error_code(PythonCapnpErrc::notFound));
    EXPECT_STREQ(error.what(), "Path /no/such/dir is not a valid directory");
  }
}

TEST(SourceTreeTest, ErrorPositionsAreOneBased) {
  SourceTree tree;
  const auto* directory = tree.openDirectory(kSchemas, true);
  ASSERT_NE(directory, nullptr);
  SchemaSourceFile file(tree, *directory, kj::Path::parse("foo.capnp"));
  using Pos = capnp::SchemaFile::SourcePos;
  const std::string name = kSchemas + "/foo.capnp";
  EXPECT_EQ(tree.compileError(file, Pos{0, 2, 4}, Pos{0, 2, 8}, "bad"),
            name + ":3:5-9: error: bad\n");
  EXPECT_EQ(tree.compileError(file, Pos{0, 2, 4}, Pos{0, 2, 4}, "bad"),
            name + ":3:5: error: bad\n");
  EXPECT_EQ(tree.compileError(file, Pos{0, 2, 4}, Pos{0, 5, 1}, "bad"), name + ":3: error: bad\n");
  EXPECT_EQ(std::string(file.getDisplayName().cStr()), "foo.capnp");
}

TEST(SourceTreeTest, DirectoryPrefixIsTheTextAsGiven) {
  SourceTree tree;
  const auto* withSlash = tree.openDirectory(kSchemas + "/", false);
  ASSERT_NE(withSlash, nullptr);
  EXPECT_EQ(tree.errorDisplayName(*withSlash, kj::Path::parse("a.capnp")), kSchemas + "/a.capnp");
  EXPECT_EQ(tree.openDirectory(kSchemas + "/foo.capnp", false), nullptr);  // a file
  EXPECT_EQ(tree.openDirectory(kSchemas, true), withSlash);                // opened once
}

}  // namespace
}  // namespace nuvrel::python::detail
