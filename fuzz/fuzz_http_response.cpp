// The HTTP response of the protocol upgrade, read off a stream that hands
// the input over in chunks (the first byte picks the chunk size), head and
// then body.
#include <kj/async.h>
#include <kj/async-io.h>
#include <kj/compat/http.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "kj/http_response_reader.h"

namespace {

class ChunkedInput final : public kj::AsyncInputStream {
 public:
  ChunkedInput(kj::ArrayPtr<const kj::byte> bytes, std::size_t chunk) : rest_(bytes), chunk_(chunk) {}

  kj::Promise<std::size_t> tryRead(void* buffer, std::size_t minBytes, std::size_t maxBytes) override {
    std::size_t n = std::min({maxBytes, rest_.size(), std::max(chunk_, minBytes)});
    std::memcpy(buffer, rest_.begin(), n);
    rest_ = rest_.slice(n, rest_.size());
    return n;
  }

 private:
  kj::ArrayPtr<const kj::byte> rest_;
  std::size_t chunk_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static kj::EventLoop loop;
  static kj::WaitScope waitScope(loop);
  static auto table = kj::HttpHeaderTable::Builder().build();
  if (size == 0) return 0;
  ChunkedInput input(kj::arrayPtr(data + 1, size - 1), 1 + data[0] % 64);
  try {
    auto head = nuvrel::kj_asio::readResponseHead(input, *table, 4096).wait(waitScope);
    (void)nuvrel::kj_asio::readResponseBody(input, head, 1 << 16).wait(waitScope);
  } catch (...) {
  }
  return 0;
}
