#include "protocol/client_wire_protocol.h"

#include <istream>
#include <ostream>

namespace nuvrel {

std::string toString(ClientWireProtocol protocol) {
  switch (protocol) {
    case ClientWireProtocol::binmsg: return "binmsg";
    case ClientWireProtocol::capnp: return "capnp";
  }
  return "unknown";
}

std::ostream& operator<<(std::ostream& out, ClientWireProtocol protocol) {
  return out << toString(protocol);
}

std::istream& operator>>(std::istream& in, ClientWireProtocol& protocol) {
  std::string word;
  if (!(in >> word)) return in;
  if (auto parsed = FromStringConverter<ClientWireProtocol>::fromString(word)) {
    protocol = *parsed;
  } else {
    in.setstate(std::ios::failbit);
  }
  return in;
}

std::optional<ClientWireProtocol> FromStringConverter<ClientWireProtocol>::fromString(
    std::string_view text) noexcept {
  if (text == "capnp") return ClientWireProtocol::capnp;
  if (text == "binmsg") return ClientWireProtocol::binmsg;
  return std::nullopt;
}

}  // namespace nuvrel
