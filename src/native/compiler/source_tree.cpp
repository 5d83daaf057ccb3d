#include "compiler/source_tree.h"

#include <kj/debug.h>

#include <utility>

#include "errors/throw_error.h"
#include "logging/log.h"

namespace nuvrel::python::detail {

SchemaSourceFile::SchemaSourceFile(SourceTree& tree, const kj::ReadableDirectory& directory,
                                   kj::Path path)
    : tree_(tree), directory_(directory), path_(kj::mv(path)), displayName_(path_.toString()) {}

kj::Array<const char> SchemaSourceFile::readContent() const {
  return directory_.openFile(path_)->readAllBytes().releaseAsChars();
}

kj::Maybe<kj::Own<capnp::SchemaFile>> SchemaSourceFile::import(kj::StringPtr importPath) const {
  // kj refuses paths that climb above their directory; for an import that is
  // simply a file that cannot be found, which the parser reports itself.
  kj::Maybe<kj::Own<capnp::SchemaFile>> result;
  KJ_IF_MAYBE(exception, kj::runCatchingExceptions([&]() {
    if (importPath.startsWith("/")) {
      auto relative = kj::Path::parse(importPath.slice(1));
      for (auto* candidate : tree_.importPaths()) {
        if (candidate->exists(relative)) {
          result = kj::Own<capnp::SchemaFile>(
              kj::heap<SchemaSourceFile>(tree_, *candidate, relative.clone()));
          break;
        }
      }
    } else {
      auto resolved = path_.parent().eval(importPath);
      if (directory_.exists(resolved)) {
        result = kj::Own<capnp::SchemaFile>(
            kj::heap<SchemaSourceFile>(tree_, directory_, kj::mv(resolved)));
      }
    }
  })) {
    (void)exception;
    return nullptr;
  }
  KJ_IF_MAYBE(file, result) {
    tree_.recordImport({displayName_.cStr(), importPath.cStr(), (*file)->getDisplayName().cStr()});
  }
  return result;
}

bool SchemaSourceFile::operator==(const capnp::SchemaFile& other) const {
  auto* file = dynamic_cast<const SchemaSourceFile*>(&other);
  return file != nullptr && &file->directory_ == &directory_ && file->path_ == path_;
}

bool SchemaSourceFile::operator!=(const capnp::SchemaFile& other) const {
  return !(*this == other);
}

size_t SchemaSourceFile::hashCode() const { return kj::hashCode(displayName_); }

void SchemaSourceFile::reportError(SourcePos start, SourcePos end, kj::StringPtr message) const {
  throwError(PythonCapnpErrc::badRequest, "{}", tree_.compileError(*this, start, end, message));
}

SourceTree::SourceTree() : disk_(kj::newDiskFilesystem()) {}

SourceTree::~SourceTree() = default;

const kj::ReadableDirectory* SourceTree::openDirectory(const std::string& text,
                                                        bool isSourcePrefix) {
  const auto& cwd = disk_->getCurrentPath();
  auto absolute = cwd.evalNative(text);
  std::string key = absolute.toString(true).cStr();
  if (auto found = directories_.find(key); found != directories_.end()) {
    found->second.isSourcePrefix = found->second.isSourcePrefix || isSourcePrefix;
    return found->second.directory.get();
  }
  if (absolute == cwd) {
    // The current directory is shown without a prefix, so files in it keep
    // the names they were given.
    auto& entry = directories_[key];
    entry.directory = kj::Own<const kj::ReadableDirectory>(&disk_->getCurrent(),
                                                           kj::NullDisposer::instance);
    entry.isSourcePrefix = isSourcePrefix;
    return entry.directory.get();
  }
  // A path naming a file (or one we may not read) is no directory either;
  // kj throws for those rather than returning null.
  kj::Maybe<kj::Own<const kj::ReadableDirectory>> opened;
  KJ_IF_MAYBE(exception, kj::runCatchingExceptions(
                             [&]() { opened = disk_->getRoot().tryOpenSubdir(absolute); })) {
    (void)exception;
    return nullptr;
  }
  KJ_IF_MAYBE(directory, opened) {
    auto& entry = directories_[key];
    entry.directory = kj::mv(*directory);
    entry.isSourcePrefix = isSourcePrefix;
    entry.displayPrefix = text.ends_with('/') ? text : text + "/";
    return entry.directory.get();
  }
  return nullptr;
}

void SourceTree::addImportPath(const kj::ReadableDirectory& directory) {
  importPaths_.push_back(&directory);
}

SourceTree::Location SourceTree::locateSource(const std::string& file) {
  const auto& cwd = disk_->getCurrentPath();
  auto absolute = cwd.evalNative(file);
  if (absolute.size() == 0) {
    throwError(PythonCapnpErrc::notFound, "File {} not found", file);
  }
  for (size_t i = absolute.size() - 1; i > 0; --i) {
    auto found = directories_.find(std::string(absolute.slice(0, i).toString(true).cStr()));
    if (found != directories_.end() && found->second.isSourcePrefix) {
      return {found->second.directory.get(), absolute.slice(i, absolute.size()).clone()};
    }
  }
  if (absolute.startsWith(cwd)) {
    return {&disk_->getCurrent(), absolute.slice(cwd.size(), absolute.size()).clone()};
  }
  logging::logf(logging::Severity::warning,
                "{}: File is not in the current directory and does not match any prefix "
                "defined with src_prefix. Please pass an appropriate src_prefix so I can "
                "figure out where to write the output for this file.",
                file);
  return {&disk_->getRoot(), kj::mv(absolute)};
}

std::string SourceTree::absolutePath(const Location& location) const {
  if (location.directory == &disk_->getRoot()) {
    return location.path.toString(true).cStr();
  }
  if (location.directory == &disk_->getCurrent()) {
    return disk_->getCurrentPath().append(location.path).toString(true).cStr();
  }
  for (const auto& [key, entry] : directories_) {
    if (entry.directory.get() == location.directory) {
      return key == "/" ? "/" + std::string(location.path.toString().cStr())
                        : key + "/" + location.path.toString().cStr();
    }
  }
  return location.path.toString().cStr();
}

std::string SourceTree::errorDisplayName(const kj::ReadableDirectory& directory,
                                         kj::PathPtr path) const {
  for (const auto& [key, entry] : directories_) {
    if (entry.directory.get() == &directory) {
      return entry.displayPrefix + path.toString().cStr();
    }
  }
  if (&directory == &disk_->getRoot()) {
    return path.toString(true).cStr();
  }
  if (&directory == &disk_->getCurrent()) {
    return path.toString().cStr();
  }
  throwError(PythonCapnpErrc::internal, "unrecognized directory");
}

std::string SourceTree::compileError(const SchemaSourceFile& file,
                                     capnp::SchemaFile::SourcePos start,
                                     capnp::SchemaFile::SourcePos end,
                                     kj::StringPtr message) const {
  auto name = errorDisplayName(file.directory(), file.path());
  if (start.line != end.line) {
    // An error over several lines names only its first line.
    return fmt::format("{}:{}: error: {}\n", name, start.line + 1, message.cStr());
  }
  if (start.column == end.column) {
    return fmt::format("{}:{}:{}: error: {}\n", name, start.line + 1, start.column + 1,
                       message.cStr());
  }
  return fmt::format("{}:{}:{}-{}: error: {}\n", name, start.line + 1, start.column + 1,
                     end.column + 1, message.cStr());
}

void SourceTree::recordImport(ResolvedImport import) { imports_.push_back(std::move(import)); }

}  // namespace nuvrel::python::detail
