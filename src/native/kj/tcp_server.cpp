#include "kj/tcp_server.h"

#include "errors/exception_utils.h"
#include "kj/address.h"
#include "kj/endpoints.h"
#include "logging/log.h"

namespace nuvrel::kj_asio {

using logging::Severity;

TcpServer::TcpServer(kj::Network& network, ConnectionHandler& handler, std::string name,
                     kj::SourceLocation location)
    : name_(kj::mv(name)),
      location_(location),
      network_(network),
      handler_(handler),
      tasks_(kj::heap<TerminatingTaskSet>(name_, location_)) {}

TcpServer::TcpServer(kj::Network& network, kj::Own<kj::ConnectionReceiver> receiver,
                     ConnectionHandler& handler, std::string name, kj::SourceLocation location)
    : TcpServer(network, handler, kj::mv(name), location) {
  startListenLoop(kj::mv(receiver));
}

TcpServer::TcpServer(kj::Network& network, ConnectionHandler& handler, std::string name,
                     kj::SourceLocation location, const boost::asio::ip::address& address,
                     std::uint16_t port)
    : TcpServer(network, handler, kj::mv(name), location) {
  bind(address, port);
}

void TcpServer::bind(const boost::asio::ip::address& address, std::uint16_t port) {
  auto networkAddress = convertAddress(network_, address, port);
  startListenLoop(networkAddress->listen());
}

bool TcpServer::openMode() const {
  if (bindAddress_.is_v6()) {
    return bindAddress_ != boost::asio::ip::address_v6::loopback();
  }
  return bindAddress_.to_v4().to_bytes()[0] != 127;
}

void TcpServer::changeOpenMode(bool open) {
  if (openMode() == open) {
    return;
  }
  const std::uint16_t port = port_;
  stopAccepts();
  bind(open ? boost::asio::ip::address(boost::asio::ip::address_v4::any())
            : boost::asio::ip::address(boost::asio::ip::address_v4::loopback()),
       port);
}

void TcpServer::stopAccepts() {
  tasks_ = nullptr;
  tasks_ = kj::heap<TerminatingTaskSet>(name_, location_);
}

// The synchronous start of the loop: the server knows its address and port
// when this returns.
void TcpServer::startListenLoop(kj::Own<kj::ConnectionReceiver> receiver) {
  NUVREL_LOG(status) << "Starting TCP listen loop";
  try {
    bindAddress_ = getBindEndpoint(*receiver).address();
  } catch (...) {
    NUVREL_LOG(error) << "Failed to obtain the bind address of TCP server";
    bindAddress_ = boost::asio::ip::address();
  }
  try {
    port_ = static_cast<std::uint16_t>(receiver->getPort());
  } catch (...) {
    NUVREL_LOG(error) << "Failed to obtain port of TCP server";
    port_ = 0;
  }
  auto& listening = *receiver;
  tasks_->add(acceptLoop(listening).attach(kj::mv(receiver)));
}

kj::Promise<void> TcpServer::acceptLoop(kj::ConnectionReceiver& receiver) {
  return kj::evalNow([&receiver]() { return receiver.accept(); })
      .then([this](kj::Own<kj::AsyncIoStream>&& stream) { handle(kj::mv(stream)); },
            [](kj::Exception&& exception) {
              logging::logf(Severity::warning, "TCP server failed to accept new connection: {}",
                            exception.getDescription().cStr());
            })
      .then([this, &receiver]() { return acceptLoop(receiver); });
}

void TcpServer::handle(kj::Own<kj::AsyncIoStream>&& stream) noexcept {
  try {
    handler_.newConnection(kj::mv(stream), ConnectionMetadata());
  } catch (...) {
    try {
      logging::logf(Severity::error, "Failed to handle new TCP connection: {}",
                    extractCurrentExceptionMessage());
    } catch (...) {
    }
  }
}

}  // namespace nuvrel::kj_asio
