#include "compiler/stub_generator.h"

#include <capnp/message.h>
#include <capnp/serialize-packed.h>
#include <fmt/format.h>
#include <kj/encoding.h>
#include <kj/io.h>

#include <cctype>
#include <cmath>
#include <unordered_map>
#include <vector>

#include "errors/api_result.h"
#include "protocol/schemas/reflection/reflection.capnp.h"
#include "errors/throw_error.h"
#include "version/build_info.h"

namespace nuvrel::python::detail {
namespace {

using capnp::schema::Node;
using capnp::schema::Type;
using NodeList = capnp::List<Node>::Reader;

// The protocol's complex-number struct, which the value layer converts to
// Python's complex.
constexpr uint64_t kComplexStructId = 0xaaf1afaf97b4b157ULL;

constexpr std::size_t kBlobLineLength = 88;

std::string join(const std::vector<std::string>& items, const std::string& separator) {
  std::string result;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i != 0) {
      result += separator;
    }
    result += items[i];
  }
  return result;
}

// Nodes by id, for the lookups of one generation run.
class NodeIndex {
 public:
  explicit NodeIndex(NodeList nodes) : nodes_(nodes) {
    for (unsigned i = 0; i < nodes.size(); ++i) {
      byId_.emplace(nodes[i].getId(), i);
    }
  }

  std::optional<Node::Reader> find(uint64_t id) const {
    auto found = byId_.find(id);
    if (found == byId_.end()) {
      return std::nullopt;
    }
    return nodes_[found->second];
  }

  NodeList nodes() const { return nodes_; }

 private:
  NodeList nodes_;
  std::unordered_map<uint64_t, unsigned> byId_;
};

std::string className(const NodeIndex& index, uint64_t id) {
  auto node = index.find(id);
  return node ? convertDisplayName(node->getDisplayName().cStr()) : std::string("t.Any");
}

struct CapnpTypeInfo {
  std::string type;
  std::optional<std::string> comment;
};

CapnpTypeInfo mapPythonType(const NodeIndex& index, Type::Reader type) {
  switch (type.which()) {
    case Type::BOOL:
      return {"builtins.bool", std::nullopt};
    case Type::INT8:
      return {"builtins.int", "int8"};
    case Type::INT16:
      return {"builtins.int", "int16"};
    case Type::INT32:
      return {"builtins.int", "int32"};
    case Type::INT64:
      return {"builtins.int", "int64"};
    case Type::UINT8:
      return {"builtins.int", "uint8"};
    case Type::UINT16:
      return {"builtins.int", "uint16"};
    case Type::UINT32:
      return {"builtins.int", "uint32"};
    case Type::UINT64:
      return {"builtins.int", "uint64"};
    case Type::FLOAT32:
      return {"builtins.float", "float32"};
    case Type::FLOAT64:
      return {"builtins.float", "float64"};
    case Type::TEXT:
      return {"builtins.str", std::nullopt};
    case Type::DATA:
      return {"builtins.bytes", std::nullopt};
    case Type::LIST: {
      auto element = mapPythonType(index, type.getList().getElementType());
      CapnpTypeInfo info{fmt::format("builtins.list[{}]", element.type), std::nullopt};
      if (element.comment) {
        info.comment = fmt::format("list[{}]", *element.comment);
      }
      return info;
    }
    case Type::ENUM:
      return {className(index, type.getEnum().getTypeId()), std::nullopt};
    case Type::STRUCT: {
      auto id = type.getStruct().getTypeId();
      if (id == kComplexStructId) {
        return {"builtins.complex", std::nullopt};
      }
      return {className(index, id), std::nullopt};
    }
    default:
      return {"t.Any", std::nullopt};
  }
}

struct FieldNameAndType {
  std::string name;
  std::string type;
  std::optional<std::string> comment;
};

FieldNameAndType parseSingleField(const NodeIndex& index, capnp::schema::Field::Reader field) {
  if (field.isGroup()) {
    return {field.getName().cStr(), className(index, field.getGroup().getTypeId()), std::nullopt};
  }
  auto info = mapPythonType(index, field.getSlot().getType());
  return {field.getName().cStr(), std::move(info.type), std::move(info.comment)};
}

