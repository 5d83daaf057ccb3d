// A stream whose first bytes were already read from it by someone else.
//
// Reading a protocol head in chunks (an HTTP response head up to its blank
// line, for instance) can pull in bytes that belong to whatever follows on
// the same connection. Those bytes must reach the next reader in order, so the
// stream is handed on wrapped: reads serve the kept bytes first and then read
// from the underlying stream; writes and everything else go straight through.
#pragma once

#include <kj/array.h>
#include <kj/async-io.h>

namespace nuvrel::kj_asio {

// `stream` itself when `prefix` is empty; otherwise an owning wrapper that
// yields `prefix` before the rest of `stream`. Event-loop thread only.
kj::Own<kj::AsyncIoStream> withPrefix(kj::Own<kj::AsyncIoStream> stream,
                                      kj::Array<kj::byte> prefix);

}  // namespace nuvrel::kj_asio
