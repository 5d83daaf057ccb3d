#include "kj/connection_handler.h"

namespace nuvrel::kj_asio {

ProxyConnectionHandler::ProxyConnectionHandler(IoProvider& io, ConnectionHandler& downstream,
                                               std::string name, kj::SourceLocation location)
    : io_(io), downstream_(downstream), name_(kj::mv(name)), tasks_(location) {}

ProxyConnectionHandler::~ProxyConnectionHandler() noexcept(false) = default;

void ProxyConnectionHandler::doNewConnection(kj::Own<kj::AsyncIoStream>&& stream,
                                             const ConnectionMetadata& metadata) {
  auto step = kj::evalNow([&]() { return proxy(kj::mv(stream), metadata); })
                  .then([this](kj::Own<kj::AsyncIoStream>&& proxied) {
                    downstream_.newConnection(kj::mv(proxied), ConnectionMetadata());
                  });
  tasks_->fireAndForget(kj::mv(step), name_, logging::Severity::debug);
}

void ProxyConnectionHandler::doNewConnection(kj::AutoCloseFd&& fd,
                                             const ConnectionMetadata& metadata) {
  doNewConnection(io_.wrapSocketFd(kj::mv(fd)), metadata);
}

}  // namespace nuvrel::kj_asio