std::string withComment(std::string line, const std::optional<std::string>& comment) {
  if (comment) {
    line += "  # " + *comment;
  }
  return line;
}

std::optional<std::string> formatConstValue(const NodeIndex& index,
                                            capnp::schema::Value::Reader value,
                                            Type::Reader type) {
  using capnp::schema::Value;
  switch (value.which()) {
    case Value::BOOL:
      return value.getBool() ? "True" : "False";
    case Value::INT8:
      return fmt::format("{}", value.getInt8());
    case Value::INT16:
      return fmt::format("{}", value.getInt16());
    case Value::INT32:
      return fmt::format("{}", value.getInt32());
    case Value::INT64:
      return fmt::format("{}", value.getInt64());
    case Value::UINT8:
      return fmt::format("{}", value.getUint8());
    case Value::UINT16:
      return fmt::format("{}", value.getUint16());
    case Value::UINT32:
      return fmt::format("{}", value.getUint32());
    case Value::UINT64:
      return fmt::format("{}", value.getUint64());
    case Value::FLOAT32:
      return pythonFloatLiteral(static_cast<double>(value.getFloat32()));
    case Value::FLOAT64:
      return pythonFloatLiteral(value.getFloat64());
    case Value::TEXT: {
      auto text = value.getText();
      return pythonTextLiteral(std::string(text.begin(), text.end()));
    }
    case Value::ENUM: {
      if (!type.isEnum()) {
        return std::nullopt;
      }
      auto node = index.find(type.getEnum().getTypeId());
      if (!node || !node->isEnum()) {
        return std::nullopt;
      }
      auto enumerants = node->getEnum().getEnumerants();
      if (value.getEnum() >= enumerants.size()) {
        return std::nullopt;
      }
      auto name = convertDisplayName(node->getDisplayName().cStr());
      return fmt::format("t.cast({0}, {0}.{1})", name,
                         enumerants[value.getEnum()].getName().cStr());
    }
    default:
      return std::nullopt;
  }
}

struct NestedConstInfo {
  std::string name;
  std::string type;
  std::string value;
  bool deferred;
  std::optional<std::string> comment;
};

std::optional<NestedConstInfo> buildNestedConst(const NodeIndex& index, Node::Reader node) {
  auto constant = node.getConst();
  auto value = formatConstValue(index, constant.getValue(), constant.getType());
  if (!value) {
    return std::nullopt;
  }
  std::string displayName = node.getDisplayName().cStr();
  auto prefix = std::min<std::size_t>(node.getDisplayNamePrefixLength(), displayName.size());
  auto info = mapPythonType(index, constant.getType());
  return NestedConstInfo{displayName.substr(prefix), std::move(info.type), std::move(*value),
                         constant.getType().isEnum(), std::move(info.comment)};
}

// The parent of a constant when it is a struct or an interface, which then
// carries the constant in its class body.
std::optional<Node::Reader> classParent(const NodeIndex& index, Node::Reader constant) {
  auto parent = index.find(constant.getScopeId());
  if (parent && (parent->isStruct() || parent->isInterface())) {
    return parent;
  }
  return std::nullopt;
}

std::string generateNestedConstBody(const NodeIndex& index, uint64_t parentId) {
  std::vector<std::string> lines;
  for (auto node : index.nodes()) {
    if (!node.isConst() || node.getScopeId() != parentId) {
      continue;
    }
    auto info = buildNestedConst(index, node);
    if (!info) {
      continue;
    }
    auto line = info->deferred ? fmt::format("    {}: {}", info->name, info->type)
                               : fmt::format("    {}: {} = {}", info->name, info->type,
                                             info->value);
    lines.push_back(withComment(std::move(line), info->comment));
  }
  return join(lines, "\n");
}

std::string interfaceHeader(const NodeIndex& index, const std::string& classLine,
                            Node::Reader node) {
  auto header = fmt::format("{}\n    capnp_id: t.ClassVar[builtins.int] = 0x{:X}", classLine,
                            node.getId());
  auto constants = generateNestedConstBody(index, node.getId());
  if (!constants.empty()) {
    header += "\n" + constants;
  }
  return header;
}

