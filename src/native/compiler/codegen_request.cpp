#include "compiler/codegen_request.h"

#include <capnp/schema-loader.h>
#include <capnp/schema-parser.h>
#include <kj/debug.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "compiler/source_tree.h"
#include "errors/throw_error.h"
#include "logging/log.h"

namespace nuvrel::python::detail {
namespace {

// The parser keeps its schema loader private, and no public call reaches the
// nodes that are not dependencies in the dynamic-API sense (enclosing scopes,
// annotations). Its one public member template that uses the loader is
// specialised below for this tag to hand the loader out. Looking a node up
// there compiles it on demand, reporting its errors like the `capnp` tool.
struct ParserLoaderAccess {
  static thread_local const capnp::SchemaLoader* loader;
};

thread_local const capnp::SchemaLoader* ParserLoaderAccess::loader = nullptr;

}  // namespace
}  // namespace nuvrel::python::detail

template <>
void capnp::SchemaParser::loadCompiledTypeAndDependencies<
    nuvrel::python::detail::ParserLoaderAccess>() {
  nuvrel::python::detail::ParserLoaderAccess::loader = &getLoader();
}

namespace nuvrel::python::detail {
namespace {

using capnp::schema::Node;

const capnp::SchemaLoader& loaderOf(capnp::SchemaParser& parser) {
  parser.loadCompiledTypeAndDependencies<ParserLoaderAccess>();
  const auto* loader = ParserLoaderAccess::loader;
  ParserLoaderAccess::loader = nullptr;
  return *loader;
}

// What to compile around a node, as bits; the bits above `kDependencies`
// describe what to compile around each dependency.
constexpr unsigned kNode = 1;
constexpr unsigned kChildren = 2;
constexpr unsigned kParents = 4;
constexpr unsigned kDependencies = 8;
constexpr unsigned kDependencyParents = kParents * kDependencies;

// A file: the node, its children, their dependencies and the scopes of those.
constexpr unsigned kFileEagerness = kNode | kChildren | kDependencies | kDependencyParents;

class NodeWalk {
 public:
  explicit NodeWalk(const capnp::SchemaLoader& loader) : loader_(loader) {}

  void traverse(uint64_t id, unsigned eagerness) {
    auto& done = seen_[id];
    if ((done & eagerness) == eagerness) {
      return;
    }
    const bool first = done == 0;
    done |= eagerness;

    capnp::Schema schema;
    KJ_IF_MAYBE(found, loader_.tryGet(id)) {
      schema = *found;
    } else {
      return;  // not a node (the compiler knows no such id)
    }
    if (first) {
      nodes_.push_back(schema);
    }
    auto proto = schema.getProto();

    // Groups and implicit parameter structs are compiled with their owner.
    auxiliaries(proto, eagerness);
    if (eagerness & ~(kDependencies - 1)) {
      dependencies(proto, (eagerness & ~(kDependencies - 1)) | (eagerness / kDependencies));
    }
    if ((eagerness & kParents) && proto.getScopeId() != 0) {
      traverse(proto.getScopeId(), eagerness);
    }
    if (eagerness & kChildren) {
      for (auto nested : proto.getNestedNodes()) {
        traverse(nested.getId(), eagerness);
      }
    }
  }

  const std::vector<capnp::Schema>& nodes() const { return nodes_; }

 private:
  void auxiliaries(Node::Reader proto, unsigned eagerness) {
    if (proto.isStruct()) {
      for (auto field : proto.getStruct().getFields()) {
        if (field.isGroup()) {
          traverse(field.getGroup().getTypeId(), eagerness);
        }
      }
    } else if (proto.isInterface()) {
      for (auto method : proto.getInterface().getMethods()) {
        for (auto id : {method.getParamStructType(), method.getResultStructType()}) {
          if (isImplicit(id)) {
            traverse(id, eagerness);
          }
        }
      }
    }
  }

  bool isImplicit(uint64_t structId) {
    KJ_IF_MAYBE(found, loader_.tryGet(structId)) {
      return found->getProto().getScopeId() == 0;
    }
    return false;
  }

