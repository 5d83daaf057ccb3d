// TCP connect and exact reads and writes, with the system's error mapping.
// Event-loop thread only.
#pragma once

#include <kj/async-io.h>

#include <cstdint>

#include "kj/hopefully.h"

namespace nuvrel::kj_asio {

// Resolves `host` synchronously (blocking this thread's loop while it does),
// IPv4 only, and connects to the first address found; no further address is
// tried and no time-out is applied (callers bound the whole step).
// Failures: KSIOException "Unable to resolve server address '<host>'";
// KSIOConnectionResetException "Could not connect to <host>:<port>. Details:
// <description>".
Hopefully<kj::Own<kj::AsyncIoStream>> connect(kj::Network& network, kj::StringPtr host,
                                              std::uint16_t port);

// Reads exactly buffer.size() bytes; an early end of stream is a failure.
// Failures: KSIOConnectionResetException "Issues connecting to the server:
// <description>". The buffer must stay valid until the promise settles.
Hopefully<void> read(kj::AsyncInputStream& stream, kj::ArrayPtr<unsigned char> buffer);

// Writes the whole buffer; failures as for read.
Hopefully<void> write(kj::AsyncOutputStream& stream, kj::ArrayPtr<const unsigned char> buffer);

}  // namespace nuvrel::kj_asio
