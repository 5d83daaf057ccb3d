// Receivers of accepted connections.
#pragma once

#include <boost/property_tree/ptree.hpp>
#include <kj/async-io.h>
#include <kj/io.h>

#include <string>

#include "errors/scope_guards.h"
#include "kj/io_provider.h"
#include "kj/logging_task_set.h"

namespace nuvrel::kj_asio {

// Connection properties handed along with a stream; every caller in this
// module passes an empty tree.
using ConnectionMetadata = boost::property_tree::ptree;

// Takes ownership of each accepted connection. Event-loop thread only; a
// handler may throw, and the accept loop logs it and carries on.
class ConnectionHandler {
 public:
  virtual ~ConnectionHandler() noexcept(false) = default;

  void newConnection(kj::Own<kj::AsyncIoStream>&& stream, const ConnectionMetadata& metadata) {
    doNewConnection(kj::mv(stream), metadata);
  }
  void newConnection(kj::AutoCloseFd&& fd, const ConnectionMetadata& metadata) {
    doNewConnection(kj::mv(fd), metadata);
  }

 protected:
  virtual void doNewConnection(kj::Own<kj::AsyncIoStream>&& stream,
                               const ConnectionMetadata& metadata) = 0;
  virtual void doNewConnection(kj::AutoCloseFd&& fd, const ConnectionMetadata& metadata) = 0;
};

// A handler that first transforms each stream (say, a protocol preamble)
// and then hands the result downstream. The step runs as a background task
// named after the handler; its failure is logged at debug and drops the
// connection.
class ProxyConnectionHandler : public ConnectionHandler {
 public:
  // `downstream` is not owned and must outlive this handler.
  ProxyConnectionHandler(IoProvider& io, ConnectionHandler& downstream, std::string name,
                         kj::SourceLocation location = {});
  ~ProxyConnectionHandler() noexcept(false) override;

 protected:
  // The stream to hand downstream.
  virtual kj::Promise<kj::Own<kj::AsyncIoStream>> proxy(kj::Own<kj::AsyncIoStream>&& stream,
                                                         const ConnectionMetadata& metadata) = 0;

  void doNewConnection(kj::Own<kj::AsyncIoStream>&& stream,
                       const ConnectionMetadata& metadata) override;
  void doNewConnection(kj::AutoCloseFd&& fd, const ConnectionMetadata& metadata) override;

 private:
  IoProvider& io_;
  ConnectionHandler& downstream_;
  std::string name_;
  utils::DestructorCatcher<LoggingTaskSet> tasks_;
};

}  // namespace nuvrel::kj_asio
