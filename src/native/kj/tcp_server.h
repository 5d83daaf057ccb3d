// A listening TCP socket whose accept loop hands every connection to a
// ConnectionHandler.
#pragma once

#include <boost/asio/ip/address.hpp>
#include <kj/async-io.h>
#include <kj/source-location.h>

#include <cstdint>
#include <string>

#include "kj/connection_handler.h"
#include "kj/terminating_task_set.h"

namespace nuvrel::kj_asio {

// The accept loop survives every single failure: a failed accept is logged
// at warning, a handler that throws at error, and the loop accepts the next
// connection. It ends only when the server stops accepting or is destroyed,
// which closes the listening socket; connections already handed over are
// the handler's and stay open. Event-loop thread only.
class TcpServer {
 public:
  // Not listening until `bind`.
  TcpServer(kj::Network& network, ConnectionHandler& handler, std::string name,
            kj::SourceLocation location = {});
  // Accepts on an already listening receiver at once.
  TcpServer(kj::Network& network, kj::Own<kj::ConnectionReceiver> receiver,
            ConnectionHandler& handler, std::string name, kj::SourceLocation location = {});
  // Binds at once; throws what `bind` throws.
  TcpServer(kj::Network& network, ConnectionHandler& handler, std::string name,
            kj::SourceLocation location, const boost::asio::ip::address& address,
            std::uint16_t port);
  TcpServer(const TcpServer&) = delete;
  TcpServer& operator=(const TcpServer&) = delete;

  // Listens on address:port (port 0: any free port) and starts accepting.
  // Throws the event library's exception if the address cannot be bound.
  void bind(const boost::asio::ip::address& address, std::uint16_t port);

  // The bound port, known as soon as the loop started (also for port 0);
  // 0 before.
  std::uint16_t port() const { return port_; }
  const boost::asio::ip::address& bindAddress() const { return bindAddress_; }

  // True when bound to an address other than loopback (127.x.x.x, ::1).
  bool openMode() const;
  // Rebinds the current port on 0.0.0.0 (open) or 127.0.0.1 (not open),
  // unless the server is already in that mode.
  void changeOpenMode(bool open);

  // Ends the accept loop and closes the listening socket; `bind` may be
  // called again.
  void stopAccepts();

  const std::string& name() const { return name_; }

 private:
  void startListenLoop(kj::Own<kj::ConnectionReceiver> receiver);
  kj::Promise<void> acceptLoop(kj::ConnectionReceiver& receiver);
  void handle(kj::Own<kj::AsyncIoStream>&& stream) noexcept;

  std::uint16_t port_ = 0;
  boost::asio::ip::address bindAddress_;
  std::string name_;
  kj::SourceLocation location_;
  kj::Network& network_;
  ConnectionHandler& handler_;
  kj::Own<TerminatingTaskSet> tasks_;
};

}  // namespace nuvrel::kj_asio
