// The wire protocols a client can ask a data-server kernel for in the HTTP
// upgrade. The numbers are those of the orchestrator schema's enum.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace nuvrel {

enum class ClientWireProtocol : std::uint16_t {
  binmsg = 0,
  capnp = 1,
};

// "binmsg", "capnp"; "unknown" for any other value.
std::string toString(ClientWireProtocol protocol);
std::ostream& operator<<(std::ostream& out, ClientWireProtocol protocol);
// Reads one word; exactly "capnp" or "binmsg" (case matters), else the
// stream's fail state is set and `protocol` is left alone.
std::istream& operator>>(std::istream& in, ClientWireProtocol& protocol);

template <typename T>
struct FromStringConverter;

template <>
struct FromStringConverter<ClientWireProtocol> {
  // Exactly "capnp" or "binmsg"; empty for anything else.
  static std::optional<ClientWireProtocol> fromString(std::string_view text) noexcept;
};

}  // namespace nuvrel
