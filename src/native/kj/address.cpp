#include "kj/address.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

#include "errors/exception.h"

namespace nuvrel::kj_asio {

kj::Own<kj::NetworkAddress> convertAddress(kj::Network& network,
                                           const boost::asio::ip::address& address,
                                           std::uint16_t port) {
  if (address.is_v6()) {
    sockaddr_in6 socketAddress{};
    socketAddress.sin6_family = AF_INET6;
    socketAddress.sin6_port = htons(port);
    socketAddress.sin6_flowinfo = 0;
    const auto bytes = address.to_v6().to_bytes();
    std::memcpy(&socketAddress.sin6_addr, bytes.data(), bytes.size());
    socketAddress.sin6_scope_id = 0;
    return network.getSockaddr(&socketAddress, sizeof(socketAddress));
  }
  if (address.is_v4()) {
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_port = htons(port);
    const auto bytes = address.to_v4().to_bytes();
    std::memcpy(&socketAddress.sin_addr, bytes.data(), bytes.size());
    return network.getSockaddr(&socketAddress, sizeof(socketAddress));
  }
  throw Exception("Unsupported address family (" + address.to_string() + ")");
}

kj::Own<kj::NetworkAddress> convertAddress(kj::Network& network,
                                           const boost::asio::ip::tcp::endpoint& endpoint) {
  return convertAddress(network, endpoint.address(), endpoint.port());
}

boost::asio::ip::tcp::endpoint convertAddress(const sockaddr* address) {
  if (address != nullptr && address->sa_family == AF_INET6) {
    sockaddr_in6 socketAddress;
    std::memcpy(&socketAddress, address, sizeof(socketAddress));
    boost::asio::ip::address_v6::bytes_type bytes;
    std::memcpy(bytes.data(), &socketAddress.sin6_addr, bytes.size());
    return {boost::asio::ip::address_v6(bytes, 0), ntohs(socketAddress.sin6_port)};
  }
  if (address != nullptr && address->sa_family == AF_INET) {
    sockaddr_in socketAddress;
    std::memcpy(&socketAddress, address, sizeof(socketAddress));
    boost::asio::ip::address_v4::bytes_type bytes;
    std::memcpy(bytes.data(), &socketAddress.sin_addr, bytes.size());
    return {boost::asio::ip::address_v4(bytes), ntohs(socketAddress.sin_port)};
  }
  throw Exception("Unsupported address family");
}

}  // namespace nuvrel::kj_asio
