#include "kj/async_io.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

#include <string>

#include "errors/exception.h"
#include "kj/address.h"

namespace nuvrel::kj_asio {
namespace {

ExceptionOr<void> connectionReset(const kj::Exception& exception) {
  return ExceptionOr<void>(std::make_exception_ptr(KSIOConnectionResetException(
      "Issues connecting to the server: " + std::string(exception.getDescription().cStr()))));
}

}  // namespace

Hopefully<kj::Own<kj::AsyncIoStream>> connect(kj::Network& network, kj::StringPtr host,
                                              std::uint16_t port) {
  using Stream = kj::Own<kj::AsyncIoStream>;
  const std::string hostText(host.cStr());
  boost::asio::ip::tcp::endpoint endpoint;
  try {
    boost::asio::io_context io;
    boost::asio::ip::tcp::resolver resolver(io);
    const auto results =
        resolver.resolve(boost::asio::ip::tcp::v4(), hostText, std::to_string(port),
                         boost::asio::ip::tcp::resolver::all_matching);
    if (results.empty()) {
      throw KSIOException("no address");
    }
    endpoint = results.begin()->endpoint();
  } catch (...) {
    return ready<Stream>(std::make_exception_ptr(
        KSIOException("Unable to resolve server address '" + hostText + "'")));
  }

  kj::Own<kj::NetworkAddress> address;
  try {
    address = convertAddress(network, endpoint);
  } catch (...) {
    return ready<Stream>(std::current_exception());
  }
  auto connecting = kj::evalNow([&]() { return address->connect(); });
  return connecting.attach(kj::mv(address))
      .then([](Stream&& stream) { return ExceptionOr<Stream>(kj::mv(stream)); },
            [hostText, port](kj::Exception&& exception) {
              return ExceptionOr<Stream>(std::make_exception_ptr(KSIOConnectionResetException(
                  "Could not connect to " + hostText + ":" + std::to_string(port) +
                  ". Details: " + exception.getDescription().cStr())));
            });
}

Hopefully<void> read(kj::AsyncInputStream& stream, kj::ArrayPtr<unsigned char> buffer) {
  return kj::evalNow([&]() { return stream.read(buffer.begin(), buffer.size()); })
      .then([]() { return ExceptionOr<void>(); },
            [](kj::Exception&& exception) { return connectionReset(exception); });
}

Hopefully<void> write(kj::AsyncOutputStream& stream, kj::ArrayPtr<const unsigned char> buffer) {
  return kj::evalNow([&]() { return stream.write(buffer.begin(), buffer.size()); })
      .then([]() { return ExceptionOr<void>(); },
            [](kj::Exception&& exception) { return connectionReset(exception); });
}

}  // namespace nuvrel::kj_asio
