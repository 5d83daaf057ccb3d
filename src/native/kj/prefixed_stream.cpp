#include "kj/prefixed_stream.h"

#include <algorithm>
#include <cstring>

namespace nuvrel::kj_asio {
namespace {

class PrefixedStream final : public kj::AsyncIoStream {
 public:
  PrefixedStream(kj::Own<kj::AsyncIoStream> inner, kj::Array<kj::byte> prefix)
      : inner_(kj::mv(inner)), prefix_(kj::mv(prefix)), rest_(prefix_) {}

  kj::Promise<size_t> tryRead(void* buffer, size_t minBytes, size_t maxBytes) override {
    if (rest_.size() == 0) {
      return inner_->tryRead(buffer, minBytes, maxBytes);
    }
    const size_t n = std::min(rest_.size(), maxBytes);
    std::memcpy(buffer, rest_.begin(), n);
    rest_ = rest_.slice(n, rest_.size());
    if (rest_.size() == 0) {
      // Nothing of it is needed any more.
      prefix_ = nullptr;
      rest_ = nullptr;
    }
    if (n >= minBytes) {
      return n;
    }
    return inner_->tryRead(static_cast<kj::byte*>(buffer) + n, minBytes - n, maxBytes - n)
        .then([n](size_t more) { return n + more; });
  }

  kj::Maybe<uint64_t> tryGetLength() override {
    KJ_IF_MAYBE(length, inner_->tryGetLength()) {
      return *length + rest_.size();
    }
    return nullptr;
  }

  kj::Promise<void> write(const void* buffer, size_t size) override {
    return inner_->write(buffer, size);
  }
  kj::Promise<void> write(kj::ArrayPtr<const kj::ArrayPtr<const kj::byte>> pieces) override {
    return inner_->write(pieces);
  }
  kj::Maybe<kj::Promise<uint64_t>> tryPumpFrom(kj::AsyncInputStream& input,
                                               uint64_t amount) override {
    return inner_->tryPumpFrom(input, amount);
  }
  kj::Promise<void> whenWriteDisconnected() override { return inner_->whenWriteDisconnected(); }
  void shutdownWrite() override { inner_->shutdownWrite(); }
  void abortRead() override { inner_->abortRead(); }

  void getsockopt(int level, int option, void* value, kj::uint* length) override {
    inner_->getsockopt(level, option, value, length);
  }
  void setsockopt(int level, int option, const void* value, kj::uint length) override {
    inner_->setsockopt(level, option, value, length);
  }
  void getsockname(struct sockaddr* addr, kj::uint* length) override {
    inner_->getsockname(addr, length);
  }
  void getpeername(struct sockaddr* addr, kj::uint* length) override {
    inner_->getpeername(addr, length);
  }
  // No file descriptor is exposed: a reader that went to the descriptor
  // directly would skip the kept bytes.

 private:
  kj::Own<kj::AsyncIoStream> inner_;
  kj::Array<kj::byte> prefix_;
  kj::ArrayPtr<kj::byte> rest_;
};

}  // namespace

kj::Own<kj::AsyncIoStream> withPrefix(kj::Own<kj::AsyncIoStream> stream,
                                      kj::Array<kj::byte> prefix) {
  if (prefix.size() == 0) {
    return stream;
  }
  return kj::heap<PrefixedStream>(kj::mv(stream), kj::mv(prefix));
}

}  // namespace nuvrel::kj_asio
