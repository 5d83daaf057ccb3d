// Conversions between Boost.Asio addresses and the socket addresses of the
// KJ network.
#pragma once

#include <boost/asio/ip/address.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <kj/async-io.h>

#include <cstdint>

struct sockaddr;

namespace nuvrel::kj_asio {

// An IPv4 or IPv6 address and port as an address of `network`. Throws
// nuvrel::Exception "Unsupported address family (<address>)" for anything
// else.
kj::Own<kj::NetworkAddress> convertAddress(kj::Network& network,
                                           const boost::asio::ip::address& address,
                                           std::uint16_t port);
kj::Own<kj::NetworkAddress> convertAddress(kj::Network& network,
                                           const boost::asio::ip::tcp::endpoint& endpoint);

// An AF_INET or AF_INET6 socket address as an endpoint (the IPv6 scope id is
// not kept). Throws nuvrel::Exception "Unsupported address family" for
// anything else.
boost::asio::ip::tcp::endpoint convertAddress(const sockaddr* address);

}  // namespace nuvrel::kj_asio
