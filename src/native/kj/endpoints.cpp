#include "kj/endpoints.h"

#include <sys/socket.h>

#include "kj/address.h"

namespace nuvrel::kj_asio {

boost::asio::ip::tcp::endpoint getBindEndpoint(kj::ConnectionReceiver& receiver) {
  sockaddr_storage address{};
  kj::uint length = sizeof(address);
  receiver.getsockname(reinterpret_cast<sockaddr*>(&address), &length);
  return convertAddress(reinterpret_cast<const sockaddr*>(&address));
}

boost::asio::ip::tcp::endpoint getPeerEndpoint(kj::AsyncIoStream& stream) {
  sockaddr_storage address{};
  kj::uint length = sizeof(address);
  stream.getpeername(reinterpret_cast<sockaddr*>(&address), &length);
  return convertAddress(reinterpret_cast<const sockaddr*>(&address));
}

}  // namespace nuvrel::kj_asio