std::string generateFieldsInitializer(const NodeIndex& index,
                                      capnp::schema::Field::Reader field) {
  // An initialiser named like these would shadow DynamicStruct's own.
  static const std::vector<std::string> shadowedMethods = {"struct", "list"};
  std::string name = field.getName().cStr();
  std::string overrideIgnore;
  for (const auto& shadowed : shadowedMethods) {
    if (name == shadowed) {
      overrideIgnore = "  # type: ignore[override]";
    }
  }
  if (field.isGroup() || field.getSlot().getType().isStruct()) {
    auto returnType = parseSingleField(index, field).type;
    return fmt::format(
        "    def init_{0}(self, **kwarg: t.Any) -> {1}:{2}\n"
        "        return super().init_struct(\"{0}\", **kwarg)  # type: ignore[return-value]",
        name, returnType, overrideIgnore);
  }
  auto returnType = mapPythonType(index, field.getSlot().getType()).type;
  return fmt::format(
      "    def init_{0}(self, size: builtins.int) -> {1}:{2}\n"
      "        return super().init_list(\"{0}\", size)  # type: ignore[return-value]",
      name, returnType, overrideIgnore);
}

std::string structBlock(const NodeIndex& index, Node::Reader node) {
  auto structNode = node.getStruct();
  const bool isGroup = structNode.getIsGroup();
  auto name = convertDisplayName(node.getDisplayName().cStr());

  auto header = fmt::format("class {}(nuvrel.comms.DynamicStruct):\n", name);
  if (isGroup) {
    header += "    # Group struct. This struct is not instantiable directly.\n";
  }
  header += fmt::format("    capnp_id: t.ClassVar[builtins.int] = 0x{:X}", node.getId());
  auto constants = generateNestedConstBody(index, node.getId());
  if (!constants.empty()) {
    header += "\n" + constants;
  }
  std::vector<std::string> fieldLines;
  for (auto field : structNode.getFields()) {
    auto info = parseSingleField(index, field);
    fieldLines.push_back(
        withComment(fmt::format("    {}: {}", info.name, info.type), info.comment));
  }
  if (!fieldLines.empty()) {
    header += "\n" + join(fieldLines, "\n");
  }

  std::vector<std::string> items{header};
  if (!isGroup) {
    items.emplace_back(
        "    def __init__(self, **kwargs: t.Any) -> None:\n"
        "        super().__init__(get_schema_loader(), self.capnp_id, **kwargs)");
  }
  for (auto field : structNode.getFields()) {
    if (field.isGroup() || field.getSlot().getType().isStruct() ||
        field.getSlot().getType().isList()) {
      items.push_back(generateFieldsInitializer(index, field));
    }
  }
  return "\n" + join(items, "\n\n") + "\n";
}

std::string enumBlock(Node::Reader node) {
  std::vector<std::string> lines;
  auto enumerants = node.getEnum().getEnumerants();
  // The list is ordered by number, so the position is the enumerant's value
  // on the wire (its declaration order may differ).
  for (unsigned i = 0; i < enumerants.size(); ++i) {
    lines.push_back(fmt::format("    {} = {}", enumerants[i].getName().cStr(), i));
  }
  return fmt::format(
      "\nclass {}(nuvrel.comms.DynamicEnum):\n    capnp_id: t.ClassVar[builtins.int] = "
      "0x{:X}\n{}\n",
      convertDisplayName(node.getDisplayName().cStr()), node.getId(), join(lines, "\n"));
}

std::string getSchemaText(const std::string& className) {
  return fmt::format(
      "    @staticmethod\n"
      "    def get_schema() -> nuvrel.comms.InterfaceSchema:\n"
      "        return get_schema_loader().get_interface_schema({}.capnp_id)",
      className);
}

