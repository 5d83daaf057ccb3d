// The hello message a data server sends first: 256 bytes of JSON, padding
// and a NUL. Shorter and longer inputs are tried too.
#include <cstddef>
#include <cstdint>

#include "protocol/hello_message.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    auto hello = nuvrel::HelloMessage::fromRawBuffer(kj::arrayPtr(data, size));
    (void)nuvrel::HelloMessage::toString(*hello);
  } catch (...) {
  }
  return 0;
}
