// The files one compiler run reads: the directories opened for it (source
// prefixes and import paths), the names under which files appear in schema
// nodes and in error messages, and the imports the parser resolved.
//
// A file is always identified by a directory opened by the run and a path
// inside it. Its node display name is that path (so that a file compiled with
// a source prefix is named relative to the prefix, as the `capnp` tool does),
// while error messages name it with the directory's display prefix in front,
// that is, as the user wrote it on the command line.
//
// Not thread-safe; one run lives on one thread. Every object handed out
// (directories, `SchemaSourceFile`s) refers to the tree, which must outlive
// the `capnp::SchemaParser` that uses them.
#pragma once

#include <capnp/schema-parser.h>
#include <kj/filesystem.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace nuvrel::python::detail {

class SourceTree;

// One schema file of the run, as the Cap'n Proto parser sees it.
class SchemaSourceFile final : public capnp::SchemaFile {
 public:
  SchemaSourceFile(SourceTree& tree, const kj::ReadableDirectory& directory, kj::Path path);

  kj::StringPtr getDisplayName() const override { return displayName_; }
  kj::Array<const char> readContent() const override;
  // A leading '/' searches the import paths in order; any other path is
  // relative to this file, inside the same directory. Null when not found.
  kj::Maybe<kj::Own<capnp::SchemaFile>> import(kj::StringPtr path) const override;
  bool operator==(const capnp::SchemaFile& other) const override;
  bool operator!=(const capnp::SchemaFile& other) const override;
  size_t hashCode() const override;
  // Throws the run's compile error (see `SourceTree::compileError`): the first
  // error aborts the whole run.
  void reportError(SourcePos start, SourcePos end, kj::StringPtr message) const override;

  const kj::ReadableDirectory& directory() const { return directory_; }
  kj::PathPtr path() const { return path_; }

 private:
  SourceTree& tree_;
  const kj::ReadableDirectory& directory_;
  kj::Path path_;
  kj::String displayName_;
};

class SourceTree {
 public:
  SourceTree();
  ~SourceTree();
  SourceTree(const SourceTree&) = delete;
  SourceTree& operator=(const SourceTree&) = delete;

  // Opens a directory given as the user wrote it (relative to the current
  // directory; an empty text is the current directory). A directory opened
  // twice is the same object; asking for it as a source prefix marks it so.
  // Null if it is not a directory.
  const kj::ReadableDirectory* openDirectory(const std::string& text, bool isSourcePrefix);

  // Appends a directory to the search list of absolute ('/') imports.
  void addImportPath(const kj::ReadableDirectory& directory);

  // Where a source file given on the command line is loaded from: the
  // longest source prefix containing it, else the current directory if it
  // lies inside it, else the file-system root (with a warning logged).
  struct Location {
    const kj::ReadableDirectory* directory;
    kj::Path path;
  };
  Location locateSource(const std::string& file);

  // The absolute path of a location, for messages.
  std::string absolutePath(const Location& location) const;

  // The file as error messages name it: the directory's display prefix and the
  // path; the absolute path for the root; the relative path for the current
  // directory.
  std::string errorDisplayName(const kj::ReadableDirectory& directory, kj::PathPtr path) const;

  // "file:line:col[-endcol]: error: message\n" with 1-based positions.
  std::string compileError(const SchemaSourceFile& file, capnp::SchemaFile::SourcePos start,
                           capnp::SchemaFile::SourcePos end, kj::StringPtr message) const;

  const std::vector<const kj::ReadableDirectory*>& importPaths() const { return importPaths_; }

  // An import the parser resolved, in the order of resolution.
  struct ResolvedImport {
    std::string importer;  // display name of the importing file
    std::string name;      // the text between the quotes
    std::string imported;  // display name of the imported file
  };
  void recordImport(ResolvedImport import);
  const std::vector<ResolvedImport>& imports() const { return imports_; }

 private:
  struct SourceDirectory {
    kj::Own<const kj::ReadableDirectory> directory;
    bool isSourcePrefix;
    std::string displayPrefix;
  };

  kj::Own<kj::Filesystem> disk_;
  std::map<std::string, SourceDirectory> directories_;  // by absolute path
  std::vector<const kj::ReadableDirectory*> importPaths_;
  std::vector<ResolvedImport> imports_;
};

}  // namespace nuvrel::python::detail