std::string generateMethodStub(const NodeIndex& index, const std::string& className,
                               capnp::schema::Method::Reader method) {
  // Names the client object already uses for itself.
  static const std::vector<std::string> defaultMethods = {"close", "get_schema"};
  std::string name = method.getName().cStr();
  for (const auto& taken : defaultMethods) {
    if (name == taken) {
      throwError(KS_ERROR_GENERAL,
                 "Cannot generate python class for interface {}. The interface has a method "
                 "name '{}', which clashes with a method from the DynamicClient class.",
                 className, name);
    }
  }
  std::string args = "self";
  if (auto params = index.find(method.getParamStructType()); params && params->isStruct()) {
    for (auto field : params->getStruct().getFields()) {
      auto info = parseSingleField(index, field);
      args += fmt::format(", {}: t.Optional[{}] = None", info.name, info.type);
    }
  }
  return fmt::format("    def {}({}) -> t.Awaitable[nuvrel.comms.DynamicStruct]: ...", name,
                     args);
}

std::vector<std::string> interfaceBlocks(const NodeIndex& index, Node::Reader node) {
  auto name = convertDisplayName(node.getDisplayName().cStr());
  auto client = name + "Client";
  auto server = name + "Server";

  std::vector<std::string> clientItems{
      interfaceHeader(index, fmt::format("class {}(t.Protocol):", client), node)};
  for (auto method : node.getInterface().getMethods()) {
    clientItems.push_back(generateMethodStub(index, name, method));
  }
  clientItems.emplace_back("    def close(self) -> None: ...");
  clientItems.push_back(getSchemaText(client));

  std::vector<std::string> serverItems{
      interfaceHeader(index, fmt::format("class {}(CapnpServer):", server), node),
      getSchemaText(server)};

  return {"\n" + join(clientItems, "\n\n") + "\n", "\n" + join(serverItems, "\n\n") + "\n"};
}

// The lines a constant adds after all classes: a file-level constant, or the
// assignment of a nested enum constant whose class may be defined later.
void constantLines(const NodeIndex& index, Node::Reader node, std::vector<std::string>& lines) {
  if (auto parent = classParent(index, node)) {
    auto info = buildNestedConst(index, node);
    if (!info || !info->deferred) {
      return;
    }
    auto parentName = convertDisplayName(parent->getDisplayName().cStr());
    if (parent->isStruct()) {
      lines.push_back(fmt::format("{}.{} = {}", parentName, info->name, info->value));
    } else {
      lines.push_back(fmt::format("{}Client.{} = {}", parentName, info->name, info->value));
      lines.push_back(fmt::format("{}Server.{} = {}", parentName, info->name, info->value));
    }
    return;
  }
  auto constant = node.getConst();
  auto value = formatConstValue(index, constant.getValue(), constant.getType());
  if (!value) {
    return;
  }
  auto info = mapPythonType(index, constant.getType());
  lines.push_back(withComment(fmt::format("{}: {} = {}", convertConstName(node.getDisplayName().cStr()),
                                          info.type, *value),
                              info.comment));
}

std::string afterCapnpFile(const std::string& displayName, std::size_t fallbackSkip) {
  static const std::string marker = ".capnp:";
  auto found = displayName.find(marker);
  if (found != std::string::npos) {
    return displayName.substr(found + marker.size());
  }
  return displayName.substr(std::min(fallbackSkip, displayName.size()));
}

bool isAlnum(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }
bool isAlpha(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool isLowerOrDigit(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }
bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }

}  // namespace

std::string convertDisplayName(const std::string& displayName) {
  auto name = afterCapnpFile(displayName, 6);
  if (displayName.starts_with("capnp/")) {
    name = "Capnp" + name;
  }
  // Drop each separator that precedes a letter and capitalise the letter.
  std::string result;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (!isAlnum(name[i]) && i + 1 < name.size() && isAlpha(name[i + 1])) {
      result += static_cast<char>(std::toupper(static_cast<unsigned char>(name[i + 1])));
      ++i;
    } else {
      result += name[i];
    }
  }
  return result;
}

std::string convertConstName(const std::string& displayName) {
  auto name = afterCapnpFile(displayName, 0);
  if (displayName.starts_with("capnp/")) {
    name = "Capnp." + name;
  }
  std::string snake;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (i + 1 < name.size() && isLowerOrDigit(name[i]) && isUpper(name[i + 1])) {
      snake += name[i];
      snake += '_';
      snake += name[i + 1];
      ++i;
    } else {
      snake += name[i];
    }
  }
  std::string result;
  for (std::size_t i = 0; i < snake.size(); ++i) {
    if (isAlnum(snake[i])) {
      result += static_cast<char>(std::toupper(static_cast<unsigned char>(snake[i])));
    } else if (i == 0 || isAlnum(snake[i - 1])) {
      result += '_';  // one underscore for a whole run of separators
    }
  }
  return result;
}