  void dependencies(Node::Reader proto, unsigned eagerness) {
    switch (proto.which()) {
      case Node::STRUCT:
        for (auto field : proto.getStruct().getFields()) {
          if (field.isSlot()) {
            type(field.getSlot().getType(), eagerness);
          }
          annotations(field.getAnnotations(), eagerness);
        }
        break;
      case Node::ENUM:
        for (auto enumerant : proto.getEnum().getEnumerants()) {
          annotations(enumerant.getAnnotations(), eagerness);
        }
        break;
      case Node::INTERFACE: {
        auto interface = proto.getInterface();
        for (auto superclass : interface.getSuperclasses()) {
          traverse(superclass.getId(), eagerness);
          brand(superclass.getBrand(), eagerness);
        }
        for (auto method : interface.getMethods()) {
          if (!isImplicit(method.getParamStructType())) {
            traverse(method.getParamStructType(), eagerness);
          }
          brand(method.getParamBrand(), eagerness);
          if (!isImplicit(method.getResultStructType())) {
            traverse(method.getResultStructType(), eagerness);
          }
          brand(method.getResultBrand(), eagerness);
          annotations(method.getAnnotations(), eagerness);
        }
        break;
      }
      case Node::CONST:
        type(proto.getConst().getType(), eagerness);
        break;
      case Node::ANNOTATION:
        type(proto.getAnnotation().getType(), eagerness);
        break;
      default:
        break;
    }
    annotations(proto.getAnnotations(), eagerness);
  }

  void type(capnp::schema::Type::Reader type, unsigned eagerness) {
    switch (type.which()) {
      case capnp::schema::Type::STRUCT:
        traverse(type.getStruct().getTypeId(), eagerness);
        brand(type.getStruct().getBrand(), eagerness);
        break;
      case capnp::schema::Type::ENUM:
        traverse(type.getEnum().getTypeId(), eagerness);
        brand(type.getEnum().getBrand(), eagerness);
        break;
      case capnp::schema::Type::INTERFACE:
        traverse(type.getInterface().getTypeId(), eagerness);
        brand(type.getInterface().getBrand(), eagerness);
        break;
      case capnp::schema::Type::LIST:
        this->type(type.getList().getElementType(), eagerness);
        break;
      default:
        break;
    }
  }

  void brand(capnp::schema::Brand::Reader brand, unsigned eagerness) {
    for (auto scope : brand.getScopes()) {
      if (scope.isBind()) {
        for (auto binding : scope.getBind()) {
          if (binding.isType()) {
            type(binding.getType(), eagerness);
          }
        }
      }
    }
  }

  void annotations(capnp::List<capnp::schema::Annotation>::Reader list, unsigned eagerness) {
    for (auto annotation : list) {
      traverse(annotation.getId(), eagerness);
      brand(annotation.getBrand(), eagerness);
    }
  }

