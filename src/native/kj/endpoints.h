// Local and remote addresses of listeners and connections.
#pragma once

#include <boost/asio/ip/tcp.hpp>
#include <kj/async-io.h>

namespace nuvrel::kj_asio {

// The local address a listener is bound to. Throws what the event library or
// the conversion throws (a listener that is not an IP socket).
boost::asio::ip::tcp::endpoint getBindEndpoint(kj::ConnectionReceiver& receiver);

// The remote address of a connection. Throws for a stream without a peer
// address (an in-process pipe: kj::Exception UNIMPLEMENTED).
boost::asio::ip::tcp::endpoint getPeerEndpoint(kj::AsyncIoStream& stream);

}  // namespace nuvrel::kj_asio