std::string pythonFloatLiteral(double value) {
  if (std::isinf(value)) {
    return value > 0 ? "float(\"inf\")" : "float(\"-inf\")";
  }
  if (std::isnan(value)) {
    return "float(\"nan\")";
  }
  auto text = fmt::format("{}", value);
  if (text.find_first_of(".eE") == std::string::npos) {
    text += ".0";
  }
  return text;
}

std::string pythonTextLiteral(const std::string& text) {
  std::string result = "\"";
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '\t':
        result += "\\t";
        break;
      case '\n':
        result += "\\n";
        break;
      case '\r':
        result += "\\r";
        break;
      case '"':
        result += "\\\"";
        break;
      case '\\':
        result += "\\\\";
        break;
      default:
        if (byte < 0x20 || byte == 0x7f) {
          result += fmt::format("\\x{:02x}", byte);
        } else {
          result += c;
        }
    }
  }
  return result + "\"";
}

std::string generateStubString(NodeList nodes) {
  NodeIndex index(nodes);
  std::vector<std::string> blocks;
  std::vector<std::string> constants;
  for (auto node : nodes) {
    switch (node.which()) {
      case Node::STRUCT:
        blocks.push_back(structBlock(index, node));
        break;
      case Node::ENUM:
        blocks.push_back(enumBlock(node));
        break;
      case Node::INTERFACE:
        for (auto& block : interfaceBlocks(index, node)) {
          blocks.push_back(std::move(block));
        }
        break;
      case Node::CONST:
        constantLines(index, node, constants);
        break;
      default:
        break;
    }
  }
  if (!constants.empty()) {
    blocks.push_back("\n" + join(constants, "\n") + "\n");
  }
  return join(blocks, "\n");
}

std::string encodeSchemaBlob(NodeList nodes) {
  std::vector<Node::Reader> kept;
  for (auto node : nodes) {
    if (!node.isFile()) {
      kept.push_back(node);
    }
  }
  capnp::MallocMessageBuilder message;
  // `typeId` stays 0: the blob is not tied to one interface.
  auto list = message.initRoot<nuvrel_capnp::CapSchema>().initTheSchema(
      static_cast<unsigned>(kept.size()));
  for (unsigned i = 0; i < kept.size(); ++i) {
    list.setWithCaveats(i, kept[i]);
  }
  kj::VectorOutputStream packed;
  capnp::writePackedMessage(packed, message);
  auto base64 = kj::encodeBase64(packed.getArray(), false);
  return std::string(base64.cStr(), base64.size());
}

std::string wrapSchemaBlob(const std::string& base64) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < base64.size(); i += kBlobLineLength) {
    lines.push_back(base64.substr(i, kBlobLineLength));
  }
  return join(lines, "\\\n");
}

std::string generatePythonModule(capnp::schema::CodeGeneratorRequest::Reader request) {
  auto nodes = request.getNodes();
  std::string capnpFile;
  if (request.getRequestedFiles().size() > 0) {
    capnpFile = request.getRequestedFiles()[0].getFilename().cStr();
  }
  std::string listing;
  for (auto node : nodes) {
    if (!node.isFile()) {
      listing += fmt::format("#   - {} @0x{:x}\n", node.getDisplayName().cStr(), node.getId());
    }
  }
  auto stubs = generateStubString(nodes);
  return fmt::format(fmt::runtime(kPythonModuleTemplate), fmt::arg("capnpFile", capnpFile),
                     fmt::arg("nodesListing", listing),
                     fmt::arg("nuvrelCommsVersion", std::string(version::kModuleVersion)),
                     fmt::arg("binarySchema", wrapSchemaBlob(encodeSchemaBlob(nodes))),
                     fmt::arg("stubs", stubs));
}

}  // namespace nuvrel::python::detail