  const capnp::SchemaLoader& loader_;
  std::map<uint64_t, unsigned> seen_;
  std::vector<capnp::Schema> nodes_;
};

void logRequest(const std::vector<std::string>& src, const std::string& srcPrefix,
                const std::string& outputFolder, const std::vector<std::string>& importPaths) {
  if (!logging::isLoggingEnabled()) {
    return;
  }
  std::error_code ignored;
  std::ostringstream record;
  record << "\nCode generation request:\n"
         << "  Working directory: " << std::filesystem::current_path(ignored).string() << "\n"
         << "  Source prefix: " << (srcPrefix.empty() ? "(none)" : srcPrefix) << "\n"
         << "  Output folder: " << outputFolder << "\n"
         << "  Sources:\n";
  for (const auto& item : src) {
    record << "    - " << item << "\n";
  }
  record << "  Import paths:\n";
  for (const auto& item : importPaths) {
    record << "    - " << item << "\n";
  }
  logging::log(logging::Severity::status, record.str());
}

// Directories searched for absolute imports after the user's, as the `capnp`
// tool does, so that "/capnp/c++.capnp" and its kind are found.
constexpr const char* kStandardImportPaths[] = {"/usr/local/include", "/usr/include"};

struct SourceFileEntry {
  uint64_t id;
  std::string displayName;
};

}  // namespace

capnp::schema::CodeGeneratorRequest::Reader makeCodeGenRequest(
    const std::vector<std::string>& src, const std::string& srcPrefix,
    const std::string& outputFolder, const std::vector<std::string>& importPaths,
    capnp::MessageBuilder& message) {
  // The parser refers to files that refer to the tree: it goes first.
  SourceTree tree;
  capnp::SchemaParser parser;

  logRequest(src, srcPrefix, outputFolder, importPaths);

  if (tree.openDirectory(srcPrefix, true) == nullptr) {
    throwError(PythonCapnpErrc::notFound, "{} is not a valid directory", srcPrefix);
  }
  std::set<const kj::ReadableDirectory*> searched;
  for (const auto& path : importPaths) {
    const auto* directory = tree.openDirectory(path, false);
    if (directory == nullptr) {
      throwError(PythonCapnpErrc::notFound, "Path {} is not a valid directory", path);
    }
    if (searched.insert(directory).second) {
      tree.addImportPath(*directory);
    }
  }
  for (const char* path : kStandardImportPaths) {
    const auto* directory = tree.openDirectory(path, false);
    if (directory != nullptr && searched.insert(directory).second) {
      tree.addImportPath(*directory);
    }
  }

  std::vector<SourceFileEntry> files;
  for (const auto& file : src) {
    auto location = tree.locateSource(file);
    bool isFile = false;
    KJ_IF_MAYBE(exception, kj::runCatchingExceptions([&]() {
      isFile = location.directory->exists(location.path) &&
               location.directory->lstat(location.path).type != kj::FsNode::Type::DIRECTORY;
    })) {
      (void)exception;
    }
    if (!isFile) {
      throwError(PythonCapnpErrc::notFound, "File {} not found", tree.absolutePath(location));
    }
    auto schemaFile = kj::heap<SchemaSourceFile>(tree, *location.directory, kj::mv(location.path));
    std::string displayName = schemaFile->getDisplayName().cStr();
    capnp::ParsedSchema parsed;
    try {
      parsed = parser.parseFile(kj::mv(schemaFile));
    } catch (const kj::Exception& error) {
      throwError(PythonCapnpErrc::badRequest, "{}: error: {}\n",
                 tree.errorDisplayName(*location.directory, kj::Path::parse(displayName)),
                 error.getDescription().cStr());
    }
    files.push_back({parsed.getProto().getId(), std::move(displayName)});
  }

  const auto& loader = loaderOf(parser);
  NodeWalk walk(loader);
  try {
    for (const auto& file : files) {
      walk.traverse(file.id, kFileEagerness);
    }
  } catch (const kj::Exception& error) {
    throwError(PythonCapnpErrc::badRequest, "{}", error.getDescription().cStr());
  }

  auto request = message.initRoot<capnp::schema::CodeGeneratorRequest>();
  auto version = request.initCapnpVersion();
  version.setMajor(1);
  version.setMinor(1);
  version.setMicro(0);

  const auto& nodes = walk.nodes();
  auto nodeList = request.initNodes(static_cast<unsigned>(nodes.size()));
  std::vector<capnp::schema::Node::SourceInfo::Reader> sourceInfo;
  std::map<std::string, uint64_t> fileIds;
  for (unsigned i = 0; i < nodes.size(); ++i) {
    auto proto = nodes[i].getProto();
    nodeList.setWithCaveats(i, proto);
    KJ_IF_MAYBE(info, parser.getSourceInfo(nodes[i])) {
      sourceInfo.push_back(*info);
    }
    if (proto.isFile()) {
      fileIds.emplace(proto.getDisplayName().cStr(), proto.getId());
    }
  }
  auto infoList = request.initSourceInfo(static_cast<unsigned>(sourceInfo.size()));
  for (unsigned i = 0; i < sourceInfo.size(); ++i) {
    infoList.setWithCaveats(i, sourceInfo[i]);
  }

  auto requested = request.initRequestedFiles(static_cast<unsigned>(files.size()));
  for (unsigned i = 0; i < files.size(); ++i) {
    auto entry = requested[i];
    entry.setId(files[i].id);
    entry.setFilename(files[i].displayName);
    // An import appears once, by the name the file used, when the compiler
    // resolved it and the imported file was compiled.
    std::vector<std::pair<std::string, uint64_t>> imports;
    std::set<std::string> names;
    for (const auto& import : tree.imports()) {
      auto id = fileIds.find(import.imported);
      if (import.importer == files[i].displayName && id != fileIds.end() &&
          names.insert(import.name).second) {
        imports.emplace_back(import.name, id->second);
      }
    }
    auto importList = entry.initImports(static_cast<unsigned>(imports.size()));
    for (unsigned j = 0; j < imports.size(); ++j) {
      importList[j].setName(imports[j].first);
      importList[j].setId(imports[j].second);
    }
  }
  return request.asReader();
}

}  // namespace nuvrel::python::detail
